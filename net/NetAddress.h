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

// What is wrong with an address, so that the user can be told what to mend.
enum class ENetAddressFault {
    None,
    UnknownScheme,    // neither rfc2217:// nor tcp://
    NoHost,           // "rfc2217://:2001"
    BadHost,          // a blank, '/' or an unpaired bracket in it
    UnbracketedIpv6,  // "rfc2217://::1:2001"
    NoPort,           // "rfc2217://host", "rfc2217://host:"
    BadPort,          // not a number from 1 to 65535
};

// Whether the path is meant as a network address (its scheme), well formed or not.
bool IsNetAddress(const std::string& strPath);
// nullopt when the scheme is unknown or the host or port is missing or malformed.
std::optional<NetAddress> ParseNetAddress(const std::string& strPath);
ENetAddressFault NetAddressFault(const std::string& strPath);
