#pragma once
// CTransferControl: the window's side of a block file transfer (XMODEM, XMODEM-1K, YMODEM, either
// way). It builds the engine's machine (a sender, or a receiver with the file sink it writes to),
// hands it the line (CSerialLink::StartTransfer), shows the progress dialog (CTransferDlg) and
// polls the engine every 100 ms: the bytes moved go to the window's counters as they grow, and
// once the transfer has ended the line goes back to the watcher (EndTransfer), the dialog closes
// and one line says what happened (Finished).
//
// The engine's thread never waits for the window: a YMODEM file whose name exists already is not
// asked about but saved beside it under a free name ("name (1).ext"), and the line says so.
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <memory>

#include "Transfer.h"

class CFileSink;
class CSerialLink;
class CTransferDlg;
class QWidget;
struct STransferStatus;

struct STransferJob {
    ETransferProtocol eProtocol = ETransferProtocol::Xmodem;
    bool bSend = true;
    // The file to send, the file to receive into (XMODEM) or the folder to receive into (YMODEM).
    QString strPath;
};

class CTransferControl : public QObject {
    Q_OBJECT
public:
    CTransferControl(CSerialLink& link, QWidget* pWindow);
    // The owner aborts a running transfer (or closes the engine) before the engine goes.
    ~CTransferControl() override;

    // The machines' timeouts (tests shorten them).
    void SetTimeouts(const STransferTimeouts& timeouts) { m_timeouts = timeouts; }
    bool IsRunning() const { return m_bRunning; }
    // False when the engine did not take the line (the port is closed or still sending).
    bool Start(const STransferJob& job);
    // CAN CAN to the far end; the transfer ends soon after, through Finished.
    void Cancel();
    // The port is about to close: cancels, waits for the transfer's thread to end and finishes
    // at once (Finished is emitted before this returns).
    void Abort();
    // The progress dialog while a transfer runs, else nullptr.
    CTransferDlg* Dialog() const;

signals:
    // Bytes the transfer moved on the line since the last report.
    void Counted(std::uint64_t nRx, std::uint64_t nTx);
    // The transfer has ended and the line is the watcher's again; strLine says what happened.
    void Finished(const QString& strLine);

private:
    void OnPoll();
    void Count(const STransferStatus& status);
    void Finish(const STransferStatus& status);
    QString Summary(const STransferStatus& status) const;

    CSerialLink& m_link;
    QWidget* m_pWindow;
    STransferTimeouts m_timeouts;
    STransferJob m_job;
    std::unique_ptr<CFileSink> m_pSink;  // a receive's; outlives its machine (EndTransfer)
    QPointer<CTransferDlg> m_pDlg;
    QTimer m_timerPoll;
    QElapsedTimer m_clkElapsed;
    std::uint64_t m_nRxCounted = 0;
    std::uint64_t m_nTxCounted = 0;
    bool m_bRunning = false;
};
