#include "DialogTemplate.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QString>
#include <QWidget>

#include "DialogUnits.h"

namespace {

// Template 102, design size 450 x 315. The receive box fills the top left and the settings column
// stands at the top right, the device-map button below it; along the bottom, from left to right:
// the lamps, DTR/RTS, the send box, the period with the three send buttons, and the counters with
// the help button. The send box's top is the frame line of the groups beside it.
constexpr SDlgItem kMainItems[] = {
    {IDC_RECEIVE, nullptr, {7, 7, 339, 203}, 0},
    {IDC_SEND, nullptr, {101, 220, 185, 86}, 0},
    {IDC_OPEN, "打开串口", {350, 7, 93, 26}, 0},
    {IDC_SETTINGS_GROUP, nullptr, {350, 38, 93, 114}, 0},
    {IDC_PORT_LABEL, "端口号：", {356, 52, 34, 12}, 0},
    {IDC_BAUD_LABEL, "波特率：", {356, 72, 34, 12}, 0},
    {IDC_DATABITS_LABEL, "数据位：", {356, 92, 34, 12}, 0},
    {IDC_PARITY_LABEL, "校验位：", {356, 112, 34, 12}, 0},
    {IDC_STOPBITS_LABEL, "停止位：", {356, 132, 34, 12}, 0},
    {IDC_PORT, nullptr, {390, 50, 48, 16}, 0},
    {IDC_BAUD, nullptr, {390, 70, 48, 16}, 0},
    {IDC_DATABITS, nullptr, {390, 90, 48, 16}, 0},
    {IDC_PARITY, nullptr, {390, 110, 48, 16}, 0},
    {IDC_STOPBITS, nullptr, {390, 130, 48, 16}, 0},
    {IDC_DEVICE_MAP, "设备映射...", {350, 157, 93, 16}, 0},
    {IDC_AUTO_RECONNECT, "自动重连", {352, 177, 91, 12}, 0},
    {IDC_LAMP_GROUP, nullptr, {7, 214, 46, 92}, 0},
    {IDC_LAMP_CTS, "CTS", {11, 225, 38, 14}, DLG_DISABLED | DLG_PICTURE},
    {IDC_LAMP_DSR, "DSR", {11, 245, 38, 14}, DLG_DISABLED | DLG_PICTURE},
    {IDC_LAMP_RING, nullptr, {11, 265, 38, 14}, DLG_DISABLED | DLG_PICTURE},
    {IDC_LAMP_CD, "CD", {11, 285, 38, 14}, DLG_DISABLED | DLG_PICTURE},
    {IDC_COUNTER_GROUP, nullptr, {370, 214, 73, 72}, 0},
    {IDC_RX_LABEL, "RX", {376, 228, 12, 12}, 0},
    {IDC_TX_LABEL, "TX", {376, 247, 12, 12}, 0},
    {IDC_RX_COUNT, nullptr, {390, 226, 48, 16}, 0},
    {IDC_TX_COUNT, nullptr, {390, 245, 48, 16}, 0},
    {IDC_CLEAR_COUNTERS, "计数清零", {390, 265, 48, 16}, 0},
    {IDC_LINES_GROUP, nullptr, {57, 214, 40, 92}, 0},
    {IDC_DTR, "DTR", {63, 243, 30, 12}, 0},
    {IDC_RTS, "RTS", {63, 269, 30, 12}, 0},
    {IDC_SEND_FILE, "发送文件", {290, 254, 76, 16}, 0},
    {IDC_AUTO_SEND, "自动发送", {290, 272, 76, 16}, 0},
    {IDC_MANUAL_SEND, "手动发送", {290, 290, 76, 16}, 0},
    {IDC_FORMAT_GROUP, "发送数据格式", {350, 160, 93, 30}, DLG_HIDDEN},
    {IDC_FORMAT_TEXT, "文本", {356, 173, 36, 12}, DLG_HIDDEN},
    {IDC_FORMAT_HEX, "十六进制", {394, 173, 46, 12}, DLG_HIDDEN},
    {IDC_PERIOD_GROUP, "自动发送", {290, 214, 76, 34}, 0},
    {IDC_PERIOD_LABEL, "周期(ms)", {295, 229, 34, 12}, 0},
    {IDC_PERIOD, nullptr, {330, 227, 32, 16}, 0},
    {ID_HELP, "帮助...", {370, 290, 73, 16}, 0},
};

// Template 100, design size 304 x 233: the side picture fills the left edge.
constexpr SDlgItem kAboutItems[] = {
    {IDC_ABOUT_PICTURE, nullptr, {0, 0, 68, 233}, 0},
    {IDC_ABOUT_PRODUCT, nullptr, {76, 8, 221, 12}, 0},
    {IDC_ABOUT_FOOTER, nullptr, {76, 212, 160, 12}, 0},
    {IDOK, "确定", {247, 208, 50, 16}, 0},
    {IDC_ABOUT_TEXT, nullptr, {76, 24, 221, 164}, 0},
    {IDC_ABOUT_SETTINGS_LABEL, "设置文件：", {76, 194, 40, 12}, 0},
    {IDC_ABOUT_SETTINGS, nullptr, {116, 193, 181, 12}, 0},
};

// Windows draws a group's caption on its frame line; Qt's styles put it above the frame, which
// would set a captioned frame lower than a plain one beside it.
void StyleGroupFrame(QGroupBox* pGroup, const CDialogUnits& units) {
    pGroup->setStyleSheet(
        QStringLiteral(
            "QGroupBox { margin-top: %1px; border: 1px solid palette(mid);"
            " border-radius: 2px; }"
            "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
            " left: %2px; padding: 0px 2px; background-color: palette(window); }")
            .arg(units.ToPixelsY(kGroupFrameTopDlu))
            .arg(units.ToPixelsX(4)));
}

void SetCaption(QWidget* pControl, const QString& strCaption) {
    if (auto* pButton = qobject_cast<QAbstractButton*>(pControl)) {
        pButton->setText(strCaption);
    } else if (auto* pLabel = qobject_cast<QLabel*>(pControl)) {
        pLabel->setText(strCaption);
    } else if (auto* pGroup = qobject_cast<QGroupBox*>(pControl)) {
        pGroup->setTitle(strCaption);
    }
}

}  // namespace

