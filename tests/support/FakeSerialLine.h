#pragma once
// A scripted serial device for tests: it plays what a pseudo-terminal cannot (status-line
// changes, line errors, short writes, EAGAIN, a stalled output, I/O errors, unplugging) and lets
// the test see what the engine did (bytes written, DTR and RTS, settings, drains).
//
// CFakeSerialLine is the device and its far end; it outlives the engine's device objects.
// Factory() gives a CSerialLink::DeviceFactory whose devices all play this line, whatever path
// they are made for. Every member is safe to call from any thread.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "SerialLink.h"
#include "TerminalDevice.h"

class CFakeSerialLine : public std::enable_shared_from_this<CFakeSerialLine> {
public:
    CFakeSerialLine();
    ~CFakeSerialLine();
    CFakeSerialLine(const CFakeSerialLine&) = delete;
    CFakeSerialLine& operator=(const CFakeSerialLine&) = delete;

    CSerialLink::DeviceFactory Factory();

    // --- Script ---
    void SetOpenError(int nErrno);  // later Opens fail with it; 0: they succeed
    void Receive(const std::vector<std::uint8_t>& bytes);  // bytes arriving from the far end
    // The device goes away: Wait reports POLLHUP|POLLERR, Read returns nReadResult (0 or a
    // negative errno), every other call fails with EIO.
    void Unplug(long nReadResult = 0);
    void Replug();                      // present again (for the next Open)
    void SetHasStatusLines(bool bHas);  // false: GetStatusLines fails like a pseudo-terminal
    void SetStatusLines(std::uint32_t dwStatus);  // MS_* bits
    void AddLineErrors(const LineErrorCounts& more);
    void SetWriteLimit(std::size_t nMax);  // at most nMax bytes per write (0: no limit)
    void SetEagainEvery(unsigned nEvery);  // every nEvery-th write fails with EAGAIN (0: never)
    void SetWritable(bool bWritable);      // false: output stalls (flow control holds it)
    // Adjusts what the driver keeps of applied settings (e.g. force 8 data bits).
    void SetSettingsFilter(std::function<void(LineSettings&)> fnFilter);

    // --- Observation ---
    std::vector<std::uint8_t> Sent() const;  // everything written, in order
    std::size_t SentCount() const;
    bool InputWaiting() const;  // received bytes the engine has not read yet
    bool WaitForSent(std::size_t nCount, int nTimeoutMs) const;
    bool IsOpen() const;
    bool OutputLine(EOutputLine line) const;
    LineSettings Settings() const;
    unsigned DrainCount() const;
    unsigned DiscardCount() const;

private:
    friend class CFakeTerminalDevice;
    void UpdateReadiness();  // with m_mtx held

    mutable std::mutex m_mtx;
    mutable std::condition_variable m_cvSent;
    int m_nInputFd = -1;     // eventfd, readable while input waits
    int m_nWritableFd = -1;  // eventfd, readable while writes are accepted
    int m_nHangupFd = -1;    // eventfd, readable once the device is gone
    bool m_bInputSignalled = false;
    bool m_bWritableSignalled = false;
    bool m_bHangupSignalled = false;

    int m_nOpenError = 0;
    bool m_bOpen = false;
    std::vector<std::uint8_t> m_input;
    std::size_t m_nInputPos = 0;
    bool m_bUnplugged = false;
    long m_nUnpluggedRead = 0;
    bool m_bHasStatusLines = true;
    std::uint32_t m_dwStatus = 0;
    LineErrorCounts m_errors;
    std::size_t m_nWriteLimit = 0;
    unsigned m_nEagainEvery = 0;
    unsigned m_nWriteCalls = 0;
    bool m_bWritable = true;
    std::function<void(LineSettings&)> m_fnSettingsFilter;
    std::vector<std::uint8_t> m_sent;
    bool m_bDTR = false;
    bool m_bRTS = false;
    LineSettings m_settings;
    unsigned m_nDrains = 0;
    unsigned m_nDiscards = 0;
};
