#include <gtest/gtest.h>

#include "NetAddress.h"

TEST(NetAddress, ParsesNamesAndLiterals) {
    const struct {
        const char* pszPath;
        ENetAddressFault eFault;
        bool bComPort;
        const char* pszHost;
        const char* pszPort;
    } rows[] = {
        {"rfc2217://127.0.0.1:2001", ENetAddressFault::None, true, "127.0.0.1", "2001"},
        {"tcp://rack-7.lab:4001", ENetAddressFault::None, false, "rack-7.lab", "4001"},
        {"rfc2217://[::1]:2001", ENetAddressFault::None, true, "::1", "2001"},
        {"tcp://[fe80::1%eth0]:65535", ENetAddressFault::None, false, "fe80::1%eth0", "65535"},
        {"rfc2217://::1:2001", ENetAddressFault::UnbracketedIpv6, false, "", ""},
        {"rfc2217://host", ENetAddressFault::NoPort, false, "", ""},
        {"rfc2217://host:", ENetAddressFault::NoPort, false, "", ""},
        {"rfc2217://[::1]", ENetAddressFault::NoPort, false, "", ""},
        {"rfc2217://:2001", ENetAddressFault::NoHost, false, "", ""},
        {"tcp://[]:2001", ENetAddressFault::NoHost, false, "", ""},
        {"rfc2217://host:0", ENetAddressFault::BadPort, false, "", ""},
        {"rfc2217://host:65536", ENetAddressFault::BadPort, false, "", ""},
        {"rfc2217://host:20a1", ENetAddressFault::BadPort, false, "", ""},
        {"rfc2217://[::1]2001", ENetAddressFault::BadHost, false, "", ""},
        {"rfc2217://[::1:2001", ENetAddressFault::BadHost, false, "", ""},
        {"rfc2217://a/b:1", ENetAddressFault::BadHost, false, "", ""},
        {"/dev/ttyUSB0", ENetAddressFault::UnknownScheme, false, "", ""},
        {"udp://host:1", ENetAddressFault::UnknownScheme, false, "", ""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(NetAddressFault(row.pszPath), row.eFault) << row.pszPath;
        const auto address = ParseNetAddress(row.pszPath);
        ASSERT_EQ(address.has_value(), row.eFault == ENetAddressFault::None) << row.pszPath;
        if (address) {
            EXPECT_EQ(address->bComPort, row.bComPort) << row.pszPath;
            EXPECT_EQ(address->strHost, row.pszHost) << row.pszPath;
            EXPECT_EQ(address->strPort, row.pszPort) << row.pszPath;
        }
    }
    EXPECT_TRUE(IsNetAddress("rfc2217://bad"));
    EXPECT_FALSE(IsNetAddress("/dev/rfc2217"));
}
