#pragma once
// The transmitter thread: writes what it is handed, in order, through partial writes and
// EAGAIN, then waits until the driver has sent it (Drain) and queues SN_TX_EMPTY. Jobs are
// copies of the caller's bytes or a stream that is read in kStreamChunk pieces, so memory stays
// bounded for sources of any length. A paced stream sends each piece its reader gives on its own:
// before the next piece it waits until the last has left the driver, then the gap (a file sent
// line by line, the period between lines); Cancel() and Stop() end the gap at once.
//
// Cancel() abandons the queued jobs and the current one before its next write; the
// driver's output queue is discarded, which also ends a Drain() that flow control holds up.
// SN_TX_EMPTY follows once the transmitter is idle. A write error (the device went away) ends
// the transmission the same way; the watcher reports the loss.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "TerminalDevice.h"
#include "WakeEvent.h"

class CNoticeQueue;

class CTransmitter {
public:
    static constexpr std::size_t kStreamChunk = 64 * 1024;
    using StreamReader = std::function<long(std::uint8_t* pBuf, std::size_t nCap)>;

    CTransmitter(ITerminalDevice& device, CNoticeQueue& notices);
    ~CTransmitter();  // Stop()
    CTransmitter(const CTransmitter&) = delete;
    CTransmitter& operator=(const CTransmitter&) = delete;

    bool Start();  // false when the thread could not be made
    // Cancels (discarding the output only while a transmission is under way), returns once the
    // thread has ended; no SN_TX_EMPTY.
    void Stop();

    void QueueBytes(std::vector<std::uint8_t> bytes);
    // nGapMs < 0: the pieces go out back to back; otherwise paced, nGapMs between pieces.
    void QueueStream(StreamReader fnRead, int nGapMs = -1);
    void Cancel();  // no effect when idle

    std::uint64_t Done() const { return m_nDone; }  // bytes written in this transmission
    bool IsBusy() const { return m_bBusy; }
    // When the last transmission ended (its SN_TX_EMPTY was queued then).
    std::chrono::steady_clock::time_point EndedAt() const {
        return std::chrono::steady_clock::time_point(
            std::chrono::steady_clock::duration(m_nEndedAt.load()));
    }

private:
    enum class ESend { Sent, Cancelled, Failed };
    struct CJob {
        std::vector<std::uint8_t> bytes;
        StreamReader fnRead;  // set for a stream
        int nGapMs = -1;      // a paced stream's gap
        std::uint64_t nEpoch = 0;
    };

    void Queue(CJob&& job);
    void Run();
    ESend SendJob(CJob& job);
    ESend SendAll(const std::uint8_t* pBytes, std::size_t nCount, std::uint64_t nEpoch);
    // The gap of a paced stream, after the last piece has left the driver.
    ESend Pause(int nGapMs, std::uint64_t nEpoch);
    void Interrupt();  // after the epoch moved: discard the driver's output, wake the thread

    ITerminalDevice& m_device;
    CNoticeQueue& m_notices;
    CWakeEvent m_wake;

    std::mutex m_mtx;
    std::condition_variable m_cv;
    std::deque<CJob> m_jobs;
    bool m_bStop = false;
    // Moves on Cancel() and Stop(): jobs of an older epoch are abandoned.
    std::atomic<std::uint64_t> m_nEpoch{0};
    // Held across the epoch check and the write, and by Interrupt() around the discard, so no
    // byte of a cancelled job is written after the discard.
    std::mutex m_mtxIo;
    std::atomic<bool> m_bBusy{false};
    std::atomic<std::uint64_t> m_nDone{0};
    std::atomic<std::chrono::steady_clock::rep> m_nEndedAt{0};
    std::thread m_thread;
};
