#include "SendState.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <cstdio>

namespace {

constexpr int kFileProgressMs = 100;

// Opens a file to send. Only regular files are sent: opening a pipe waits for a writer, and a
// read from a pipe or a terminal may never return, which would hold up closing the port.
std::shared_ptr<std::FILE> OpenFileToSend(const QString& strPath, struct stat& info) {
    const int fd = open(QFile::encodeName(strPath).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    std::FILE* pFile = nullptr;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        pFile = fdopen(fd, "rb");
    }
    if (pFile == nullptr) {
        close(fd);
        return {};
    }
    return {pFile, [](std::FILE* p) { std::fclose(p); }};
}

// Up to nCap bytes, ending after the first LF: one line of a file sent line by line.
std::size_t ReadLine(std::FILE* pFile, std::uint8_t* pBuf, std::size_t nCap) {
    std::size_t n = 0;
    int c = 0;
    while (n < nCap && (c = std::getc(pFile)) != EOF) {
        pBuf[n++] = static_cast<std::uint8_t>(c);
        if (c == '\n') {
            break;
        }
    }
    return n;
}

}  // namespace

CSendState::CSendState(ISendHost& host, ISendLink& link) : m_host(host), m_link(link) {
    m_timerAutoSend.setSingleShot(true);
    // The period is the gap after each transmission, to the millisecond.
    m_timerAutoSend.setTimerType(Qt::PreciseTimer);
    connect(&m_timerAutoSend, &QTimer::timeout, this, &CSendState::OnTimer);
    connect(&m_timerFileProgress, &QTimer::timeout, this, &CSendState::UpdateFileProgress);
}

SSendControls CSendState::Controls() const {
    // A send started on top of a pending transmission would be counted with it and ended by it:
    // the sends wait for it. Auto send keeps its button while it runs, so that the user can stop
    // it, and once stopped, so that it can start again at once; its next send follows the
    // pending one.
    const bool bIdle = m_bPortOpen && !m_bTxPending && !m_bAutoSend;
    const bool bAuto = m_bPortOpen && (m_bAutoSend || !m_bTxPending || m_bTxFromAuto);
    return {bIdle, bIdle, bAuto, m_bAutoSend, !m_bAutoSend};
}

void CSendState::Show() {
    m_host.ShowSendControls(Controls());
}

bool CSendState::SendNow(bool bShowCountNow) {
    const std::vector<std::uint8_t> bytes = m_host.BytesToSend();
    if (bytes.empty()) {
        m_host.ShowSendMessage(ESendMessage::NothingToSend);
        return false;
    }
    // The engine takes a copy and returns at once; a refusal (no port) would never be followed
    // by the transmit-empty notice, so it counts as nothing sent.
    if (!m_link.Write(bytes.data(), bytes.size())) {
        return false;
    }
    m_bTxPending = true;
    m_host.CountSent(static_cast<std::uint32_t>(bytes.size()), bShowCountNow);
    return true;
}

void CSendState::ManualSend() {
    if (SendNow()) {
        m_bTxFromAuto = false;
        Show();
    }
}

void CSendState::ToggleAutoSend(std::uint32_t dwPeriodMs) {
    m_dwPeriod = dwPeriodMs;
    if (m_dwPeriod == 0) {
        m_host.ShowSendMessage(ESendMessage::PeriodZero);
        return;
    }
    if (!m_bPortOpen) {
        return;
    }
    if (m_bAutoSend) {
        EndAutoSend();
    } else if (SendNow()) {
        m_bAutoSend = true;
        m_bTxFromAuto = true;
        Show();
    }
}

void CSendState::EndAutoSend() {
    m_bAutoSend = false;
    m_timerAutoSend.stop();
    Show();
}

void CSendState::OnTimer() {
    // The period has passed after the last transmission: send again. The empty-box message may
    // have run while the port was lost; the controls then show the closed port.
    // The counter of a rapid auto send is shown at the counters' pace, not at every send.
    if (m_bAutoSend && !SendNow(false)) {
        EndAutoSend();
    }
}

