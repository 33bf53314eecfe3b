// The main window's dressing: which edges its controls follow, where it opens, and the help tips
// of its controls.
#include <QLineEdit>
#include <QString>
#include <QTimer>
#include <array>

#include "DeviceWatcher.h"
#include "DialogTemplate.h"
#include "IniFile.h"
#include "MessageBox.h"
#include "TerminalDlg.h"

namespace {

constexpr const char* kPlacementSection = "Pelimar";
constexpr const char* kSettingsReadOnly =
    "设置文件不能写入：\n%1\n\n本次运行中更改的设置不会被保存。";
constexpr int kTipWidth = 240;
constexpr COLORREF kTipBackColor = RGB(230, 255, 255);
constexpr COLORREF kTipTextColor = RGB(0, 128, 255);

struct SAnchorRow {
    int nId;
    AnchorPoint anchorTL;
    AnchorPoint anchorBR;
};

// The receive box takes all growth, the send box the width at the bottom; the settings column
// follows the right edge, the lamps and the control lines the bottom-left corner, the rest the
// bottom-right corner. A group frame comes before the controls inside it.
constexpr std::array<SAnchorRow, 40> kAnchors = {{
    {IDC_RECEIVE, ANCHOR_TOP_LEFT, ANCHOR_BOTTOM_RIGHT},
    {IDC_SEND, ANCHOR_BOTTOM_LEFT, ANCHOR_BOTTOM_RIGHT},
    {IDC_LAMP_GROUP, ANCHOR_BOTTOM_LEFT, ANCHOR_NONE},
    {IDC_LAMP_CTS, ANCHOR_BOTTOM_LEFT, ANCHOR_NONE},
    {IDC_LAMP_DSR, ANCHOR_BOTTOM_LEFT, ANCHOR_NONE},
    {IDC_LAMP_RING, ANCHOR_BOTTOM_LEFT, ANCHOR_NONE},
    {IDC_LAMP_CD, ANCHOR_BOTTOM_LEFT, ANCHOR_NONE},
    {IDC_OPEN, ANCHOR_TOP_RIGHT, ANCHOR_NONE},
    {IDC_SETTINGS_GROUP, ANCHOR_TOP_RIGHT, ANCHOR_NONE},
    {IDC_PORT_LABEL, ANCHOR_TOP_RIGHT, ANCHOR_NONE},
    {IDC_BAUD_LABEL, ANCHOR_TOP_RIGHT, ANCHOR_NONE},
    {IDC_DATABITS_LABEL, ANCHOR_TOP_RIGHT, ANCHOR_NONE},
    {IDC_PARITY_LABEL, ANCHOR_TOP_RIGHT, ANCHOR_NONE},
    {IDC_STOPBITS_LABEL, ANCHOR_TOP_RIGHT, ANCHOR_NONE},
    {IDC_PORT, ANCHOR_TOP_RIGHT, ANCHOR_NONE},
    {IDC_BAUD, ANCHOR_TOP_RIGHT, ANCHOR_NONE},
    {IDC_DATABITS, ANCHOR_TOP_RIGHT, ANCHOR_NONE},
    {IDC_PARITY, ANCHOR_TOP_RIGHT, ANCHOR_NONE},
    {IDC_STOPBITS, ANCHOR_TOP_RIGHT, ANCHOR_NONE},
    {IDC_DEVICE_MAP, ANCHOR_TOP_RIGHT, ANCHOR_NONE},
    {IDC_AUTO_RECONNECT, ANCHOR_TOP_RIGHT, ANCHOR_NONE},
    {IDC_FORMAT_GROUP, ANCHOR_BOTTOM_RIGHT, ANCHOR_NONE},
    {IDC_FORMAT_TEXT, ANCHOR_BOTTOM_RIGHT, ANCHOR_NONE},
    {IDC_FORMAT_HEX, ANCHOR_BOTTOM_RIGHT, ANCHOR_NONE},
    {IDC_PERIOD_GROUP, ANCHOR_BOTTOM_RIGHT, ANCHOR_NONE},
    {IDC_PERIOD_LABEL, ANCHOR_BOTTOM_RIGHT, ANCHOR_NONE},
    {IDC_PERIOD, ANCHOR_BOTTOM_RIGHT, ANCHOR_NONE},
    {IDC_LINES_GROUP, ANCHOR_BOTTOM_LEFT, ANCHOR_NONE},
    {IDC_RTS, ANCHOR_BOTTOM_LEFT, ANCHOR_NONE},
    {IDC_DTR, ANCHOR_BOTTOM_LEFT, ANCHOR_NONE},
    {IDC_SEND_FILE, ANCHOR_BOTTOM_RIGHT, ANCHOR_NONE},
    {IDC_MANUAL_SEND, ANCHOR_BOTTOM_RIGHT, ANCHOR_NONE},
    {IDC_AUTO_SEND, ANCHOR_BOTTOM_RIGHT, ANCHOR_NONE},
    {ID_HELP, ANCHOR_BOTTOM_RIGHT, ANCHOR_NONE},
    {IDC_COUNTER_GROUP, ANCHOR_BOTTOM_RIGHT, ANCHOR_NONE},
    {IDC_RX_LABEL, ANCHOR_BOTTOM_RIGHT, ANCHOR_NONE},
    {IDC_TX_LABEL, ANCHOR_BOTTOM_RIGHT, ANCHOR_NONE},
    {IDC_RX_COUNT, ANCHOR_BOTTOM_RIGHT, ANCHOR_NONE},
    {IDC_TX_COUNT, ANCHOR_BOTTOM_RIGHT, ANCHOR_NONE},
    {IDC_CLEAR_COUNTERS, ANCHOR_BOTTOM_RIGHT, ANCHOR_NONE},
}};

constexpr const char* kModemTip =
    "Modem状态\n红色图标表示当前控制线处于有效状态\n灰色图标表示处于无效状态";

struct STipRow {
    int nId;
    const char* pszText;
};

constexpr std::array<STipRow, 17> kTips = {{
    {IDC_RECEIVE,
     "接收信息框\n点击右键进行功能操作\n\n"
     "采用文本模式显示时，部分非可打印字符将得不到正确显示，如: 0x00会显示成'.'"},
    {IDC_LAMP_RING, kModemTip},
    {IDC_LAMP_CTS, kModemTip},
    {IDC_LAMP_DSR, kModemTip},
    {IDC_LAMP_CD, kModemTip},
    {IDC_SEND_FILE, "发送文件"},
    {IDC_DEVICE_MAP,
     "设备映射\n各端口号对应的设备、by-id 名称、驱动与占用程序\n可为端口指定设备或清除指定"},
    {IDC_AUTO_RECONNECT,
     "自动重连\n勾选时，串口设备断开后不弹出提示，等待同一设备重新出现"
     "（即使设备名称改变），然后以相同设置自动重新打开"},
    {IDC_RTS, "RTS控制线\n勾选时设置RTS控制信号为有效状态，否则无效"},
    {IDC_DTR, "DTR控制线\n勾选时设置DTR控制信号为有效状态，否则无效"},
    {IDC_PERIOD, "自动发送时的间隔时间，单位为ms\n结果不可以等于0"},
    {IDC_RX_COUNT, "接收到的数据字节数"},
    {IDC_TX_COUNT, "已发送的数据字节数"},
    {IDC_CLEAR_COUNTERS, "清除接收与发送计数器"},
    {IDC_MANUAL_SEND, "手动发送\n\n每点击一次将发送信息框的内容发送一次"},
    {IDC_AUTO_SEND, "自动发送\n\n根据设定的自动发送周期\n将发送框的内容自动发送"},
    {IDC_SEND,
     "发送信息框\n点击右键进行功能操作\n\n十六进制模式说明：\n"
     "所输入的字符必须是0~9或A(a)~F(f),每个字节之间需以空格隔开\n例如：34 AF 8C 9F 90"},
}};

}  // namespace

