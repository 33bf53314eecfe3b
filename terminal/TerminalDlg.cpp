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
#include <QTimer>
#include <algorithm>
#include <array>

#include "AboutBox.h"
#include "DevicePicker.h"
#include "DialogTemplate.h"
#include "DialogUnits.h"
#include "Fonts.h"
#include "IniFile.h"
#include "MessageBox.h"
#include "NumEdit.h"
#include "OpenFailure.h"
#include "PortCombo.h"
#include "ReceiveView.h"
#include "RecordControl.h"
#include "SendEdit.h"
#include "ShadedButton.h"
#include "TransferControl.h"
#include "Version.h"

namespace {

constexpr const char* kPortLost = "串口已断开\n\n设备已被移除或发生读写错误";

// Counters are shown at most this often while bytes stream in: a number changing faster cannot be
// read, and each showing costs the window a text layout and a paint.
constexpr int kCounterIntervalMs = 100;
// A box that has not refreshed for this long has no more bytes to show: the counters show the
// final count then.
constexpr int kCounterQuietMs = CReceiveView::kRefreshMs * 3 / 2;

constexpr int kPeriodDigits = 5;

}  // namespace

CTerminalDlg::CTerminalDlg(const std::string& strIniPath, QWidget* pParent)
    : CResizableDlg(strIniPath, pParent), m_strIniPath(strIniPath) {
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    // The window icon is the application's (CTerminalApp): drawn once, not once more here.
    setFont(DialogFont());
    m_link.SetDeviceMapSource(m_strIniPath);

    CreateControls();
    LinkCodePages(*m_edReceive, *m_edSend);
    SetUpRecording();
    SetUpTransfers();
    const CDialogUnits units(logicalDpiY());
    ApplyTemplate(kMainDialogTemplate, units, [this](int nId) { return Control(nId); });
    const QSize sizeDesign = units.ToPixels(kMainDialogTemplate.sizeDlu);
    resize(sizeDesign);  // the smallest size too, from the first show on
    SetAccessibleNames();
    ConnectControls();

    // Received bytes move the counters: they are shown in one of the box's refreshes, so that both
    // are painted together, or once the stream stops.
    connect(m_edReceive, &CReceiveView::Refreshed, this, [this] {
        if (!m_bCountersStale) {
            return;
        }
        if (!m_clkCounters.isValid() || m_clkCounters.elapsed() >= kCounterIntervalMs) {
            ShowCounters();
        } else {
            m_timerCounters.start(kCounterQuietMs);
        }
    });
    m_timerCounters.setSingleShot(true);
    connect(&m_timerCounters, &QTimer::timeout, this, &CTerminalDlg::ShowCounters);
    connect(&m_connector, &CNetConnector::Connected, this, &CTerminalDlg::OnConnected);
}

CTerminalDlg::~CTerminalDlg() {
    // Stop the engine while every member it may reach through OnNoticesPending() still exists;
    // a transfer first, while the engine that runs it is there.
    m_pTransfer->Abort();
    m_link.Close();
}

QWidget* CTerminalDlg::Control(int nId) const {
    const auto it = m_mapControls.find(nId);
    return it != m_mapControls.end() ? it->second : nullptr;
}

void CTerminalDlg::OnInitDialog() {
    CResizableDlg::OnInitDialog();
    DressLayout();
    m_bPortOpen = false;
    ShowPortState();
    DressButtons();
    m_fontFixed = BoxFont();
    m_edReceive->setFont(m_fontFixed);
    m_edSend->setFont(m_fontFixed);
    FillLists();
    m_edPeriod->Configure(CNumEdit::MODE_DECIMAL, kPeriodDigits, false);
    LoadSettings();
    m_dwTxCount = m_dwRxCount = 0;
    LoadControls();
    UpdateControlStates();
    ShowTitle();
    if (m_runOptions.OpensAtStart()) {
        // Once the window shows, so that a refusal's box stands over it.
        QTimer::singleShot(0, this, [this] {
            if (!m_bPortOpen && !m_bClosed) {
                OnOpenClose();
            }
        });
    }
}

void CTerminalDlg::OnOpenClose() {
    SaveControls();
    SetEnabledKeepingFocus(m_btnOpen, false);
    if (m_bPortOpen) {
        ClosePort();
    } else if (StartConnecting()) {
        UpdateControlStates();
        return;  // OnConnected goes on
    } else if (OpenPort()) {
        ++m_nSession;
    } else {
        CMessageBox::Show(this, OpenFailureText(m_link),
                          QString::fromUtf8(CMessageBox::kErrorCaption), QMessageBox::Warning);
    }
    EndOpenClose();
}

void CTerminalDlg::EndOpenClose() {
    ShowPortState();
    UpdateControlStates();
    SetEnabledKeepingFocus(m_btnOpen, true);
}