void CSendState::OnTxEmpty() {
    m_bTxPending = false;
    const bool bReadFailed = m_bFileSending && m_pFileReadFailed->load();
    EndFileSend();
    if (m_bAutoSend) {
        // What is left of the period since the transmission ended, rounded up to whole
        // milliseconds: the gap is never shorter than the period.
        using namespace std::chrono;
        const auto nPast = steady_clock::now() - m_link.GetTxEndTime();
        const auto nLeft = ceil<milliseconds>(milliseconds(m_dwPeriod) - nPast);
        m_timerAutoSend.start(std::max(nLeft, milliseconds(0)));
    }
    Show();
    // A file that fails midway would otherwise look sent: say so, once the window is idle again.
    // The box waits until the notices of this delivery are handed on: its event loop would
    // otherwise deliver later notices before the rest of them.
    if (bReadFailed) {
        QMetaObject::invokeMethod(
            this, [this] { m_host.ShowSendMessage(ESendMessage::FileReadFailed); },
            Qt::QueuedConnection);
    }
}

void CSendState::SendFile(const QString& strPath, int nLineGapMs) {
    struct stat info {};
    std::shared_ptr<std::FILE> pFile = OpenFileToSend(strPath, info);
    if (!pFile) {
        m_host.ShowSendMessage(ESendMessage::FileOpenFailed);
        return;
    }
    // An empty file has nothing to send and no transmission to wait for.
    if (info.st_size == 0) {
        return;
    }
    // The reader owns the file and closes it when the send ends. A read error ends the
    // transmission; the flag tells the transmit completion to report it.
    auto pReadFailed = std::make_shared<std::atomic<bool>>(false);
    const bool bByLine = nLineGapMs >= 0;
    const bool bQueued = m_link.WriteStream(
        [pFile, pReadFailed, bByLine](std::uint8_t* pBuf, std::size_t nCap) -> long {
            const std::size_t nRead = bByLine ? ReadLine(pFile.get(), pBuf, nCap)
                                              : std::fread(pBuf, 1, nCap, pFile.get());
            if (nRead == 0 && std::ferror(pFile.get())) {
                pReadFailed->store(true);
                return -1;
            }
            return static_cast<long>(nRead);
        },
        nLineGapMs);
    if (!bQueued) {
        return;
    }
    m_pFileReadFailed = std::move(pReadFailed);
    m_bTxPending = true;
    m_bTxFromAuto = false;
    m_bFileSending = true;
    m_nFileTotal = static_cast<std::uint64_t>(info.st_size);
    m_nFileCounted = 0;
    Show();
    UpdateFileProgress();
    m_timerFileProgress.start(kFileProgressMs);
}

void CSendState::CancelFile() {
    if (m_bFileSending) {
        m_link.CancelWrite();
    }
}

void CSendState::UpdateFileProgress() {
    if (!m_bFileSending) {
        return;
    }
    // The TX counter counts what has been written, as it is written.
    const std::uint64_t nDone = m_link.GetTxDone();
    if (nDone > m_nFileCounted) {
        m_host.CountSent(static_cast<std::uint32_t>(nDone - m_nFileCounted), false);
        m_nFileCounted = nDone;
    }
    m_host.ShowFileProgress(m_nFileCounted, m_nFileTotal);
}

void CSendState::EndFileSend() {
    if (!m_bFileSending) {
        return;
    }
    UpdateFileProgress();
    m_bFileSending = false;
    m_timerFileProgress.stop();
    m_host.HideFileProgress();
    m_host.CountSent(0, true);
}

void CSendState::EndSends() {
    m_bAutoSend = false;
    m_timerAutoSend.stop();
    EndFileSend();
}

void CSendState::SetPortOpen(bool bOpen) {
    m_bPortOpen = bOpen;
    m_bTxPending = false;
    Show();
}
