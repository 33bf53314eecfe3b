#include "TerminalDlg.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <array>

#include "AboutBox.h"
#include "DialogTemplate.h"
#include "DialogUnits.h"
#include "Fonts.h"
#include "IniFile.h"
#include "MessageBox.h"
#include "NumEdit.h"
#include "OpenFailure.h"
#include "PortCombo.h"
#include "ReceiveView.h"
#include "Resources.h"
#include "SendEdit.h"

namespace {

constexpr const char* kTitle = "diVE 串口调试终端 V1.04";
constexpr const char* kPortLost = "串口已断开\n\n设备已被移除或发生读写错误";
constexpr const char* kNoDevice = "未映射设备";
constexpr const char* kCaptionOpen = "打开串口";
constexpr const char* kCaptionClose = "关闭串口";
constexpr const char* kCaptionAutoSend = "自动发送";

constexpr int kPortCount = 32;
constexpr std::array<std::uint32_t, 15> kBaudRates = {110,   300,   600,    1200,   2400,
                                                      4800,  9600,  14400,  19200,  38400,
                                                      56000, 57600, 115200, 128000, 256000};
constexpr std::array<const char*, 3> kDataBits = {"6", "7", "8"};
constexpr std::array<const char*, 5> kParities = {"None", "Odd", "Even", "Mark", "Space"};
constexpr std::array<const char*, 3> kStopBits = {"1", "1.5", "2"};

// Settings keys with their defaults; an index outside its list falls back to the default.
constexpr int kDefaultCom = 0;
constexpr int kDefaultDataBits = 2;
constexpr int kDefaultStopBits = 0;
constexpr int kDefaultParity = 0;
constexpr int kDefaultBaud = 0;
constexpr int kDefaultTxFormat = 0;
constexpr int kDefaultPeriod = 100;

// A received-bytes budget per delivery: small enough that the event loop runs (and a click is
// answered) between batches even at the highest rates, large enough to keep the overhead low.
constexpr std::size_t kDeliverBudgetBytes = 64 * 1024;
// Counters are shown at most this often while bytes stream in.
constexpr int kCounterIntervalMs = 33;

constexpr int kPeriodDigits = 5;

int IndexOr(int nIndex, std::size_t nCount, int nDefault) {
    return nIndex >= 0 && static_cast<std::size_t>(nIndex) < nCount ? nIndex : nDefault;
}

// Shows a picture on a button, keyed to transparent. Lamps keep their colours although they are
// disabled windows; the open button greys its picture while it is disabled.
void SetButtonImage(QAbstractButton* pButton, int nBitmap, bool bColourWhenDisabled) {
    const QPixmap pixmap = LoadMaskedBitmap(nBitmap);
    QIcon icon(pixmap);
    if (bColourWhenDisabled) {
        icon.addPixmap(pixmap, QIcon::Disabled);
    }
    pButton->setIcon(icon);
    pButton->setIconSize(pixmap.size());
    pButton->setProperty("bitmapId", nBitmap);
}

}  // namespace

CTerminalDlg::CTerminalDlg(const std::string& strIniPath, QWidget* pParent)
    : QDialog(pParent), m_strIniPath(strIniPath) {
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setFont(DialogFont());
    setWindowIcon(AppIcon());
    m_link.SetDeviceMapSource(m_strIniPath);

    CreateControls();
    LinkCodePages(*m_edReceive, *m_edSend);
    const CDialogUnits units(logicalDpiY());
    ApplyTemplate(kMainDialogTemplate, units, [this](int nId) { return Control(nId); });
    const QSize sizeDesign = units.ToPixels(kMainDialogTemplate.sizeDlu);
    resize(sizeDesign);
    setMinimumSize(sizeDesign);
    SetAccessibleNames();

    m_timerAutoSend.setSingleShot(true);
    connect(&m_timerAutoSend, &QTimer::timeout, this, &CTerminalDlg::OnTimer);
    connect(&m_timerFileProgress, &QTimer::timeout, this, &CTerminalDlg::UpdateFileProgress);
    m_timerCounters.setSingleShot(true);
    connect(&m_timerCounters, &QTimer::timeout, this, &CTerminalDlg::ShowCounters);
}