bool CTerminalDlg::OpenPort(const std::string& strPath) {
    // List positions are the engine's codes; a list without a selection (-1) leaves its setting.
    PortSettings settings;
    settings.nPort = static_cast<unsigned>(m_cbPort->currentIndex() + 1);
    settings.dwBaudRate =
        m_cbBaud->currentIndex() >= 0 ? m_cbBaud->currentData().toUInt() : kBaudRates[0];
    settings.eParity = static_cast<EParity>(m_cbParity->currentIndex());
    settings.byDataBits = static_cast<std::uint8_t>(m_cbDataBits->currentIndex() + 6);
    settings.eStopBits = static_cast<EStopBits>(m_cbStopBits->currentIndex());
    if (strPath.empty() ? !m_link.Open(this, settings)
                        : !m_link.OpenDevice(this, strPath, settings)) {
        return false;
    }
    // A port without its watcher would never show a byte: that counts as a failure.
    if (!m_link.StartWatcher()) {
        m_link.Close();
        return false;
    }
    if (strPath.empty()) {  // a device that comes back keeps the identity it had
        m_identity = CDeviceIdentity(m_link.DevRoot()).Of(m_link.DevicePath());
    }
    m_bPortOpen = true;
    m_send.SetPortOpen(true);
    RecordPortOpened(settings);
    return true;
}

void CTerminalDlg::ClosePort() {
    m_pTransfer->Abort();  // CAN CAN first, and its line in the box
    m_reconnector.Stop();
    if (m_bWaiting) {
        m_connector.Cancel();  // a reconnect try's
    }
    m_bWaiting = false;
    if (m_bPortOpen) {
        m_pRecord->PortClosed();
    }
    m_send.EndSends();
    m_link.Close();
    m_bPortOpen = false;
    m_send.SetPortOpen(false);
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

void CTerminalDlg::UpdateControlStates() {
    const std::array<QWidget*, 5> arrLists = {m_cbPort, m_cbBaud, m_cbDataBits, m_cbParity,
                                              m_cbStopBits};
    for (QWidget* pControl : arrLists) {
        pControl->setEnabled(!m_bPortOpen && !m_connector.IsBusy());
    }
    // The control lines while the device is there.
    for (QWidget* pLine : {m_chkRTS, m_chkDTR}) {
        pLine->setEnabled(m_bPortOpen && !m_bWaiting);
    }
    ShowSendControls(m_send.Controls());
}

void CTerminalDlg::OnHelp() {
    QString strPath = QString::fromStdString(m_strIniPath);
    if (!CIniFile(m_strIniPath).IsWritable()) {
        strPath += QString::fromUtf8("（不能写入，设置不会被保存）");
    }
    CAboutBox box(strPath, this);
    box.exec();
}

void CTerminalDlg::OnDeviceMap() {
    FinishDressing();  // the picker follows the device watcher
    CDevicePickerDlg picker(m_strIniPath, m_cbPort->currentIndex() + 1, m_pWatcher, this,
                            m_link.DevRoot(), &m_link);
    picker.exec();
    RefreshPortTips();
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
    ClosePort();
    m_pRecord->Stop();
    SaveSettings();
}

void CTerminalDlg::OnNoticesPending() {
    // An engine thread: only wake; the delivery runs on the window's thread.
    m_delivery.Wake();
}

void CTerminalDlg::OnPromptNoticesPending() {
    m_delivery.WakePrompt();
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
        case SN_RX_BYTE: {
            const auto by = static_cast<std::uint8_t>(nValue);
            ++m_dwRxCount;
            m_bCountersStale = true;
            m_edReceive->AppendByte(by);
            m_pRecord->AppendBytes(&by, 1, m_link.GetReadTime());
            break;
        }
        case SN_TX_EMPTY:
            m_send.OnTxEmpty();
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

bool CTerminalDlg::OnSerialBytes(const std::uint8_t* pBytes, std::size_t nCount) {
    if (m_bPortOpen) {
        m_dwRxCount += static_cast<std::uint32_t>(nCount);  // wraps as one at a time would
        m_bCountersStale = true;
        m_edReceive->AppendBytes(pBytes, nCount, m_link.GetReadTime());
        m_pRecord->AppendBytes(pBytes, nCount, m_link.GetReadTime());
    }
    return true;
}

void CTerminalDlg::OnPortLost(std::uint64_t nSession) {
    if (!m_bPortOpen || nSession != m_nSession) {
        return;
    }
    if (m_chkAutoReconnect->isChecked()) {
        WaitForDevice();
        return;
    }
    ClosePort();
    ShowPortState();
    UpdateControlStates();
    ShowCounters();
    CMessageBox::Show(this, QString::fromUtf8(kPortLost),
                      QString::fromUtf8(CMessageBox::kErrorCaption), QMessageBox::Warning);
}

void CTerminalDlg::OnBatchDelivered() {
    if (!m_edReceive->IsRefreshPending()) {
        ShowCountersSoon();  // else the box's refresh shows them
    }
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
    m_bDTR ? m_link.SetDTR() : m_link.ClearDTR();
}

void CTerminalDlg::OnRTS() {
    SaveControls();
    m_bRTS ? m_link.SetRTS() : m_link.ClearRTS();
}
