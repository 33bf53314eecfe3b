#pragma once
// CSendState: the sending side of the terminal window, without its widgets. It runs the manual
// send, the automatic send (send, wait for the transmission to leave the driver, wait the period,
// send again), the file send with its progress and cancel, and knows whether a transmission is
// still pending. The window wires its buttons to it and shows what it asks for through
// ISendHost; the engine's transmit-empty notice reaches it through OnTxEmpty(). The auto-send
// period counts from the moment the engine saw the transmission end (GetTxEndTime), so that
// however long the notice took to reach the window, the gap on the line is the period.
//
// Bytes are handed to the engine, which copies them and returns at once; a file is streamed from
// disk on the engine's transmitter thread, so memory stays bounded whatever its size.
#include <QObject>
#include <QString>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// The modal messages of sending.
enum class ESendMessage { NothingToSend, PeriodZero, FileOpenFailed, FileReadFailed };

// What the send controls show.
struct SSendControls {
    bool bManual = false;       // manual-send button enabled
    bool bFile = false;         // send-file button enabled
    bool bAuto = false;         // auto-send button enabled
    bool bStopCaption = false;  // the auto-send button offers to stop
    bool bPeriod = true;        // period field enabled
    bool operator==(const SSendControls&) const = default;
};

// The window's side.
class ISendHost {
public:
    virtual ~ISendHost() = default;
    virtual std::vector<std::uint8_t> BytesToSend() = 0;  // the send box's bytes, in its mode
    virtual void ShowSendControls(const SSendControls& controls) = 0;
    virtual void ShowSendMessage(ESendMessage eMessage) = 0;  // modal
    // dwBytes more were sent; bShowNow: show the counter at once rather than soon.
    virtual void CountSent(std::uint32_t dwBytes, bool bShowNow) = 0;
    virtual void ShowFileProgress(std::uint64_t nDone, std::uint64_t nTotal) = 0;
    virtual void HideFileProgress() = 0;
};

// The engine's side (CSerialLink's operations of the same names).
class ISendLink {
public:
    using StreamReader = std::function<long(std::uint8_t* pBuf, std::size_t nCap)>;
    virtual ~ISendLink() = default;
    virtual bool Write(const std::uint8_t* pBytes, std::size_t nCount) = 0;
    // nGapMs >= 0: each piece of fnRead on its own, nGapMs after the last has left the driver.
    virtual bool WriteStream(StreamReader fnRead, int nGapMs) = 0;
    virtual void CancelWrite() = 0;
    virtual std::uint64_t GetTxDone() const = 0;
    virtual std::chrono::steady_clock::time_point GetTxEndTime() const = 0;
};

class CSendState : public QObject {
    Q_OBJECT
public:
    CSendState(ISendHost& host, ISendLink& link);

    SSendControls Controls() const;
    bool IsAutoSending() const { return m_bAutoSend; }
    bool IsTxPending() const { return m_bTxPending; }

    void ManualSend();
    // Starts auto send with the period in milliseconds, or stops it when it runs.
    void ToggleAutoSend(std::uint32_t dwPeriodMs);
    // nLineGapMs >= 0: line by line, each line (up to and including its LF) nLineGapMs after the
    // last has gone out; a line longer than the engine's piece (64 KiB) goes out in pieces.
    void SendFile(const QString& strPath, int nLineGapMs = -1);
    void CancelFile();
    // Everything handed over has left the driver.
    void OnTxEmpty();
    // Before the port closes: auto send stops, a file send ends with its bytes counted.
    void EndSends();
    // The port opened or closed; a closed port has no transmission pending.
    void SetPortOpen(bool bOpen);

private:
    bool SendNow(bool bShowCountNow = true);
    void OnTimer();
    void EndAutoSend();
    void UpdateFileProgress();
    void EndFileSend();
    void Show();

    ISendHost& m_host;
    ISendLink& m_link;
    bool m_bPortOpen = false;
    bool m_bAutoSend = false;
    std::uint32_t m_dwPeriod = 0;
    QTimer m_timerAutoSend;  // one shot, armed after each transmission
    // Bytes were handed to the engine and its transmit-empty notice has not come yet.
    bool m_bTxPending = false;
    bool m_bTxFromAuto = false;  // the pending transmission is an auto send's
    // A file send: its size, the bytes already counted, whether reading the file failed (set on
    // the transmitter thread).
    bool m_bFileSending = false;
    std::uint64_t m_nFileTotal = 0;
    std::uint64_t m_nFileCounted = 0;
    std::shared_ptr<std::atomic<bool>> m_pFileReadFailed;
    QTimer m_timerFileProgress;
};
