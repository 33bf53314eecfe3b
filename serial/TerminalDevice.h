#pragma once
// The seam between the serial engine and the operating system: one open terminal device.
// CTermiosDevice drives a real tty through termios and the tty ioctls; the tests play a scripted
// device instead (tests/support/FakeSerialLine.h, target dive_serial_fake). Every call may come
// from any of the engine's threads (watcher, transmitter, owner); implementations keep themselves
// consistent. No call throws; failures come back as false or as a negative errno value.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "SerialTypes.h"

// Line settings in the engine's own terms, as requested or as the driver reports them.
struct LineSettings {
    std::uint32_t dwBaudRate = 9600;
    int nDataBits = 8;  // 5..8
    EParity eParity = EParity::None;
    EStopBits eStopBits = EStopBits::One;
    EFlowControl eFlow = EFlowControl::None;  // None, CtsRts or XonXoff (what a Linux driver does)
};

// The driver's cumulative error counters (TIOCGICOUNT); a change in any means a line error.
struct LineErrorCounts {
    std::uint32_t dwFrame = 0;
    std::uint32_t dwParity = 0;
    std::uint32_t dwOverrun = 0;
    std::uint32_t dwBufferOverrun = 0;
    std::uint32_t dwBreak = 0;
};

// Output lines that SetOutputLine() drives.
enum class EOutputLine { DTR, RTS };

class ITerminalDevice {
public:
    virtual ~ITerminalDevice() = default;

    // Opens the device for exclusive use, non-blocking. Returns 0, or the errno that explains
    // the failure: ENOENT (no such device), EBUSY (another program holds it), others as they come.
    // After a failure the device is closed and may be opened again.
    virtual int Open() = 0;
    // Releases the device and its exclusive hold; safe when not open.
    virtual void Close() = 0;

    // Waits until the device is ready for nEvents (POLLIN and/or POLLOUT; 0 waits for a hang-up
    // only), nWakeFd is readable, or nTimeoutMs passed (-1: no limit). Returns the device's
    // poll events (POLLIN, POLLOUT, POLLHUP, POLLERR; 0 on time-out or wake) and sets bWoken when
    // nWakeFd is readable (the caller empties it). Negative errno when waiting itself failed.
    virtual int Wait(short nEvents, int nWakeFd, int nTimeoutMs, bool& bWoken) = 0;
    // Non-blocking transfer: the count moved (> 0), 0 for end of file (Read: device gone),
    // or a negative errno (-EAGAIN: try after Wait).
    virtual long Read(std::uint8_t* pBuf, std::size_t nCap) = 0;
    virtual long Write(const std::uint8_t* pBytes, std::size_t nCount) = 0;
    // Blocks until written bytes have left the driver; DiscardOutput() from another thread ends
    // the wait. False on failure.
    virtual bool Drain() = 0;
    // Drops bytes written but not yet sent.
    virtual void DiscardOutput() = 0;

    // Applies the settings as far as the driver allows; GetSettings() tells what it kept.
    // Fields outside their ranges are left as the driver has them. False when nothing could be
    // applied.
    virtual bool ApplySettings(const LineSettings& settings) = 0;
    virtual bool GetSettings(LineSettings& settings) = 0;

    // MS_* bits of the status lines; false when the device has none (a pseudo-terminal).
    virtual bool GetStatusLines(std::uint32_t& dwStatus) = 0;
    virtual bool SetOutputLine(EOutputLine line, bool bOn) = 0;
    // False when the driver keeps no counters.
    virtual bool GetErrorCounts(LineErrorCounts& counts) = 0;
    // Lines about how the device treats the settings as a whole, for the same place as the
    // settings it did not take (a port that passes bytes only says so). None by default.
    virtual std::vector<std::string> Notes() const { return {}; }
};
