#pragma once
// CTerminalDlg: the program's main window. It owns the serial engine and is its owner: it opens
// and closes the port with the settings chosen in the five lists, hands every received byte to
// the receive box and counts it, drives DTR and RTS, shows the four status lamps, and loads and
// saves its settings in the settings file.
//
// The controls stand at the fixed rectangles of template 102 (DialogTemplate.h). Start-up runs
// when the window is first shown, so a test can give the engine a device factory before that.
// Only the close box ends the window (through OnClose, which saves): Escape is swallowed, and
// Enter in a list, a check box or the period field does nothing.
//
// Sending (the manual, automatic and file sends) hands bytes to the engine, which copies them and
// returns at once; the send buttons come back with the transmit-empty notice. A file is streamed
// from disk while a progress window shows the bytes sent and offers to cancel; closing the port
// or the window cancels it, and a file that cannot be read to its end says so ("读取文件失败").
//
// Received data. The engine queues its notices and calls OnNoticesPending() from its watcher
// thread; the window then calls DeliverNotices() on its own thread in batches, posting the next
// batch so that the event loop runs in between. Counting a byte only marks the counters stale: they
// are shown at the end of a batch, at most about 30 times a second, always with the value current
// at that moment.
#include <QDialog>
#include <QElapsedTimer>
#include <QFont>
#include <QTimer>
#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "SerialLink.h"

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressDialog;
class QPushButton;
class QRadioButton;
class CNumEdit;
class CPortCombo;
class CReceiveView;
class CSendEdit;

class CTerminalDlg : public QDialog, public ISerialOwner {
    Q_OBJECT
public:
    explicit CTerminalDlg(const std::string& strIniPath, QWidget* pParent = nullptr);
    ~CTerminalDlg() override;

    // The control with a template id (DialogTemplate.h), or nullptr.
    QWidget* Control(int nId) const;
    // The engine, so that tests can hand it a device factory before the window is shown.
    CSerialLink& Link() { return m_link; }
    bool IsPortOpen() const { return m_bPortOpen; }

    // ISerialOwner
    void OnNoticesPending() override;
    void OnSerialEvent(unsigned nCode, unsigned nValue) override;

protected:
    void showEvent(QShowEvent* pEvent) override;
    void closeEvent(QCloseEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;
    // Only the close box ends the window; the dialog's own ways out (Escape) are shut.
    void reject() override {}

private:
    struct SLamp {
        QPushButton* pLamp;
        std::uint32_t dwBit;  // MS_* bit of the modem status word
        int nBitmapOff;
        int nBitmapOn;
    };

    void CreateControls();
    void SetAccessibleNames();
    void OnInitDialog();
    void FillLists();
    void RefreshPortTips();

    void OnOpenClose();
    void OnClose();
    void OnHelp();
    void ShowPortState();  // open button and lamps for the open or closed port
    // Enables or disables a button that the user works with the keyboard: disabled while it has
    // the focus, it keeps the focus waiting (no control has it) and gets it back when it is
    // enabled again, unless the focus went elsewhere meanwhile.
    void SetEnabledKeepingFocus(QWidget* pControl, bool bEnable);
    void UpdateControlStates();
    void StopAutoSend();
    // Auto send stopped by its button or by an empty send box: the other sends come back.
    void EndAutoSend();

    // Transmit operations (TerminalSend.cpp).
    bool SendNow();
    void OnManualSend();
    void OnAutoSend();
    void OnTimer();  // IDT_AUTOSEND
    void OnSendFile();
    void OnSendFormat();
    void EnableSendButtons(bool bEnable);
    void UpdateFileProgress();
    void EndFileSend();

    void OnClearCounters();
    void OnDTR();
    void OnRTS();
    void LampsFromStatus();
    void LampsOff();
    std::array<SLamp, 4> LampTable() const;
    void OnTxEmpty();
    void OnPortLost(std::uint64_t nSession);

    void DeliverPending();
    void ShowCountersSoon();
    void ShowCounters();

    // The framework's data exchange, made explicit.
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
    QPushButton* m_lampRING = nullptr;
    QPushButton* m_lampDSR = nullptr;
    QPushButton* m_lampCTS = nullptr;
    QPushButton* m_lampCD = nullptr;
    QPushButton* m_btnOpen = nullptr;
    CPortCombo* m_cbPort = nullptr;
    QComboBox* m_cbBaud = nullptr;
    QComboBox* m_cbParity = nullptr;
    QComboBox* m_cbStopBits = nullptr;
    QComboBox* m_cbDataBits = nullptr;
    QCheckBox* m_chkDTR = nullptr;
    QLineEdit* m_edRxCount = nullptr;
    QLineEdit* m_edTxCount = nullptr;
    QPushButton* m_btnManualSend = nullptr;
    QPushButton* m_btnSendFile = nullptr;
    QRadioButton* m_radText = nullptr;
    QRadioButton* m_radHex = nullptr;
    std::map<int, QWidget*> m_mapControls;

    std::uint32_t m_dwRxCount = 0;
    std::uint32_t m_dwTxCount = 0;
    int m_nSendFormat = -1;  // 0 text, 1 hexadecimal, -1 neither radio
    int m_bDTR = 0;
    int m_bRTS = 0;
    std::uint32_t m_dwPeriod = 100;  // milliseconds
    int m_bAutoSend = 0;
    QFont m_fontFixed;  // the two boxes' font
    CSerialLink m_link;
    int m_bPortOpen = 0;
    std::uint64_t m_nSession = 0;  // counts opens, so a late port-lost call finds a newer port

    QTimer m_timerAutoSend;  // IDT_AUTOSEND: one shot, armed after each transmission
    // Bytes were handed to the engine and its transmit-empty notice has not been handled yet.
    bool m_bTxPending = false;
    // A file send: its size, the bytes already counted in m_dwTxCount, whether reading the file
    // failed (set on the transmitter thread), its progress window.
    bool m_bFileSending = false;
    std::uint64_t m_nFileTotal = 0;
    std::uint64_t m_nFileCounted = 0;
    std::shared_ptr<std::atomic<bool>> m_pFileReadFailed;
    QProgressDialog* m_pFileProgress = nullptr;
    QTimer m_timerFileProgress;
    QTimer m_timerCounters;  // shows stale counters after a quiet spell
    QElapsedTimer m_clkCounters;
    bool m_bCountersStale = false;
    QWidget* m_pFocusWaiting = nullptr;  // see SetEnabledKeepingFocus
    bool m_bInitDone = false;
    bool m_bClosed = false;
};
