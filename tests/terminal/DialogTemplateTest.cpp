// The window templates as data: dialog units to pixels, and the rectangles of every control
// (inside the window, no overlaps, group frames holding what they frame).
#include <gtest/gtest.h>

#include <set>

#include "DialogTemplate.h"
#include "DialogUnits.h"

namespace {

bool IsGroup(int nId) {
    static const std::set<int> kGroups = {IDC_SETTINGS_GROUP, IDC_LAMP_GROUP,   IDC_COUNTER_GROUP,
                                          IDC_LINES_GROUP,    IDC_FORMAT_GROUP, IDC_PERIOD_GROUP};
    return kGroups.count(nId) != 0;
}

const SDlgItem& Item(const SDlgTemplate& tmpl, int nId) {
    for (const SDlgItem& item : tmpl.items) {
        if (item.nId == nId) {
            return item;
        }
    }
    ADD_FAILURE() << "no control " << nId;
    return tmpl.items.front();
}

}  // namespace

TEST(DialogUnits, OneUnitIsOneAndAHalfPixelsAt96Dpi) {
    const CDialogUnits units(96.0);
    EXPECT_EQ(units.ToPixels(QSize(450, 315)), QSize(675, 473));
    EXPECT_EQ(units.ToPixels(QRect(4, 8, 10, 20)), QRect(6, 12, 15, 30));
}

TEST(DialogUnits, ScalesWithTheLogicalDpi) {
    const CDialogUnits units(192.0);
    EXPECT_EQ(units.ToPixels(QRect(4, 8, 10, 20)), QRect(12, 24, 30, 60));
}

TEST(DialogUnits, NeighboursSharingAnEdgeShareItInPixels) {
    const CDialogUnits units(120.0);
    const QRect rcLeft = units.ToPixels(QRect(7, 7, 33, 11));
    const QRect rcRight = units.ToPixels(QRect(40, 7, 33, 11));
    EXPECT_EQ(rcLeft.x() + rcLeft.width(), rcRight.x());
}

TEST(MainTemplate, HoldsEveryControlOnceInTabOrder) {
    const std::vector<int> arrExpected = {
        1030, 1031, 1032, 1016, 1017, 1018, 1019, 1020, 1021, 1003, 1004, 1005, 1006, 1007,
        1053, 1054, 1035, 1023, 1024, 1025, 1026, 1042, 1040, 1041, 1036, 1037, 1038, 1043,
        1008, 1011, 1039, 1009, 1002, 1034, 1014, 1015, 1049, 1048, 1046, 57664};
    std::vector<int> arrIds;
    for (const SDlgItem& item : kMainDialogTemplate.items) {
        arrIds.push_back(item.nId);
    }
    EXPECT_EQ(arrIds, arrExpected);
    EXPECT_EQ(kMainDialogTemplate.sizeDlu, QSize(450, 315));
}

TEST(MainTemplate, CaptionsAreExact) {
    const std::pair<int, const char*> arrCaptions[] = {
        {IDC_OPEN, "打开串口"},
        {IDC_PORT_LABEL, "端口号："},
        {IDC_BAUD_LABEL, "波特率："},
        {IDC_DATABITS_LABEL, "数据位："},
        {IDC_PARITY_LABEL, "校验位："},
        {IDC_STOPBITS_LABEL, "停止位："},
        {IDC_LAMP_CTS, "CTS"},
        {IDC_LAMP_DSR, "DSR"},
        {IDC_LAMP_CD, "CD"},
        {IDC_RX_LABEL, "RX"},
        {IDC_TX_LABEL, "TX"},
        {IDC_CLEAR_COUNTERS, "计数清零"},
        {IDC_DTR, "DTR"},
        {IDC_RTS, "RTS"},
        {IDC_SEND_FILE, "发送文件"},
        {IDC_AUTO_SEND, "自动发送"},
        {IDC_MANUAL_SEND, "手动发送"},
        {IDC_FORMAT_GROUP, "发送数据格式"},
        {IDC_FORMAT_TEXT, "文本"},
        {IDC_FORMAT_HEX, "十六进制"},
        {IDC_PERIOD_GROUP, "自动发送"},
        {IDC_PERIOD_LABEL, "周期(ms)"},
        {ID_HELP, "帮助..."},
        {IDC_DEVICE_MAP, "设备映射..."},
        {IDC_AUTO_RECONNECT, "自动重连"},
    };
    for (const auto& [nId, pszCaption] : arrCaptions) {
        ASSERT_NE(Item(kMainDialogTemplate, nId).pszCaption, nullptr) << nId;
        EXPECT_STREQ(Item(kMainDialogTemplate, nId).pszCaption, pszCaption) << nId;
    }
    for (int nId : {IDC_RECEIVE, IDC_SEND, IDC_LAMP_RING, IDC_RX_COUNT, IDC_PERIOD}) {
        EXPECT_EQ(Item(kMainDialogTemplate, nId).pszCaption, nullptr) << nId;
    }
}