const SDlgTemplate kMainDialogTemplate = {102, {450, 315}, kMainItems};
const SDlgTemplate kAboutDialogTemplate = {100, {304, 233}, kAboutItems};

void ApplyTemplate(const SDlgTemplate& tmpl, const CDialogUnits& units,
                   const std::function<QWidget*(int nId)>& fnControl) {
    QWidget* pPrevious = nullptr;
    for (const SDlgItem& item : tmpl.items) {
        QWidget* pControl = fnControl(item.nId);
        if (pControl == nullptr) {
            continue;
        }
        pControl->setGeometry(units.ToPixels(item.rcDlu));
        pControl->raise();  // stacked in template order: a group frame beneath its controls
        pControl->setObjectName(QStringLiteral("IDC_%1").arg(item.nId));
        if (auto* pGroup = qobject_cast<QGroupBox*>(pControl)) {
            StyleGroupFrame(pGroup, units);
        }
        pControl->setProperty("dlgId", item.nId);
        if (item.pszCaption != nullptr) {
            const QString strCaption = QString::fromUtf8(item.pszCaption);
            if (item.uFlags & DLG_PICTURE) {
                pControl->setAccessibleName(strCaption);
            } else {
                SetCaption(pControl, strCaption);
            }
        }
        pControl->setVisible((item.uFlags & DLG_HIDDEN) == 0);
        pControl->setEnabled((item.uFlags & DLG_DISABLED) == 0);
        if (pControl->focusPolicy() != Qt::NoFocus) {
            if (pPrevious != nullptr) {
                QWidget::setTabOrder(pPrevious, pControl);
            }
            pPrevious = pControl;
        }
    }
}
