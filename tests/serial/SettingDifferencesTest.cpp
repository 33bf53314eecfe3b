#include "SettingDifferences.h"

#include <gtest/gtest.h>

namespace {
LineSettings Settings(std::uint32_t dwRate, int nBits, int nParity, int nStop) {
    LineSettings s;
    s.dwBaudRate = dwRate;
    s.nDataBits = nBits;
    s.eParity = static_cast<EParity>(nParity);  // list positions, as the window hands them on
    s.eStopBits = static_cast<EStopBits>(nStop);
    return s;
}
}  // namespace

TEST(SettingDifferences, NoneWhenTheDriverKeptEverything) {
    EXPECT_TRUE(
        DescribeSettingDifferences(Settings(256000, 7, 3, 2), Settings(256000, 7, 3, 2)).empty());
}

TEST(SettingDifferences, OneChineseLinePerChangedSetting) {
    const auto arrLines =
        DescribeSettingDifferences(Settings(14400, 7, 2, 1), Settings(9600, 8, 0, 2));
    const std::vector<std::string> expected = {
        "波特率：请求 14400，实际 9600",
        "数据位：请求 7，实际 8",
        "校验位：请求 Even，实际 None",
        "停止位：请求 1.5，实际 2",
    };
    EXPECT_EQ(arrLines, expected);
}

TEST(SettingDifferences, CodesMeaningLeaveAsItIsAreNotCompared) {
    EXPECT_TRUE(
        DescribeSettingDifferences(Settings(9600, 8, 7, -1), Settings(9600, 8, 1, 2)).empty());
}

TEST(SettingDifferences, FlowLineNamesBothModes) {
    EXPECT_EQ(DescribeFlowDifference(EFlowControl::DsrDtr, EFlowControl::None),
              "流控：请求 DSR/DTR，实际 None");
    EXPECT_EQ(DescribeFlowDifference(EFlowControl::CtsRts, EFlowControl::CtsRts), "");
    EXPECT_EQ(DescribeFlowDifference(EFlowControl::XonXoff, EFlowControl::None),
              "流控：请求 XON/XOFF，实际 None");
}
