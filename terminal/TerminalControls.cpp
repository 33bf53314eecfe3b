// Building the main window's controls: creating them in template order, naming them for
// assistive technology, filling the lists, wiring them; the open button's and the lamps' looks;
// their states to and from the settings file.
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <initializer_list>
#include <map>
#include <utility>

#include "CounterStyle.h"
#include "DialogTemplate.h"
#include "NumEdit.h"
#include "PortCombo.h"
#include "ReceiveView.h"
#include "Resources.h"
#include "SendEdit.h"
#include "ShadedButton.h"
#include "StatusLamp.h"
#include "TerminalDlg.h"

namespace {

constexpr const char* kNoDevice = "未映射设备";
constexpr const char* kRunOnly = "（本次运行）";  // a device the command line named
constexpr const char* kCaptionOpen = "打开串口";
constexpr const char* kCaptionClose = "关闭串口";
constexpr const char* kWaitingTip = "设备已断开，等待重新连接\n点击关闭串口停止等待";

// Creates a T for each id, notes it under its id and, where a member is given, in that member.
template <class T>
void AddControls(QWidget* pParent, std::map<int, QWidget*>& mapControls,
                 std::initializer_list<std::pair<int, T**>> arrControls) {
    for (const auto& [nId, ppMember] : arrControls) {
        T* pControl = new T(pParent);
        mapControls[nId] = pControl;
        if (ppMember != nullptr) {
            *ppMember = pControl;
        }
    }
}

}  // namespace

void CTerminalDlg::CreateControls() {
    // Created class by class; ApplyTemplate stacks them in template order, so that a group frame
    // lies beneath the controls inside it.
    m_edReceive = new CReceiveView(m_strIniPath, this);
    m_edSend = new CSendEdit(m_strIniPath, this);
    m_cbPort = new CPortCombo(this);
    m_btnOpen = new CShadedButton(this);
    m_lampCTS = new CStatusLamp(IDB_CTS_OFF, IDB_CTS_ON, this);
    m_lampDSR = new CStatusLamp(IDB_DSR_OFF, IDB_DSR_ON, this);
    m_lampRING = new CStatusLamp(IDB_RING_OFF, IDB_RING_ON, this);
    m_lampCD = new CStatusLamp(IDB_CD_OFF, IDB_CD_ON, this);
    m_edPeriod = new CNumEdit(this);
    m_mapControls = {
        {IDC_RECEIVE, m_edReceive},  {IDC_SEND, m_edSend},      {IDC_PORT, m_cbPort},
        {IDC_OPEN, m_btnOpen},       {IDC_LAMP_CTS, m_lampCTS}, {IDC_LAMP_DSR, m_lampDSR},
        {IDC_LAMP_RING, m_lampRING}, {IDC_LAMP_CD, m_lampCD},   {IDC_PERIOD, m_edPeriod}};
    AddControls<QGroupBox>(this, m_mapControls,
                           {{IDC_SETTINGS_GROUP, nullptr},
                            {IDC_LAMP_GROUP, &m_grpLamps},
                            {IDC_COUNTER_GROUP, nullptr},
                            {IDC_LINES_GROUP, nullptr},
                            {IDC_FORMAT_GROUP, nullptr},
                            {IDC_PERIOD_GROUP, nullptr}});
    const std::array<int, 5> arrLabels = {IDC_PORT_LABEL, IDC_BAUD_LABEL, IDC_DATABITS_LABEL,
                                          IDC_PARITY_LABEL, IDC_STOPBITS_LABEL};
    for (int nId : arrLabels) {
        m_mapControls[nId] = new QLabel(this);
    }
    for (int nId : {IDC_RX_LABEL, IDC_TX_LABEL, IDC_PERIOD_LABEL}) {
        m_mapControls[nId] = new QLabel(this);
    }
    AddControls<QComboBox>(this, m_mapControls,
                           {{IDC_BAUD, &m_cbBaud},
                            {IDC_DATABITS, &m_cbDataBits},
                            {IDC_PARITY, &m_cbParity},
                            {IDC_STOPBITS, &m_cbStopBits}});
    AddControls<QPushButton>(this, m_mapControls,
                             {{IDC_CLEAR_COUNTERS, &m_btnClearCounters},
                              {IDC_SEND_FILE, &m_btnSendFile},
                              {IDC_AUTO_SEND, &m_btnAutoSend},
                              {IDC_MANUAL_SEND, &m_btnManualSend},
                              {ID_HELP, &m_btnHelp},
                              {IDC_DEVICE_MAP, &m_btnDeviceMap}});
    AddControls<QLineEdit>(this, m_mapControls,
                           {{IDC_RX_COUNT, &m_edRxCount}, {IDC_TX_COUNT, &m_edTxCount}});
    AddControls<QCheckBox>(
        this, m_mapControls,
        {{IDC_DTR, &m_chkDTR}, {IDC_RTS, &m_chkRTS}, {IDC_AUTO_RECONNECT, &m_chkAutoReconnect}});
    AddControls<QRadioButton>(this, m_mapControls,
                              {{IDC_FORMAT_TEXT, &m_radText}, {IDC_FORMAT_HEX, &m_radHex}});

    for (QLineEdit* pCounter : {m_edRxCount, m_edTxCount}) {
        pCounter->setReadOnly(true);
        pCounter->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        // The counters change at every refresh of the receive box under load. Filled with the
        // window's colour, which is all that lies behind their rounded corners, they are opaque,
        // so the window and the group frame are not repainted with them; their frame is copied
        // from a picture (CCounterStyle) and their font follows the first frame (FinishDressing).
        pCounter->setBackgroundRole(QPalette::Window);
        pCounter->setAutoFillBackground(true);
        pCounter->setStyle(CCounterStyle::Instance());
    }
    m_edPeriod->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    const std::array<QComboBox*, 5> arrLists = {m_cbPort, m_cbBaud, m_cbDataBits, m_cbParity,
                                                m_cbStopBits};
    for (std::size_t i = 0; i < arrLists.size(); ++i) {
        static_cast<QLabel*>(Control(arrLabels[i]))->setBuddy(arrLists[i]);
        arrLists[i]->setMaxVisibleItems(12);
    }
    // Not the window's default button: that stays the first button after it in the tab order.
    m_btnDeviceMap->setAutoDefault(false);
    static_cast<QLabel*>(Control(IDC_PERIOD_LABEL))->setBuddy(m_edPeriod);
    static_cast<QLabel*>(Control(IDC_RX_LABEL))->setBuddy(m_edRxCount);
    static_cast<QLabel*>(Control(IDC_TX_LABEL))->setBuddy(m_edTxCount);
    m_cbPort->SetBeforePopup([this] { RefreshPortTips(); });
}

