#pragma once
// CTerminalDlg: the program's main window. It owns the serial engine and is its owner: it opens
// and closes the port with the settings chosen in the five lists, hands every received byte to
// the receive box and counts it, drives DTR and RTS, shows the four status lamps, and loads and
// saves its settings in the settings file.
//
// The controls stand at the fixed rectangles of template 102 (DialogTemplate.h). Start-up runs
// when the window is first shown, so a test can give the engine a device factory before that;
// what the first frame does without follows that frame (FinishDressing).
// Only the close box ends the window (through OnClose, which saves): Escape is swallowed, and
// Enter in a list, a check box or the period field does nothing.
//
// Sending runs in CSendState (SendState.h), which the window wires to its send buttons and shows
// through ISendHost (TerminalSend.cpp). A block file transfer (TerminalTransfer.cpp) has the line
// to itself while it runs: the sends wait, and closing the port cancels it first. The check boxes
// and options follow their check state, whatever changed it (a click, the keyboard, assistive
// technology); the window's own loads of them are not passed on to the line.
//
// Received data. The engine queues its notices and calls OnNoticesPending() from its threads;
// CRxDelivery (RxDelivery.h) brings them to the window's thread in batches, received bytes at the
// receive box's pace, the transmit-empty notice and line changes at once. Counting a byte only
// marks the counters stale: they are shown with the receive box's refresh (so both are painted at
// once), or, for other changes, at the end of a batch, at most as often as the box refreshes,
// always with the value current at that moment.
#include <QElapsedTimer>
#include <QFont>
#include <QTimer>
#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "DeviceIdentity.h"
#include "NetConnector.h"
#include "Reconnector.h"
#include "ResizableDlg.h"
#include "RunOptions.h"
#include "RxDelivery.h"
#include "SendState.h"
#include "SerialLink.h"
#include "TerminalSettings.h"
#include "TipWindow.h"

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressDialog;
class QPushButton;
class QRadioButton;
class CDeviceWatcher;
class CNumEdit;
class CPortCombo;
class CReceiveView;
class CRecordControl;
class CSendEdit;
class CShadedButton;
class CStatusLamp;
class CTransferControl;

class CTerminalDlg : public CResizableDlg, public ISerialOwner, private ISendHost {
    Q_OBJECT
public:
    explicit CTerminalDlg(const std::string& strIniPath, QWidget* pParent = nullptr);
    ~CTerminalDlg() override;

    // What the command line sets for this run; before the window is shown.
    void SetRunOptions(const SCommandLine& cmd) { m_runOptions = CRunOptions(cmd); }
    // The control with a template id (DialogTemplate.h), or nullptr.
    QWidget* Control(int nId) const;
    // The engine, so that tests can hand it a device factory before the window is shown.
    CSerialLink& Link() { return m_link; }
    bool IsPortOpen() const { return m_bPortOpen; }
    // The open port's device went away and the window waits for it to come back.
    bool IsWaitingForDevice() const { return m_bWaiting; }
    // Whether the dressing that the first frame does without is done (FinishDressing).
    bool IsDressed() const { return m_bDressed; }
    // The help tips of the controls, so that tests can look at them.
    const CTipWindow& Tip() const { return m_tip; }
    // Recording received bytes to a file (the receive box's menu), so that tests can answer its
    // dialogs.
    CRecordControl& Record() { return *m_pRecord; }
    // The block file transfers (the send box's "文件传输"), so that tests can shorten their
    // timeouts and reach the progress dialog.
    CTransferControl& Transfers() { return *m_pTransfer; }
    bool IsTransferring() const;

    // The delivery of the engine's notices, so that tests can set the clock that paces it.
    CRxDelivery& Delivery() { return m_delivery; }

