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
}  // namespace

bool IsNetAddress(const std::string& strPath) {
    return strPath.starts_with(kComPortScheme) || strPath.starts_with(kTcpScheme);
}

std::optional<NetAddress> ParseNetAddress(const std::string& strPath) {
    NetAddress address;
    std::string strRest;
    if (strPath.starts_with(kComPortScheme)) {
        address.bComPort = true;
        strRest = strPath.substr(kComPortScheme.size());
    } else if (strPath.starts_with(kTcpScheme)) {
        strRest = strPath.substr(kTcpScheme.size());
    } else {
        return std::nullopt;
    }
    std::size_t nColon = std::string::npos;
    if (strRest.starts_with('[')) {
        const std::size_t nClose = strRest.find(']');
        if (nClose == std::string::npos || nClose + 1 >= strRest.size() ||
            strRest[nClose + 1] != ':') {
            return std::nullopt;
        }
        address.strHost = strRest.substr(1, nClose - 1);
        nColon = nClose + 1;
    } else {
        nColon = strRest.find(':');
        if (nColon == std::string::npos || strRest.find(':', nColon + 1) != std::string::npos) {
            return std::nullopt;  // an IPv6 address needs its brackets
        }
        address.strHost = strRest.substr(0, nColon);
    }
    address.strPort = strRest.substr(nColon + 1);
    const bool bHostOk = !address.strHost.empty() &&
                         std::none_of(address.strHost.begin(), address.strHost.end(), [](char c) {
                             return c == '/' || c == ' ' || c == '[' || c == ']';
                         });
    if (!bHostOk || !IsPort(address.strPort)) {
        return std::nullopt;
    }
    return address;
}
