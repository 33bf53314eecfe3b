#pragma once
// The watcher thread: waits on the device and its wake event, reads everything that has arrived
// (up to kReadSize per read) and queues it, with SN_PORT_EVENT for every wake by the device.
// Status lines and the driver's error counters are sampled every kLinePollMs while the device
// has them (TIOCMIWAIT would need a thread that only a signal can stop); a device without them
// (a pseudo-terminal) is never sampled again, so an idle port costs no CPU.
// A lost device (hang-up, end of file, EIO, ENXIO or any other read error) gives one
// SN_PORT_LOST and ends the thread.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <thread>
#include <vector>

#include "TerminalDevice.h"
#include "WakeEvent.h"

class CNoticeQueue;

class CPortWatcher {
public:
    static constexpr std::size_t kReadSize = 64 * 1024;
    static constexpr int kLinePollMs = 40;

    CPortWatcher(ITerminalDevice& device, CNoticeQueue& notices);
    ~CPortWatcher();  // Stop()
    CPortWatcher(const CPortWatcher&) = delete;
    CPortWatcher& operator=(const CPortWatcher&) = delete;

    // Takes the first sample of the lines, so changes from now on are reported, and starts the
    // thread; false when already started or the thread could not be made.
    bool Start();
    void Stop();  // returns once the thread has ended; at most one read's work away

private:
    enum class EReadResult { Open, Lost };

    void Run();
    // Appends the notices of line changes since the last sample (the first is taken by Start).
    void SampleLines(std::vector<unsigned>& arrCodes);
    EReadResult ReadArrived(bool bHungUp);

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
};
