#include "NetAddress.h"

#include <algorithm>

namespace {
constexpr std::string_view kComPortScheme = "rfc2217://";
constexpr std::string_view kTcpScheme = "tcp://";

bool IsPort(const std::string& strPort) {
    if (strPort.empty() || strPort.size() > 5 ||
        !std::all_of(strPort.begin(), strPort.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return false;
    }
    const unsigned long nPort = std::stoul(strPort);
    return nPort >= 1 && nPort <= 65535;
}

ENetAddressFault Split(const std::string& strPath, NetAddress& address) {
    std::string strRest;
    if (strPath.starts_with(kComPortScheme)) {
        address.bComPort = true;
        strRest = strPath.substr(kComPortScheme.size());
    } else if (strPath.starts_with(kTcpScheme)) {
        strRest = strPath.substr(kTcpScheme.size());
    } else {
        return ENetAddressFault::UnknownScheme;
    }
    std::size_t nColon = std::string::npos;
    if (strRest.starts_with('[')) {
        const std::size_t nClose = strRest.find(']');
        if (nClose == std::string::npos) {
            return ENetAddressFault::BadHost;
        }
        address.strHost = strRest.substr(1, nClose - 1);
        if (nClose + 1 < strRest.size() && strRest[nClose + 1] != ':') {
            return ENetAddressFault::BadHost;  // "[::1]2001"
        }
        nColon = nClose + 1;
    } else {
        nColon = strRest.find(':');
        if (nColon != std::string::npos && strRest.find(':', nColon + 1) != std::string::npos) {
            return ENetAddressFault::UnbracketedIpv6;
        }
        address.strHost = strRest.substr(0, nColon);
    }
    if (address.strHost.empty()) {
        return ENetAddressFault::NoHost;
    }
    if (std::any_of(address.strHost.begin(), address.strHost.end(),
                    [](char c) { return c == '/' || c == ' ' || c == '[' || c == ']'; })) {
        return ENetAddressFault::BadHost;
    }
    address.strPort = nColon < strRest.size() ? strRest.substr(nColon + 1) : std::string();
    if (address.strPort.empty()) {
        return ENetAddressFault::NoPort;
    }
    return IsPort(address.strPort) ? ENetAddressFault::None : ENetAddressFault::BadPort;
}
}  // namespace

bool IsNetAddress(const std::string& strPath) {
    return strPath.starts_with(kComPortScheme) || strPath.starts_with(kTcpScheme);
}

std::optional<NetAddress> ParseNetAddress(const std::string& strPath) {
    NetAddress address;
    if (Split(strPath, address) != ENetAddressFault::None) {
        return std::nullopt;
    }
    return address;
}

ENetAddressFault NetAddressFault(const std::string& strPath) {
    NetAddress address;
    return Split(strPath, address);
}