TEST(MainTemplate, SendFormatChoiceIsHiddenAndLampsAreDisabled) {
    for (int nId : {IDC_FORMAT_GROUP, IDC_FORMAT_TEXT, IDC_FORMAT_HEX}) {
        EXPECT_TRUE(Item(kMainDialogTemplate, nId).uFlags & DLG_HIDDEN) << nId;
    }
    for (int nId : {IDC_LAMP_CTS, IDC_LAMP_DSR, IDC_LAMP_RING, IDC_LAMP_CD}) {
        EXPECT_TRUE(Item(kMainDialogTemplate, nId).uFlags & DLG_DISABLED) << nId;
    }
}

// Every visible control lies inside the window; controls do not overlap, except that a group frame
// holds, whole, every control that it touches.
void ExpectTidy(const SDlgTemplate& tmpl, const std::function<bool(int)>& fnIsGroup) {
    const QRect rcWindow(QPoint(0, 0), tmpl.sizeDlu);
    for (const SDlgItem& item : tmpl.items) {
        if (item.uFlags & DLG_HIDDEN) {
            continue;
        }
        EXPECT_TRUE(rcWindow.contains(item.rcDlu)) << item.nId;
        for (const SDlgItem& other : tmpl.items) {
            if (&other == &item || (other.uFlags & DLG_HIDDEN) ||
                !item.rcDlu.intersects(other.rcDlu)) {
                continue;
            }
            if (fnIsGroup(item.nId) && !fnIsGroup(other.nId)) {
                EXPECT_TRUE(item.rcDlu.contains(other.rcDlu)) << other.nId << " in " << item.nId;
            } else if (!fnIsGroup(other.nId)) {
                ADD_FAILURE() << item.nId << " overlaps " << other.nId;
            }
        }
    }
}

TEST(MainTemplate, ControlsAreInsideTheWindowAndDoNotOverlap) {
    ExpectTidy(kMainDialogTemplate, IsGroup);
}

TEST(MainTemplate, GroupsAlignAlongTheBottom) {
    const int nBottom = Item(kMainDialogTemplate, IDC_SEND).rcDlu.bottom();
    for (int nId : {IDC_LAMP_GROUP, IDC_LINES_GROUP, IDC_MANUAL_SEND, ID_HELP}) {
        EXPECT_EQ(Item(kMainDialogTemplate, nId).rcDlu.bottom(), nBottom) << nId;
    }
    // The send box's top is the frame line of the groups beside it.
    const int nTop = Item(kMainDialogTemplate, IDC_SEND).rcDlu.top();
    for (int nId : {IDC_LAMP_GROUP, IDC_LINES_GROUP, IDC_PERIOD_GROUP, IDC_COUNTER_GROUP}) {
        EXPECT_EQ(Item(kMainDialogTemplate, nId).rcDlu.top() + kGroupFrameTopDlu, nTop) << nId;
    }
}

TEST(AboutTemplate, PictureFillsTheLeftEdgeAndNothingOverlaps) {
    EXPECT_EQ(kAboutDialogTemplate.sizeDlu, QSize(304, 233));
    const CDialogUnits units(96.0);
    EXPECT_EQ(units.ToPixels(Item(kAboutDialogTemplate, IDC_ABOUT_PICTURE).rcDlu).size(),
              QSize(102, 350));
    ExpectTidy(kAboutDialogTemplate, [](int) { return false; });
    EXPECT_STREQ(Item(kAboutDialogTemplate, IDOK).pszCaption, "确定");
}
