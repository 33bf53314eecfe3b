#pragma once
// The watcher thread: waits on the device and its wake event, reads everything that has arrived
// (up to kReadSize per read) and queues it, with SN_PORT_EVENT for every wake by the device.
// Status lines and the driver's error counters are sampled every kLinePollMs while the device
// has them (TIOCMIWAIT would need a thread that only a signal can stop); a device without them
// (a pseudo-terminal) is never sampled again, so an idle port costs no CPU.
// A lost device (hang-up, end of file, EIO, ENXIO or any other read error) gives one
// SN_PORT_LOST and ends the thread.
//
// Gathering. An owner that takes received bytes only every so often (SetGatherMs) gains nothing
// from a read per arrival: after a read that took all there was and less than kGatherBytes, the
// watcher lets the next arrivals gather in the driver until that time since the read, so that a
// paced stream costs one wake-up per owner's period, not one per arrival. The gathering is kept
// within what the line can bring in kGatherBytes at its rate and framing, half of the line
// discipline's 4 KiB receive buffer: it never fills that buffer (which would throttle a line with
// flow control) nor comes near the driver's buffers behind it (64 KiB, where bytes could be lost).
// A larger read means a backlog and is followed at once by the next, and so is any read while the
// stream brings kGatherBytes or more per gathering time (the last such span or the current one):
// a fast stream whose reads happen to come out small is never held up. A hang-up, Stop() and a
// due sample of the lines end a gathering early.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

#include "SerialTypes.h"
#include "TerminalDevice.h"
#include "WakeEvent.h"

class CNoticeQueue;

class CPortWatcher {
public:
    static constexpr std::size_t kReadSize = 64 * 1024;
    static constexpr int kLinePollMs = 40;
    static constexpr std::size_t kGatherBytes = 2048;

    CPortWatcher(ITerminalDevice& device, CNoticeQueue& notices);
    ~CPortWatcher();  // Stop()
    CPortWatcher(const CPortWatcher&) = delete;
    CPortWatcher& operator=(const CPortWatcher&) = delete;

    // How long the owner lets received bytes gather (0: every arrival is read at once); set before
    // Start(), which shortens it to what the line's rate allows.
    // Before Start() or, from the owner's thread, while it runs (kept within the line's limit).
    void SetGatherMs(int nMs) {
        m_nWantedGatherMs = nMs;
        m_nGatherMs = m_nLineGatherMs >= 0 ? std::min(nMs, m_nLineGatherMs) : nMs;
    }
    // The clock that stamps each read (the wall clock unless set; tests set a fake one); before
    // Start().
    void SetReadClock(std::function<ReadTime()> fnNow) { m_fnReadClock = std::move(fnNow); }

    // Takes the first sample of the lines, so changes from now on are reported, and starts the
    // thread; false when already started or the thread could not be made.
    bool Start();
    void Stop();  // returns once the thread has ended; at most one read's work away

private:
    using Clock = std::chrono::steady_clock;
    // Paced: the last read took all there was, less than kGatherBytes; the next may wait.
    enum class EReadResult { Open, Paced, Lost };

    void Run();
    int MsUntil(Clock::time_point t) const;
    void Gather(Clock::time_point tRead);
    // Appends the notices of line changes since the last sample (the first is taken by Start).
    void SampleLines(std::vector<unsigned>& arrCodes);
    EReadResult ReadArrived(bool bHungUp);
    // Counts a read's bytes towards the stream's rate; true while the stream is slow enough to
    // gather.
    bool CountSlow(std::size_t nRead, Clock::time_point tNow);

    ITerminalDevice& m_device;
    CNoticeQueue& m_notices;
    CWakeEvent m_wake;
    std::atomic<bool> m_bStop{false};
    std::thread m_thread;
    std::vector<std::uint8_t> m_buffer;
    // Last samples; a device that fails to answer is not asked again.
    std::uint32_t m_dwLines = 0;
    bool m_bHaveLines = false;
    LineErrorCounts m_errors;
    bool m_bHaveErrors = false;
    Clock::time_point m_tNextSample;
    std::atomic<int> m_nGatherMs{0};  // read by the thread, set by the owner
    int m_nWantedGatherMs = 0;
    int m_nLineGatherMs = -1;  // what the line brings in kGatherBytes; -1 before Start()
    std::function<ReadTime()> m_fnReadClock;
    // Bytes read in the last whole gathering time and in the one under way, which began then.
    std::size_t m_nLastSpanBytes = 0;
    std::size_t m_nSpanBytes = 0;
    Clock::time_point m_tSpanStart;
};