void CTerminalDlg::ConnectControls() {
    connect(m_btnOpen, &QAbstractButton::clicked, this, &CTerminalDlg::OnOpenClose);
    connect(m_btnHelp, &QPushButton::clicked, this, &CTerminalDlg::OnHelp);
    connect(m_btnDeviceMap, &QPushButton::clicked, this, &CTerminalDlg::OnDeviceMap);
    connect(m_btnClearCounters, &QPushButton::clicked, this, &CTerminalDlg::OnClearCounters);
    connect(m_btnManualSend, &QPushButton::clicked, this, &CTerminalDlg::OnManualSend);
    connect(m_btnAutoSend, &QPushButton::clicked, this, &CTerminalDlg::OnAutoSend);
    connect(m_btnSendFile, &QPushButton::clicked, this, &CTerminalDlg::OnSendFile);
    // The check boxes and options follow their state, however it changed (a screen reader's
    // toggle emits no click); the window's own loads are not passed on.
    const std::pair<QAbstractButton*, void (CTerminalDlg::*)()> arrToggles[] = {
        {m_chkDTR, &CTerminalDlg::OnDTR},
        {m_chkRTS, &CTerminalDlg::OnRTS},
        {m_radText, &CTerminalDlg::OnSendFormat},
        {m_radHex, &CTerminalDlg::OnSendFormat},
    };
    connect(m_chkAutoReconnect, &QAbstractButton::toggled, this, &CTerminalDlg::OnAutoReconnect);
    connect(&m_reconnector, &CReconnector::Held, this, &CTerminalDlg::OnDeviceHeld);
    for (const auto& [pButton, pfnHandler] : arrToggles) {
        connect(pButton, &QAbstractButton::toggled, this, [this, pfnHandler = pfnHandler] {
            if (!m_bLoadingControls) {
                (this->*pfnHandler)();
            }
        });
    }
}

