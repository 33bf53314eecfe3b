#include "Transmitter.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "NoticeQueue.h"
#include "SerialTypes.h"

CTransmitter::CTransmitter(ITerminalDevice& device, CNoticeQueue& notices)
    : m_device(device), m_notices(notices) {}

CTransmitter::~CTransmitter() {
    Stop();
}

bool CTransmitter::Start() {
    if (m_thread.joinable() || !m_wake.IsValid()) {
        return false;
    }
    try {
        m_thread = std::thread(&CTransmitter::Run, this);
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void CTransmitter::Stop() {
    if (!m_thread.joinable()) {
        return;
    }
    bool bBusy = false;
    {
        std::lock_guard lock(m_mtx);
        m_bStop = true;
        m_jobs.clear();
        ++m_nEpoch;
        bBusy = m_bBusy;
    }
    m_cv.notify_one();
    // Only a transmission under way is thrown away: what else is still leaving the driver (a
    // block transfer's CAN CAN as the port closes) goes out.
    if (bBusy) {
        Interrupt();
    } else {
        m_wake.Signal();
    }
    m_thread.join();
}

void CTransmitter::QueueBytes(std::vector<std::uint8_t> bytes) {
    Queue(CJob{std::move(bytes), {}, -1, 0});
}

void CTransmitter::QueueStream(StreamReader fnRead, int nGapMs) {
    Queue(CJob{{}, std::move(fnRead), nGapMs, 0});
}

void CTransmitter::Queue(CJob&& job) {
    {
        std::lock_guard lock(m_mtx);
        if (!m_bBusy) {
            m_nDone = 0;  // a new transmission
            m_bBusy = true;
        }
        job.nEpoch = m_nEpoch;
        m_jobs.push_back(std::move(job));
    }
    m_cv.notify_one();
}

void CTransmitter::Cancel() {
    {
        std::lock_guard lock(m_mtx);
        if (!m_bBusy) {
            return;
        }
        // The thread passes over the queued jobs of the old epoch, so it also ends the
        // transmission (and raises SN_TX_EMPTY) when it has not picked up a job yet.
        ++m_nEpoch;
    }
    Interrupt();
}

void CTransmitter::Interrupt() {
    {
        std::lock_guard io(m_mtxIo);
        m_device.DiscardOutput();
    }
    m_wake.Signal();
}

void CTransmitter::Run() {
    for (;;) {
        CJob job;
        {
            std::unique_lock lock(m_mtx);
            m_cv.wait(lock, [this] { return m_bStop || !m_jobs.empty(); });
            if (m_bStop) {
                return;
            }
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        const ESend result = SendJob(job);
        const std::uint64_t nEpoch = job.nEpoch;
        job = CJob{};  // a stream's reader (an open file, say) is released before the wait
        {
            std::lock_guard lock(m_mtx);
            if (result == ESend::Failed) {
                m_jobs.clear();
            }
            if (!m_jobs.empty()) {
                continue;
            }
        }
        // All handed over: wait until it has left the driver, unless it was thrown away. A
        // Cancel() after this check discards the output, which ends the wait.
        if (result == ESend::Sent && nEpoch == m_nEpoch) {
            m_device.Drain();
        }
        {
            std::lock_guard lock(m_mtx);
            if (m_bStop) {
                return;
            }
            if (!m_jobs.empty()) {
                continue;  // more came while draining: the same transmission goes on
            }
            m_bBusy = false;
            m_nEndedAt = std::chrono::steady_clock::now().time_since_epoch().count();
        }
        if (m_notices.Wants(EV_TXEMPTY)) {
            m_notices.Push(SN_TX_EMPTY);
        }
    }
}

CTransmitter::ESend CTransmitter::SendJob(CJob& job) {
    if (!job.fnRead) {
        return SendAll(job.bytes.data(), job.bytes.size(), job.nEpoch);
    }
    std::vector<std::uint8_t> chunk(kStreamChunk);
    for (bool bFirst = true;; bFirst = false) {
        if (job.nEpoch != m_nEpoch) {
            return ESend::Cancelled;
        }
        const long n = job.fnRead(chunk.data(), chunk.size());
        if (n <= 0) {
            return ESend::Sent;  // the end of the source, or a read error, ends the stream
        }
        if (job.nGapMs >= 0 && !bFirst) {
            if (const ESend paused = Pause(job.nGapMs, job.nEpoch); paused != ESend::Sent) {
                return paused;
            }
        }
        const std::size_t nCount = std::min(static_cast<std::size_t>(n), chunk.size());
        const ESend result = SendAll(chunk.data(), nCount, job.nEpoch);
        if (result != ESend::Sent) {
            return result;
        }
    }
}

CTransmitter::ESend CTransmitter::Pause(int nGapMs, std::uint64_t nEpoch) {
    using Clock = std::chrono::steady_clock;
    // A Cancel() during the drain discards the output, which ends it; the epoch tells.
    if (!m_device.Drain() && nEpoch == m_nEpoch) {
        return ESend::Failed;
    }
    const Clock::time_point tEnd = Clock::now() + std::chrono::milliseconds(nGapMs);
    for (;;) {
        if (nEpoch != m_nEpoch) {
            return ESend::Cancelled;
        }
        const auto nLeft =
            std::chrono::ceil<std::chrono::milliseconds>(tEnd - Clock::now()).count();
        if (nLeft <= 0) {
            return ESend::Sent;
        }
        bool bWoken = false;
        const int nEvents = m_device.Wait(0, m_wake.Fd(), static_cast<int>(nLeft), bWoken);
        if (bWoken) {
            m_wake.Clear();
        }
        if (nEvents < 0 ? nEvents != -EINTR : (nEvents & (POLLHUP | POLLERR)) != 0) {
            return ESend::Failed;  // the device went away; the watcher reports it
        }
    }
}

CTransmitter::ESend CTransmitter::SendAll(const std::uint8_t* pBytes, std::size_t nCount,
                                          std::uint64_t nEpoch) {
    while (nCount > 0) {
        long n = 0;
        {
            std::lock_guard io(m_mtxIo);
            if (nEpoch != m_nEpoch) {
                return ESend::Cancelled;
            }
            n = m_device.Write(pBytes, nCount);
        }
        if (n > 0) {
            const auto nWritten = std::min(static_cast<std::size_t>(n), nCount);
            pBytes += nWritten;
            nCount -= nWritten;
            m_nDone += nWritten;
            continue;
        }
        if (n != 0 && n != -EAGAIN && n != -EINTR) {
            return ESend::Failed;
        }
        bool bWoken = false;
        const int nEvents = m_device.Wait(POLLOUT, m_wake.Fd(), -1, bWoken);
        if (bWoken) {
            m_wake.Clear();
        }
        if (nEvents < 0 && nEvents != -EINTR) {
            return ESend::Failed;
        }
    }
    return ESend::Sent;
}