    // ISerialOwner
    void OnNoticesPending() override;
    void OnPromptNoticesPending() override;
    void OnSerialEvent(unsigned nCode, unsigned nValue) override;
    // A read's bytes at once: counted and handed to the receive box as OnSerialEvent would.
    bool OnSerialBytes(const std::uint8_t* pBytes, std::size_t nCount) override;

protected:
    void OnInitDialog() override;
    void closeEvent(QCloseEvent* pEvent) override;
    void paintEvent(QPaintEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;
    // Only the close box ends the window; the dialog's own ways out (Escape) are shut.
    void reject() override {}

private:
    struct SLamp {
        CStatusLamp* pLamp;
        std::uint32_t dwBit;  // MS_* bit of the modem status word
    };

    // The engine as the send state sees it.
    class CLinkSender final : public ISendLink {
    public:
        CLinkSender(CSerialLink& link, std::function<void(const std::uint8_t*, std::size_t)> fnSent)
            : m_link(link), m_fnSent(std::move(fnSent)) {}
        // A manual or automatic send: shown in the receive box when it went to the engine.
        bool Write(const std::uint8_t* pBytes, std::size_t nCount) override {
            const bool bWritten = m_link.Write(pBytes, nCount);
            if (bWritten) {
                m_fnSent(pBytes, nCount);
            }
            return bWritten;
        }
        bool WriteStream(StreamReader fnRead, int nGapMs) override {
            return m_link.WriteStream(std::move(fnRead), nGapMs);
        }
        void CancelWrite() override { m_link.CancelWrite(); }
        std::uint64_t GetTxDone() const override { return m_link.GetTxDone(); }
        std::chrono::steady_clock::time_point GetTxEndTime() const override {
            return m_link.GetTxEndTime();
        }

    private:
        CSerialLink& m_link;
        std::function<void(const std::uint8_t*, std::size_t)> m_fnSent;
    };

    // Building the controls (TerminalControls.cpp).
    void CreateControls();
    void ConnectControls();
    void SetAccessibleNames();
    // The dressing (TerminalDressing.cpp): anchors and the saved placement; the help tips.
    void DressLayout();
    void DressTips();
    // What no pixel of the first frame needs (the tips, the port list's tips, the device watcher)
    // comes once that frame is on the screen, so that the window shows sooner; at most once.
    void FinishDressing();
    void FillLists();
    void RefreshPortTips();
    void LampsFromStatus();
    void LampsOff();
    void ShowOpenPicture(int nBitmap);  // IDB_POWER_ON or IDB_POWER_OFF
    void DressButtons();                // the open button's texture
    std::array<SLamp, 4> LampTable() const;

    void OnOpenClose();
    // The open button's work is done: the port's state shows, the button takes clicks again.
    void EndOpenClose();
    // A port on another machine (TerminalConnect.cpp): connects without waiting, then opens on
    // the connected socket. False when the selected port is no network address.
    bool StartConnecting();
    void OnConnected(int nFd, int nError);
    // With the lists' settings, on the port the list selects or, given, on the device at strPath.
    bool OpenPort(const std::string& strPath = {});
    // The one way the port closes: sends end, the engine closes, the sends show the closed port.
    void ClosePort();
    void OnClose();
    void OnHelp();
    void OnDeviceMap();    // the device picker
    void ShowPortState();  // open button and lamps for the open or closed port
    // Enables or disables a button that the user works with the keyboard: disabled while it has
    // the focus, it keeps the focus waiting (no control has it) and gets it back when it is
    // enabled again, unless the focus went elsewhere meanwhile.
    void SetEnabledKeepingFocus(QWidget* pControl, bool bEnable);
    void UpdateControlStates();

    // Sending (TerminalSend.cpp).
    void OnManualSend();
    void OnAutoSend();
    void OnSendFile();
    void OnSendFormat();
    // ISendHost
    std::vector<std::uint8_t> BytesToSend() override;
    void ShowSendControls(const SSendControls& controls) override;
    void ShowSendMessage(ESendMessage eMessage) override;
    void CountSent(std::uint32_t dwBytes, bool bShowNow) override;
    void ShowFileProgress(std::uint64_t nDone, std::uint64_t nTotal) override;
    void HideFileProgress() override;

    void OnClearCounters();
    void OnDTR();
    void OnRTS();
    void OnPortLost(std::uint64_t nSession);

    // Automatic reconnection (TerminalReconnect.cpp).
    void WaitForDevice();
    CReconnector::STry TryReopen(const std::string& strPath);
    CReconnector::STry ReopenOn(const std::string& strPath);  // on the window's thread
    void EndReconnectTry(int nFd, int nError);                // a network try's connect ended
    void OnAutoReconnect();                                   // the check box changed
    void OnDeviceHeld(const QString& strHolder);
    // Recording (TerminalRecord.cpp).
    void SetUpRecording();
    void ShowTitle();  // with the recording's file, while one runs
    void RecordPortOpened(const PortSettings& settings);

    // Block file transfers (TerminalTransfer.cpp).
    void SetUpTransfers();
    // The port is open for the user and the line is free: no transfer, no send pending.
    bool TransfersAllowed() const;
    void OnTransferCommand(int nCommand);  // an item of the send box's "文件传输"

    // Bytes went to the engine: a line of their own in the receive box and the text log, while
    // "显示发送" is on.
    void OnSent(const std::uint8_t* pBytes, std::size_t nCount);
    // The watcher's gathering follows the receive box's frame gap.
    void FollowFrameGap();
    void OnBatchDelivered();
    void ShowCountersSoon();
    void ShowCounters();

    // The framework's data exchange, made explicit. Loading does not echo to the line.
    void SaveControls();  // controls -> fields
    void LoadControls();  // fields -> controls

    void LoadSettings();
    void SaveSettings();

    std::string m_strIniPath;

    // Control members, as the template names them.
    CSendEdit* m_edSend = nullptr;
    QPushButton* m_btnAutoSend = nullptr;
    QCheckBox* m_chkRTS = nullptr;
    QGroupBox* m_grpLamps = nullptr;
    CReceiveView* m_edReceive = nullptr;
    CNumEdit* m_edPeriod = nullptr;
    CStatusLamp* m_lampRING = nullptr;
    CStatusLamp* m_lampDSR = nullptr;
    CStatusLamp* m_lampCTS = nullptr;
    CStatusLamp* m_lampCD = nullptr;
    CShadedButton* m_btnOpen = nullptr;
    CPortCombo* m_cbPort = nullptr;
    QComboBox* m_cbBaud = nullptr;
    QComboBox* m_cbParity = nullptr;
    QComboBox* m_cbStopBits = nullptr;
    QComboBox* m_cbDataBits = nullptr;
    QCheckBox* m_chkDTR = nullptr;
    QCheckBox* m_chkAutoReconnect = nullptr;
    QLineEdit* m_edRxCount = nullptr;
    QLineEdit* m_edTxCount = nullptr;
    QPushButton* m_btnManualSend = nullptr;
    QPushButton* m_btnSendFile = nullptr;
    QRadioButton* m_radText = nullptr;
    QRadioButton* m_radHex = nullptr;
    QPushButton* m_btnHelp = nullptr;
    QPushButton* m_btnDeviceMap = nullptr;
    QPushButton* m_btnClearCounters = nullptr;
    std::map<int, QWidget*> m_mapControls;

    std::uint32_t m_dwRxCount = 0;
    std::uint32_t m_dwTxCount = 0;
    ESendFormat m_eSendFormat = ESendFormat::None;
    bool m_bDTR = false;
    bool m_bRTS = false;
    bool m_bLoadingControls = false;  // LoadControls is setting the check boxes and options
    QFont m_fontFixed;                // the two boxes' font
    CTipWindow m_tip;
    CRunOptions m_runOptions;
    CDeviceWatcher* m_pWatcher = nullptr;  // adapters plugged in or out
    CRecordControl* m_pRecord = nullptr;
    CTransferControl* m_pTransfer = nullptr;
    CSerialLink m_link;
    CLinkSender m_linkSender{m_link,
                             [this](const std::uint8_t* p, std::size_t n) { OnSent(p, n); }};
    CSendState m_send{*this, m_linkSender};
    bool m_bPortOpen = false;
    // The port stays open for the user while its device is away: the window waits for it.
    bool m_bWaiting = false;
    bool m_bResumeAutoSend = false;  // auto send ran when the device went away
    SDeviceIdentity m_identity;      // of the device the user opened
    CReconnector m_reconnector;
    CNetConnector m_connector;
    std::uint64_t m_nSession = 0;  // counts opens, so a late port-lost call finds a newer port

    QProgressDialog* m_pFileProgress = nullptr;
    QTimer m_timerCounters;  // shows stale counters after a quiet spell
    CRxDelivery m_delivery{m_link, [this] { OnBatchDelivered(); }};
    QElapsedTimer m_clkCounters;
    bool m_bCountersStale = false;
    QWidget* m_pFocusWaiting = nullptr;  // see SetEnabledKeepingFocus
    bool m_bClosed = false;
    bool m_bDressed = false;  // FinishDressing has run
};