void CTerminalDlg::DressLayout() {
    for (const SAnchorRow& row : kAnchors) {
        AnchorControl(Control(row.nId), row.anchorTL, row.anchorBR);
    }
    EnablePlacementSave(kPlacementSection, false);
}

void CTerminalDlg::paintEvent(QPaintEvent* pEvent) {
    CResizableDlg::paintEvent(pEvent);
    if (!m_bDressed) {
        // Runs once this frame has gone to the screen.
        QTimer::singleShot(0, this, &CTerminalDlg::FinishDressing);
    }
}

void CTerminalDlg::FinishDressing() {
    if (m_bDressed) {
        return;
    }
    m_bDressed = true;
    // Digits need no shaping: the counters, which change at every refresh under load, are laid
    // out without it. Their first "0" looks the same either way, and that font's loading is
    // kept out of the first frame.
    for (QLineEdit* pCounter : {m_edRxCount, m_edTxCount}) {
        QFont font;
        font.setStyleStrategy(QFont::PreferNoShaping);
        pCounter->setFont(font);
    }
    RefreshPortTips();  // with this run's device, if any
    DressTips();
    // The port list's tips follow adapters plugged in or out; the selection stays.
    m_pWatcher = new CDeviceWatcher(QString::fromStdString(m_link.DevRoot()), this);
    connect(m_pWatcher, &CDeviceWatcher::DevicesChanged, this, &CTerminalDlg::RefreshPortTips);
    // Settings that could never be saved (a read-only file or folder) are said once, over the
    // shown window, rather than lost in silence at every change.
    if (!CIniFile(m_strIniPath).IsWritable()) {
        QTimer::singleShot(0, this, [this] {
            CMessageBox::Show(
                this,
                QString::fromUtf8(kSettingsReadOnly).arg(QString::fromStdString(m_strIniPath)),
                QString::fromUtf8(CMessageBox::kAppCaption), QMessageBox::Warning);
        });
    }
}

void CTerminalDlg::DressTips() {
    m_tip.Create(this);
    m_tip.SetMaxTipWidth(kTipWidth);
    for (const STipRow& row : kTips) {
        m_tip.AddTool(Control(row.nId), QString::fromUtf8(row.pszText));
    }
    m_tip.SetTipBkColor(kTipBackColor);
    m_tip.SetTipTextColor(kTipTextColor);
}
