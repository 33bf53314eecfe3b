#pragma once
// CLoopbackDevice: a pseudo-terminal that behaves like a device wired back to itself. Whatever a
// program writes to its device path comes back to it; on request it also sends test data at a
// fixed rate, text lines or all byte values in turn. It lets a user without hardware open a port
// and watch data flow.
//
// The far end is the pseudo-terminal's master. The device (slave) side is not kept open here, so
// that the program that opens it is its only user: no other holder shows up in its port map, and
// its exclusive open is not disturbed. While nobody has the device open nothing is sent.
#include <atomic>
#include <csignal>
#include <cstdint>
#include <string>
#include <vector>

class CLoopbackDevice {
public:
    enum class EStream { None, Text, Binary };

    CLoopbackDevice() = default;
    ~CLoopbackDevice();
    CLoopbackDevice(const CLoopbackDevice&) = delete;
    CLoopbackDevice& operator=(const CLoopbackDevice&) = delete;

    // Makes the pseudo-terminal (raw, 8 bits); false with errno set on failure.
    bool Create();
    // The device path a serial program opens, e.g. "/dev/pts/3".
    const std::string& DevicePath() const { return m_strPath; }
    // Test data besides the echo: dwRate bytes per second (at least 1).
    void SetStream(EStream stream, std::uint32_t dwRate);

    // Echoes and streams until bStop turns non-zero (a signal handler may set it: a signal that
    // interrupts the wait is noticed at once). False on an unexpected error, with errno set.
    bool Run(const volatile std::sig_atomic_t& bStop);

    // The nBytes of test data that follow nOffset bytes already sent.
    static std::vector<std::uint8_t> StreamData(EStream stream, std::uint64_t nOffset,
                                                std::size_t nBytes);

private:
    bool Echo();  // reads what arrived and queues it back; false on a hard error
    bool Flush();
    void QueueStream(std::uint64_t nNowNs);

    int m_nMaster = -1;
    std::string m_strPath;
    EStream m_stream = EStream::None;
    std::uint32_t m_dwRate = 0;
    std::uint64_t m_nStreamSent = 0;  // test data bytes queued so far
    std::uint64_t m_nStreamStartNs = 0;
    std::vector<std::uint8_t> m_arrPending;  // bytes to send back, in order
};
