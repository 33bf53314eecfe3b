#include "TransferControl.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <chrono>
#include <thread>

#include "LineTransfer.h"
#include "SerialLink.h"
#include "TransferDialog.h"
#include "TransferSink.h"
#include "TransferText.h"
#include "XmodemReceiver.h"
#include "XmodemSender.h"

namespace {

constexpr int kPollMs = 100;
// Abort: the machine ends within moments of a cancel (a sender sends CAN CAN twice, 100 ms apart).
constexpr auto kAbortLimit = std::chrono::seconds(3);
constexpr auto kAbortPoll = std::chrono::milliseconds(5);

constexpr const char* kXmodemReceiveNote =
    "XMODEM 不传送文件的大小：最后一块末尾的填充字节（0x1A）将被去掉。";

std::string LocalPath(const QString& strPath) {
    return QFile::encodeName(strPath).toStdString();
}

}  // namespace

CTransferControl::CTransferControl(CSerialLink& link, QWidget* pWindow)
    : QObject(pWindow), m_link(link), m_pWindow(pWindow) {
    m_timerPoll.setInterval(kPollMs);
    connect(&m_timerPoll, &QTimer::timeout, this, &CTransferControl::OnPoll);
}

CTransferControl::~CTransferControl() = default;

CTransferDlg* CTransferControl::Dialog() const {
    return m_pDlg;
}

bool CTransferControl::Start(const STransferJob& job) {
    if (m_bRunning) {
        return false;
    }
    std::unique_ptr<CTransferMachine> pMachine;
    std::unique_ptr<CFileSink> pSink;
    if (job.bSend) {
        pMachine = std::make_unique<CXmodemSender>(
            job.eProtocol, std::vector<std::string>{LocalPath(job.strPath)}, m_timeouts);
    } else {
        const bool bFolder = job.eProtocol == ETransferProtocol::Ymodem;
        // XMODEM: the save dialog has asked about an existing file. YMODEM: the engine's thread
        // cannot wait for an answer, so an existing file is kept and the new one saved beside it.
        pSink = std::make_unique<CFileSink>(LocalPath(job.strPath), bFolder,
                                            [bFolder](const std::string&) { return !bFolder; });
        pMachine = std::make_unique<CXmodemReceiver>(job.eProtocol, *pSink, m_timeouts);
    }
    if (!m_link.StartTransfer(std::move(pMachine))) {
        return false;  // the machine, unstarted, went with the refusal; the sink goes now
    }
    m_job = job;
    m_pSink = std::move(pSink);
    m_bRunning = true;
    m_nRxCounted = m_nTxCounted = 0;
    m_clkElapsed.start();
    const bool bXmodemReceive = !job.bSend && job.eProtocol != ETransferProtocol::Ymodem;
    m_pDlg = new CTransferDlg(TransferTitle(job.eProtocol, job.bSend),
                              bXmodemReceive ? QString::fromUtf8(kXmodemReceiveNote) : QString(),
                              m_pWindow);
    connect(m_pDlg, &CTransferDlg::CancelRequested, this, &CTransferControl::Cancel);
    m_pDlg->show();
    m_timerPoll.start();
    OnPoll();
    return true;
}

void CTransferControl::Cancel() {
    if (!m_bRunning) {
        return;
    }
    m_link.CancelTransfer();
    if (m_pDlg) {
        m_pDlg->ShowCancelling();
    }
}

void CTransferControl::Abort() {
    if (!m_bRunning) {
        return;
    }
    m_link.CancelTransfer();
    // The thread ends within moments of the cancel; EndTransfer would wait for it anyway, but the
    // line wants its final figures.
    const auto tEnd = std::chrono::steady_clock::now() + kAbortLimit;
    STransferStatus status = m_link.TransferStatus();
    while (m_link.IsTransferring() && !status.bFinished &&
           std::chrono::steady_clock::now() < tEnd) {
        std::this_thread::sleep_for(kAbortPoll);
        status = m_link.TransferStatus();
    }
    Finish(status);
}

void CTransferControl::OnPoll() {
    const STransferStatus status = m_link.TransferStatus();
    Count(status);
    if (status.bFinished) {
        Finish(status);
        return;
    }
    if (m_pDlg) {
        STransferView view{status.progress, m_job.bSend ? status.nTxBytes : status.nRxBytes,
                           m_clkElapsed.elapsed(),
                           status.progress.nBlocks > 0 || status.progress.nBytes > 0};
        if (view.progress.strFile.empty() && m_job.eProtocol != ETransferProtocol::Ymodem) {
            // An XMODEM receive names no file on the line: it is the one the user picked.
            view.progress.strFile = QFileInfo(m_job.strPath).fileName().toStdString();
        }
        m_pDlg->Show(view);
    }
}

void CTransferControl::Count(const STransferStatus& status) {
    const std::uint64_t nRx = status.nRxBytes - std::min(status.nRxBytes, m_nRxCounted);
    const std::uint64_t nTx = status.nTxBytes - std::min(status.nTxBytes, m_nTxCounted);
    m_nRxCounted = std::max(m_nRxCounted, status.nRxBytes);
    m_nTxCounted = std::max(m_nTxCounted, status.nTxBytes);
    if (nRx > 0 || nTx > 0) {
        emit Counted(nRx, nTx);
    }
}

void CTransferControl::Finish(const STransferStatus& status) {
    m_timerPoll.stop();
    Count(status);
    if (m_link.IsTransferring()) {
        m_link.EndTransfer();  // the machine goes: the sink it wrote to may go after it
    }
    const QString strLine = Summary(status);
    m_pSink.reset();
    m_bRunning = false;
    if (m_pDlg) {
        // Not close(): a dialog's close goes through reject(), which here asks for a cancel.
        m_pDlg->hide();
        m_pDlg->deleteLater();
        m_pDlg = nullptr;
    }
    emit Finished(strLine);
}

QString CTransferControl::Summary(const STransferStatus& status) const {
    STransferOutcome outcome;
    outcome.strTitle = TransferTitle(m_job.eProtocol, m_job.bSend);
    outcome.eState = status.bFinished ? status.eState : ETransferState::Cancelled;
    outcome.nRetries = status.progress.nRetries;
    outcome.strMessage = QString::fromStdString(status.strMessage);
    outcome.nBytes = status.progress.nBytes;
    if (m_job.eProtocol != ETransferProtocol::Ymodem || m_job.bSend) {
        outcome.strNames = QFileInfo(m_job.strPath).fileName();
    } else if (outcome.eState == ETransferState::Done && m_pSink) {
        // A batch: every file as it was saved (a name may have been cleaned or made free).
        QStringList arrNames;
        outcome.nBytes = 0;
        for (const std::string& strPath : m_pSink->Received()) {
            const QFileInfo info(QFile::decodeName(QByteArray::fromStdString(strPath)));
            arrNames.push_back(info.fileName());
            outcome.nBytes += static_cast<std::uint64_t>(info.size());
        }
        outcome.strNames = arrNames.join(QStringLiteral("、"));
    } else {
        outcome.strNames = QString::fromStdString(status.progress.strFile);
    }
    if (outcome.eState == ETransferState::Done && !m_job.bSend && m_pSink &&
        m_job.eProtocol != ETransferProtocol::Ymodem) {
        // Without its padding the file may be shorter than the blocks received.
        outcome.nBytes = static_cast<std::uint64_t>(QFileInfo(m_job.strPath).size());
    }
    return SummaryLine(outcome);
}