void CTerminalDlg::SetAccessibleNames() {
    // Controls with a caption are named by it (Qt reads a button's or a group's text itself);
    // the others by the label that stands for them or by the first words of their tips. The
    // group frames without a caption are named after what they hold.
    const std::pair<int, const char*> arrNames[] = {
        {IDC_RECEIVE, "接收信息框"},
        {IDC_SEND, "发送信息框"},
        {IDC_SETTINGS_GROUP, "串口设置"},
        {IDC_PORT, "端口号："},
        {IDC_BAUD, "波特率："},
        {IDC_DATABITS, "数据位："},
        {IDC_PARITY, "校验位："},
        {IDC_STOPBITS, "停止位："},
        {IDC_LAMP_GROUP, "Modem状态"},
        {IDC_LAMP_RING, "RING"},
        {IDC_COUNTER_GROUP, "收发计数"},
        {IDC_RX_COUNT, "RX"},
        {IDC_TX_COUNT, "TX"},
        {IDC_LINES_GROUP, "控制线"},
        {IDC_PERIOD, "周期(ms)"},
    };
    for (const auto& [nId, pszName] : arrNames) {
        Control(nId)->setAccessibleName(QString::fromUtf8(pszName));
    }
}

void CTerminalDlg::FillLists() {
    for (int nPort = 1; nPort <= kPortCount; ++nPort) {
        m_cbPort->addItem(QStringLiteral("COM%1").arg(nPort));
    }
    for (std::uint32_t dwRate : kBaudRates) {
        m_cbBaud->addItem(QString::number(dwRate), dwRate);
    }
    for (const char* pszBits : kDataBits) {
        m_cbDataBits->addItem(QString::fromLatin1(pszBits));
    }
    for (const char* pszParity : kParities) {
        m_cbParity->addItem(QString::fromLatin1(pszParity));
    }
    for (const char* pszStop : kStopBits) {
        m_cbStopBits->addItem(QString::fromLatin1(pszStop));
    }
}

void CTerminalDlg::RefreshPortTips() {
    const std::vector<std::string> arrPaths = m_link.DevicePaths();  // one map for every entry
    for (int i = 0; i < m_cbPort->count() && i < static_cast<int>(arrPaths.size()); ++i) {
        const std::string& strPath = arrPaths[static_cast<std::size_t>(i)];
        QString strTip =
            strPath.empty() ? QString::fromUtf8(kNoDevice) : QString::fromStdString(strPath);
        if (m_link.RunDevices().count(static_cast<unsigned>(i + 1)) != 0) {
            strTip += QString::fromUtf8(kRunOnly);
        }
        m_cbPort->setItemData(i, strTip, Qt::ToolTipRole);
    }
}

void CTerminalDlg::ShowPortState() {
    if (m_bWaiting) {
        // Open for the user, without a device: pressing the button stops waiting.
        m_btnOpen->setText(QString::fromUtf8(kCaptionClose));
        ShowOpenPicture(IDB_POWER_OFF);
        LampsOff();
        m_btnOpen->setToolTip(QString::fromUtf8(kWaitingTip));
    } else if (m_bPortOpen) {
        m_btnOpen->setText(QString::fromUtf8(kCaptionClose));
        ShowOpenPicture(IDB_POWER_ON);
        LampsFromStatus();
        // Settings the driver refused or changed: told without a modal box.
        QStringList arrDifferences;
        for (const std::string& strLine : m_link.GetSettingDifferences()) {
            arrDifferences << QString::fromStdString(strLine);
        }
        m_btnOpen->setToolTip(arrDifferences.join(QChar('\n')));
    } else {
        m_btnOpen->setText(QString::fromUtf8(kCaptionOpen));
        ShowOpenPicture(IDB_POWER_OFF);
        LampsOff();
        m_btnOpen->setToolTip(QString());
    }
}