CTerminalDlg::~CTerminalDlg() {
    // Stop the engine while every member it may reach through OnNoticesPending() still exists.
    m_link.Close();
}

QWidget* CTerminalDlg::Control(int nId) const {
    const auto it = m_mapControls.find(nId);
    return it != m_mapControls.end() ? it->second : nullptr;
}

void CTerminalDlg::CreateControls() {
    // In template order: a group frame is created before the controls inside it, so it lies
    // beneath them.
    const auto add = [this](int nId, auto* pControl) {
        m_mapControls[nId] = pControl;
        return pControl;
    };
    m_edReceive = add(IDC_RECEIVE, new CReceiveView(m_strIniPath, this));
    m_edSend = add(IDC_SEND, new CSendEdit(m_strIniPath, this));
    m_btnOpen = add(IDC_OPEN, new QPushButton(this));
    add(IDC_SETTINGS_GROUP, new QGroupBox(this));
    const std::array<int, 5> arrLabels = {IDC_PORT_LABEL, IDC_BAUD_LABEL, IDC_DATABITS_LABEL,
                                          IDC_PARITY_LABEL, IDC_STOPBITS_LABEL};
    for (int nId : arrLabels) {
        add(nId, new QLabel(this));
    }
    m_cbPort = add(IDC_PORT, new CPortCombo(this));
    m_cbBaud = add(IDC_BAUD, new QComboBox(this));
    m_cbDataBits = add(IDC_DATABITS, new QComboBox(this));
    m_cbParity = add(IDC_PARITY, new QComboBox(this));
    m_cbStopBits = add(IDC_STOPBITS, new QComboBox(this));
    m_grpLamps = add(IDC_LAMP_GROUP, new QGroupBox(this));
    m_lampCTS = add(IDC_LAMP_CTS, new QPushButton(this));
    m_lampDSR = add(IDC_LAMP_DSR, new QPushButton(this));
    m_lampRING = add(IDC_LAMP_RING, new QPushButton(this));
    m_lampCD = add(IDC_LAMP_CD, new QPushButton(this));
    add(IDC_COUNTER_GROUP, new QGroupBox(this));
    add(IDC_RX_LABEL, new QLabel(this));
    add(IDC_TX_LABEL, new QLabel(this));
    m_edRxCount = add(IDC_RX_COUNT, new QLineEdit(this));
    m_edTxCount = add(IDC_TX_COUNT, new QLineEdit(this));
    auto* pClear = add(IDC_CLEAR_COUNTERS, new QPushButton(this));
    add(IDC_LINES_GROUP, new QGroupBox(this));
    m_chkDTR = add(IDC_DTR, new QCheckBox(this));
    m_chkRTS = add(IDC_RTS, new QCheckBox(this));
    m_btnSendFile = add(IDC_SEND_FILE, new QPushButton(this));
    m_btnAutoSend = add(IDC_AUTO_SEND, new QPushButton(this));
    m_btnManualSend = add(IDC_MANUAL_SEND, new QPushButton(this));
    add(IDC_FORMAT_GROUP, new QGroupBox(this));
    m_radText = add(IDC_FORMAT_TEXT, new QRadioButton(this));
    m_radHex = add(IDC_FORMAT_HEX, new QRadioButton(this));
    add(IDC_PERIOD_GROUP, new QGroupBox(this));
    add(IDC_PERIOD_LABEL, new QLabel(this));
    m_edPeriod = add(IDC_PERIOD, new CNumEdit(this));
    auto* pHelp = add(ID_HELP, new QPushButton(this));

    for (QLineEdit* pCounter : {m_edRxCount, m_edTxCount}) {
        pCounter->setReadOnly(true);
        pCounter->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    m_edPeriod->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    for (QPushButton* pLamp : {m_lampCTS, m_lampDSR, m_lampRING, m_lampCD}) {
        pLamp->setFocusPolicy(Qt::NoFocus);
    }
    const std::array<QComboBox*, 5> arrLists = {m_cbPort, m_cbBaud, m_cbDataBits, m_cbParity,
                                                m_cbStopBits};
    for (std::size_t i = 0; i < arrLists.size(); ++i) {
        static_cast<QLabel*>(Control(arrLabels[i]))->setBuddy(arrLists[i]);
        arrLists[i]->setMaxVisibleItems(12);
    }
    static_cast<QLabel*>(Control(IDC_PERIOD_LABEL))->setBuddy(m_edPeriod);
    static_cast<QLabel*>(Control(IDC_RX_LABEL))->setBuddy(m_edRxCount);
    static_cast<QLabel*>(Control(IDC_TX_LABEL))->setBuddy(m_edTxCount);
    m_cbPort->SetBeforePopup([this] { RefreshPortTips(); });

    connect(m_btnOpen, &QPushButton::clicked, this, &CTerminalDlg::OnOpenClose);
    connect(pHelp, &QPushButton::clicked, this, &CTerminalDlg::OnHelp);
    connect(pClear, &QPushButton::clicked, this, &CTerminalDlg::OnClearCounters);
    connect(m_chkDTR, &QCheckBox::clicked, this, &CTerminalDlg::OnDTR);
    connect(m_chkRTS, &QCheckBox::clicked, this, &CTerminalDlg::OnRTS);
    connect(m_btnManualSend, &QPushButton::clicked, this, &CTerminalDlg::OnManualSend);
    connect(m_btnAutoSend, &QPushButton::clicked, this, &CTerminalDlg::OnAutoSend);
    connect(m_btnSendFile, &QPushButton::clicked, this, &CTerminalDlg::OnSendFile);
    connect(m_radText, &QRadioButton::clicked, this, &CTerminalDlg::OnSendFormat);
    connect(m_radHex, &QRadioButton::clicked, this, &CTerminalDlg::OnSendFormat);
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

void CTerminalDlg::showEvent(QShowEvent* pEvent) {
    if (!m_bInitDone) {
        m_bInitDone = true;
        OnInitDialog();
    }
    QDialog::showEvent(pEvent);
}

void CTerminalDlg::OnInitDialog() {
    SetButtonImage(m_btnOpen, IDB_POWER_OFF, false);
    LampsOff();
    m_fontFixed = BoxFont();
    m_edReceive->setFont(m_fontFixed);
    m_edSend->setFont(m_fontFixed);
    m_bPortOpen = 0;
    FillLists();
    m_edPeriod->Configure(CNumEdit::MODE_DECIMAL, kPeriodDigits, false);
    LoadSettings();
    m_dwTxCount = m_dwRxCount = 0;
    m_bAutoSend = 0;
    LoadControls();
    UpdateControlStates();
    setWindowTitle(QString::fromUtf8(kTitle));
}

void CTerminalDlg::FillLists() {
    for (int nPort = 1; nPort <= kPortCount; ++nPort) {
        m_cbPort->addItem(QStringLiteral("COM%1").arg(nPort));
    }
    RefreshPortTips();
    for (std::uint32_t dwRate : kBaudRates) {
        m_cbBaud->addItem(QString::number(dwRate));
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
        const QString strTip =
            strPath.empty() ? QString::fromUtf8(kNoDevice) : QString::fromStdString(strPath);
        m_cbPort->setItemData(i, strTip, Qt::ToolTipRole);
    }
}

void CTerminalDlg::OnOpenClose() {
    StopAutoSend();
    SaveControls();
    SetEnabledKeepingFocus(m_btnOpen, false);

    if (!m_bPortOpen) {
        PortSettings settings;
        settings.nPort = static_cast<unsigned>(m_cbPort->currentIndex() + 1);
        settings.dwBaudRate =
            kBaudRates[IndexOr(m_cbBaud->currentIndex(), kBaudRates.size(), kDefaultBaud)];
        settings.nParity = m_cbParity->currentIndex();
        settings.byDataBits = static_cast<std::uint8_t>(m_cbDataBits->currentIndex() + 6);
        settings.nStopBits = m_cbStopBits->currentIndex();
        if (m_link.Open(this, settings)) {
            // A port without its watcher would never show a byte: that counts as a failure.
            m_bPortOpen = m_link.StartWatcher() ? 1 : 0;
            if (!m_bPortOpen) {
                m_link.Close();
            }
        }
        if (m_bPortOpen) {
            ++m_nSession;
        } else {
            CMessageBox::Show(this, OpenFailureText(m_link),
                              QString::fromUtf8(CMessageBox::kErrorCaption), QMessageBox::Warning);
        }
    } else {
        EndFileSend();
        m_link.Close();
        m_bPortOpen = 0;
        m_bTxPending = false;
    }

    ShowPortState();
    UpdateControlStates();
    SetEnabledKeepingFocus(m_btnOpen, true);
}

void CTerminalDlg::SetEnabledKeepingFocus(QWidget* pControl, bool bEnable) {
    if (!bEnable && focusWidget() == pControl) {
        // Disabled, the focused control would pass the focus on to the next one in the tab
        // order, which would then take keys meant for it: no control has the focus meanwhile.
        pControl->clearFocus();
        m_pFocusWaiting = pControl;
    }
    pControl->setEnabled(bEnable);
    if (bEnable && m_pFocusWaiting == pControl) {
        m_pFocusWaiting = nullptr;
        // Unless the user has put the focus elsewhere in the meantime.
        if (focusWidget() == nullptr) {
            pControl->setFocus();
        }
    }
}

void CTerminalDlg::ShowPortState() {
    if (m_bPortOpen) {
        m_btnOpen->setText(QString::fromUtf8(kCaptionClose));
        SetButtonImage(m_btnOpen, IDB_POWER_ON, false);
        LampsFromStatus();
        // Settings the driver refused or changed: told without a modal box.
        QStringList arrDifferences;
        for (const std::string& strLine : m_link.GetSettingDifferences()) {
            arrDifferences << QString::fromStdString(strLine);
        }
        m_btnOpen->setToolTip(arrDifferences.join(QChar('\n')));
    } else {
        m_btnOpen->setText(QString::fromUtf8(kCaptionOpen));
        SetButtonImage(m_btnOpen, IDB_POWER_OFF, false);
        LampsOff();
        m_btnOpen->setToolTip(QString());
    }
}

void CTerminalDlg::UpdateControlStates() {
    const bool bOpen = m_bPortOpen != 0;
    const std::array<QWidget*, 5> arrLists = {m_cbPort, m_cbBaud, m_cbDataBits, m_cbParity,
                                              m_cbStopBits};
    for (QWidget* pList : arrLists) {
        pList->setEnabled(!bOpen);
    }
    const std::array<QWidget*, 5> arrOpenOnly = {m_chkRTS, m_chkDTR, m_btnManualSend, m_btnSendFile,
                                                 m_btnAutoSend};
    for (QWidget* pControl : arrOpenOnly) {
        pControl->setEnabled(bOpen);
    }
}

void CTerminalDlg::StopAutoSend() {
    m_bAutoSend = 0;
    m_timerAutoSend.stop();
    m_btnAutoSend->setText(QString::fromUtf8(kCaptionAutoSend));
    m_edPeriod->setEnabled(true);
}

void CTerminalDlg::OnHelp() {
    CAboutBox box(this);
    box.exec();
}

void CTerminalDlg::keyPressEvent(QKeyEvent* pEvent) {
    switch (pEvent->key()) {
        case Qt::Key_Escape:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // Escape never closes the window; Enter that no control takes would end the window
            // without saving: both do nothing.
            pEvent->accept();
            return;
        default:
            QDialog::keyPressEvent(pEvent);
    }
}

void CTerminalDlg::closeEvent(QCloseEvent* pEvent) {
    OnClose();
    done(QDialog::Accepted);
    pEvent->accept();
}

void CTerminalDlg::OnClose() {
    if (m_bClosed) {
        return;
    }
    m_bClosed = true;
    m_bAutoSend = 0;
    m_timerAutoSend.stop();
    EndFileSend();
    m_link.Close();
    m_bPortOpen = 0;
    m_bTxPending = false;
    SaveSettings();
}

void CTerminalDlg::OnNoticesPending() {
    // Watcher thread: only post; the delivery runs on the window's thread.
    QMetaObject::invokeMethod(
        this, [this] { DeliverPending(); }, Qt::QueuedConnection);
}

void CTerminalDlg::DeliverPending() {
    const bool bMore = m_link.DeliverNotices(kDeliverBudgetBytes);
    ShowCountersSoon();
    if (bMore) {
        QMetaObject::invokeMethod(
            this, [this] { DeliverPending(); }, Qt::QueuedConnection);
    }
}

void CTerminalDlg::OnSerialEvent(unsigned nCode, unsigned nValue) {
    if (!m_bPortOpen) {
        return;
    }
    switch (nCode) {
        case SN_CTS_CHANGED:
        case SN_DSR_CHANGED:
        case SN_RING:
        case SN_CD_CHANGED:
            LampsFromStatus();
            break;
        case SN_RX_BYTE:
            ++m_dwRxCount;
            m_bCountersStale = true;
            m_edReceive->AppendByte(static_cast<std::uint8_t>(nValue));
            break;
        case SN_TX_EMPTY:
            OnTxEmpty();
            break;
        case SN_PORT_LOST: {
            // Closing the engine from inside its own delivery is left to the next turn of the
            // event loop; the session tells whether the port is still the one that was lost.
            const std::uint64_t nSession = m_nSession;
            QMetaObject::invokeMethod(
                this, [this, nSession] { OnPortLost(nSession); }, Qt::QueuedConnection);
            break;
        }
        default:
            break;
    }
}

void CTerminalDlg::OnPortLost(std::uint64_t nSession) {
    if (!m_bPortOpen || nSession != m_nSession) {
        return;
    }
    StopAutoSend();
    EndFileSend();
    m_link.Close();
    m_bPortOpen = 0;
    m_bTxPending = false;
    ShowPortState();
    UpdateControlStates();
    ShowCounters();
    CMessageBox::Show(this, QString::fromUtf8(kPortLost),
                      QString::fromUtf8(CMessageBox::kErrorCaption), QMessageBox::Warning);
}

void CTerminalDlg::ShowCountersSoon() {
    if (!m_bCountersStale) {
        return;
    }
    const qint64 nSinceShown =
        m_clkCounters.isValid() ? m_clkCounters.elapsed() : kCounterIntervalMs;
    if (nSinceShown >= kCounterIntervalMs) {
        ShowCounters();
    } else if (!m_timerCounters.isActive()) {
        m_timerCounters.start(static_cast<int>(kCounterIntervalMs - nSinceShown));
    }
}

void CTerminalDlg::ShowCounters() {
    const QString strRx = QString::number(m_dwRxCount);
    const QString strTx = QString::number(m_dwTxCount);
    if (m_edRxCount->text() != strRx) {
        m_edRxCount->setText(strRx);
    }
    if (m_edTxCount->text() != strTx) {
        m_edTxCount->setText(strTx);
    }
    m_bCountersStale = false;
    m_timerCounters.stop();
    m_clkCounters.start();
}

void CTerminalDlg::OnClearCounters() {
    m_dwRxCount = m_dwTxCount = 0;
    LoadControls();
}

void CTerminalDlg::OnDTR() {
    SaveControls();
    if (m_bDTR) {
        m_link.SetDTR();
    } else {
        m_link.ClearDTR();
    }
}

void CTerminalDlg::OnRTS() {
    SaveControls();
    if (m_bRTS) {
        m_link.SetRTS();
    } else {
        m_link.ClearRTS();
    }
}

std::array<CTerminalDlg::SLamp, 4> CTerminalDlg::LampTable() const {
    // In the order in which they are set.
    return {{{m_lampRING, MS_RING_ON, IDB_RING_OFF, IDB_RING_ON},
             {m_lampCD, MS_RLSD_ON, IDB_CD_OFF, IDB_CD_ON},
             {m_lampDSR, MS_DSR_ON, IDB_DSR_OFF, IDB_DSR_ON},
             {m_lampCTS, MS_CTS_ON, IDB_CTS_OFF, IDB_CTS_ON}}};
}

void CTerminalDlg::LampsFromStatus() {
    std::uint32_t dwStatus = 0;
    if (!m_link.GetModemStatus(dwStatus)) {
        return;
    }
    for (const SLamp& lamp : LampTable()) {
        SetButtonImage(lamp.pLamp, (dwStatus & lamp.dwBit) ? lamp.nBitmapOn : lamp.nBitmapOff,
                       true);
    }
}

void CTerminalDlg::LampsOff() {
    for (const SLamp& lamp : LampTable()) {
        SetButtonImage(lamp.pLamp, lamp.nBitmapOff, true);
    }
}

void CTerminalDlg::SaveControls() {
    m_bDTR = m_chkDTR->isChecked() ? 1 : 0;
    m_bRTS = m_chkRTS->isChecked() ? 1 : 0;
    m_nSendFormat = m_radText->isChecked() ? 0 : (m_radHex->isChecked() ? 1 : -1);
}

void CTerminalDlg::LoadControls() {
    ShowCounters();
    m_chkDTR->setChecked(m_bDTR != 0);
    m_chkRTS->setChecked(m_bRTS != 0);
    // Radio buttons that exclude each other cannot all be cleared; any value but 0 and 1 means
    // neither is chosen.
    m_radText->setAutoExclusive(false);
    m_radHex->setAutoExclusive(false);
    m_radText->setChecked(m_nSendFormat == 0);
    m_radHex->setChecked(m_nSendFormat == 1);
    m_radText->setAutoExclusive(true);
    m_radHex->setAutoExclusive(true);
}

void CTerminalDlg::LoadSettings() {
    const CIniFile ini(m_strIniPath);
    const int nCom = ini.ReadInt("PORT", "COM", kDefaultCom);
    const int nDataBits = ini.ReadInt("PORT", "DATABITS", kDefaultDataBits);
    const int nStopBits = ini.ReadInt("PORT", "STOPBITS", kDefaultStopBits);
    const int nParity = ini.ReadInt("PORT", "PARITY", kDefaultParity);
    const int nBaud = ini.ReadInt("PORT", "BAUD", kDefaultBaud);
    m_nSendFormat = ini.ReadInt("SYSTEM", "TXFORMAT", kDefaultTxFormat);
    m_dwPeriod = static_cast<std::uint32_t>(ini.ReadInt("SYSTEM", "PERIOD", kDefaultPeriod));

    m_cbPort->setCurrentIndex(IndexOr(nCom, kPortCount, kDefaultCom));
    m_cbDataBits->setCurrentIndex(IndexOr(nDataBits, kDataBits.size(), kDefaultDataBits));
    m_cbParity->setCurrentIndex(IndexOr(nParity, kParities.size(), kDefaultParity));
    m_cbStopBits->setCurrentIndex(IndexOr(nStopBits, kStopBits.size(), kDefaultStopBits));
    m_cbBaud->setCurrentIndex(IndexOr(nBaud, kBaudRates.size(), kDefaultBaud));
    // At most five digits: a longer number shows its last five.
    m_edPeriod->SetValue(m_dwPeriod);
}

void CTerminalDlg::SaveSettings() {
    SaveControls();
    m_dwPeriod = m_edPeriod->GetValue();
    CIniFile ini(m_strIniPath);
    ini.WriteInt("PORT", "COM", m_cbPort->currentIndex());
    ini.WriteInt("PORT", "DATABITS", m_cbDataBits->currentIndex());
    ini.WriteInt("PORT", "STOPBITS", m_cbStopBits->currentIndex());
    ini.WriteInt("PORT", "PARITY", m_cbParity->currentIndex());
    ini.WriteInt("PORT", "BAUD", m_cbBaud->currentIndex());
    ini.WriteInt("SYSTEM", "TXFORMAT", m_nSendFormat);
    ini.WriteInt("SYSTEM", "PERIOD", static_cast<int>(m_dwPeriod));
}
