#pragma once
// Addresses of serial ports on other machines, accepted wherever a device path is:
// "rfc2217://HOST:PORT" (Telnet with the Com Port Control Option) and "tcp://HOST:PORT" (bytes
// only). HOST is a name, an IPv4 address or a bracketed IPv6 address ("[::1]:2001").
#include <optional>
#include <string>

struct NetAddress {
    bool bComPort = false;  // rfc2217://
    std::string strHost;    // without brackets
    std::string strPort;    // 1..65535, digits only
};

// Whether the path is meant as a network address (its scheme), well formed or not.
bool IsNetAddress(const std::string& strPath);
// nullopt when the scheme is unknown or the host or port is missing or malformed.
std::optional<NetAddress> ParseNetAddress(const std::string& strPath);