void CTerminalDlg::ShowOpenPicture(int nBitmap) {
    m_btnOpen->SetImages(nBitmap, Qt::white);
    m_btnOpen->setProperty("bitmapId", nBitmap);
}

void CTerminalDlg::DressButtons() {
    // The lamps keep their pictures in colour although disabled (CStatusLamp). The open button
    // gets its bumped texture, built once for its size, and shows its focus on it.
    m_btnOpen->SetShading(CShadedButton::EFFECT_ROW_BUMP, 8, 20, 5, QColor(20, 20, 20));
    m_btnOpen->SetFlatFocus(true);
}

std::array<CTerminalDlg::SLamp, 4> CTerminalDlg::LampTable() const {
    // In the order in which they are set.
    return {{{m_lampRING, MS_RING_ON},
             {m_lampCD, MS_RLSD_ON},
             {m_lampDSR, MS_DSR_ON},
             {m_lampCTS, MS_CTS_ON}}};
}

void CTerminalDlg::LampsFromStatus() {
    std::uint32_t dwStatus = 0;
    if (!m_link.GetModemStatus(dwStatus)) {
        return;
    }
    for (const SLamp& lamp : LampTable()) {
        lamp.pLamp->SetLit((dwStatus & lamp.dwBit) != 0);
    }
}

void CTerminalDlg::LampsOff() {
    for (const SLamp& lamp : LampTable()) {
        lamp.pLamp->SetLit(false);
    }
}

void CTerminalDlg::SaveControls() {
    m_bDTR = m_chkDTR->isChecked();
    m_bRTS = m_chkRTS->isChecked();
    m_eSendFormat = m_radText->isChecked()
                        ? ESendFormat::Text
                        : (m_radHex->isChecked() ? ESendFormat::Hex : ESendFormat::None);
}

void CTerminalDlg::LoadControls() {
    ShowCounters();
    m_bLoadingControls = true;
    m_chkDTR->setChecked(m_bDTR);
    m_chkRTS->setChecked(m_bRTS);
    // Radio buttons that exclude each other cannot all be cleared: None clears both.
    m_radText->setAutoExclusive(false);
    m_radHex->setAutoExclusive(false);
    m_radText->setChecked(m_eSendFormat == ESendFormat::Text);
    m_radHex->setChecked(m_eSendFormat == ESendFormat::Hex);
    m_radText->setAutoExclusive(true);
    m_radHex->setAutoExclusive(true);
    m_bLoadingControls = false;
}

void CTerminalDlg::LoadSettings() {
    const STerminalSettings settings = STerminalSettings::Load(m_strIniPath);
    m_cbPort->setCurrentIndex(settings.nCom);
    m_cbDataBits->setCurrentIndex(settings.nDataBits);
    m_cbParity->setCurrentIndex(settings.nParity);
    m_cbStopBits->setCurrentIndex(settings.nStopBits);
    m_cbBaud->setCurrentIndex(settings.nBaud);
    m_eSendFormat = SendFormatFromCode(settings.nTxFormat);
    // At most five digits: a longer number shows its last five.
    m_edPeriod->SetValue(static_cast<std::uint32_t>(settings.nPeriod));
    m_chkAutoReconnect->setChecked(settings.nAutoReconnect != 0);
    m_runOptions.Apply(*this, settings, m_strIniPath);
}

void CTerminalDlg::SaveSettings() {
    SaveControls();
    STerminalSettings settings{};
    settings.nCom = m_cbPort->currentIndex();
    settings.nDataBits = m_cbDataBits->currentIndex();
    settings.nStopBits = m_cbStopBits->currentIndex();
    settings.nParity = m_cbParity->currentIndex();
    settings.nBaud = BaudRatePosition(m_cbBaud->currentData().toUInt());
    settings.nTxFormat = SendFormatCode(m_eSendFormat);
    settings.nPeriod = static_cast<int>(m_edPeriod->GetValue());
    settings.nAutoReconnect = m_chkAutoReconnect->isChecked() ? 1 : 0;
    m_runOptions.KeepStored(settings);
    settings.Save(m_strIniPath);
    m_edSend->SaveOptions();
    m_edReceive->SaveOptions();
}
