#include <gtest/gtest.h>

#include "NetAddress.h"

TEST(NetAddress, ParsesNamesAndLiterals) {
    const struct {
        const char* pszPath;
        bool bValid;
        bool bComPort;
        const char* pszHost;
        const char* pszPort;
    } rows[] = {
        {"rfc2217://127.0.0.1:2001", true, true, "127.0.0.1", "2001"},
        {"tcp://rack-7.lab:4001", true, false, "rack-7.lab", "4001"},
        {"rfc2217://[::1]:2001", true, true, "::1", "2001"},
        {"tcp://[fe80::1%eth0]:65535", true, false, "fe80::1%eth0", "65535"},
        {"rfc2217://::1:2001", false, false, "", ""},  // IPv6 needs brackets
        {"rfc2217://host", false, false, "", ""},
        {"rfc2217://host:", false, false, "", ""},
        {"rfc2217://:2001", false, false, "", ""},
        {"rfc2217://host:0", false, false, "", ""},
        {"rfc2217://host:65536", false, false, "", ""},
        {"rfc2217://host:20a1", false, false, "", ""},
        {"rfc2217://[::1]2001", false, false, "", ""},
        {"rfc2217://a/b:1", false, false, "", ""},
        {"/dev/ttyUSB0", false, false, "", ""},
        {"udp://host:1", false, false, "", ""},
    };
    for (const auto& row : rows) {
        const auto address = ParseNetAddress(row.pszPath);
        ASSERT_EQ(address.has_value(), row.bValid) << row.pszPath;
        if (address) {
            EXPECT_EQ(address->bComPort, row.bComPort) << row.pszPath;
            EXPECT_EQ(address->strHost, row.pszHost) << row.pszPath;
            EXPECT_EQ(address->strPort, row.pszPort) << row.pszPath;
        }
    }
    EXPECT_TRUE(IsNetAddress("rfc2217://bad"));
    EXPECT_FALSE(IsNetAddress("/dev/rfc2217"));
}
