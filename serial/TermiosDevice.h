#pragma once
// ITerminalDevice over a real tty: termios for the settings, the tty ioctls for the lines and
// the error counters. Open takes the device for exclusive use (flock, which every cooperating
// program honours, and TIOCEXCL, which stops other non-root programs) and keeps the original
// settings, which Close puts back.
#include <termios.h>

#include <string>

#include "TerminalDevice.h"

class CTermiosDevice final : public ITerminalDevice {
public:
    explicit CTermiosDevice(std::string strPath);
    ~CTermiosDevice() override;
    CTermiosDevice(const CTermiosDevice&) = delete;
    CTermiosDevice& operator=(const CTermiosDevice&) = delete;

    int Open() override;  // EBUSY also when another program holds the flock
    void Close() override;

    int Wait(short nEvents, int nWakeFd, int nTimeoutMs, bool& bWoken) override;
    long Read(std::uint8_t* pBuf, std::size_t nCap) override;
    long Write(const std::uint8_t* pBytes, std::size_t nCount) override;
    bool Drain() override;
    void DiscardOutput() override;

    bool ApplySettings(const LineSettings& settings) override;
    bool GetSettings(LineSettings& settings) override;

    bool GetStatusLines(std::uint32_t& dwStatus) override;
    bool SetOutputLine(EOutputLine line, bool bOn) override;
    bool GetErrorCounts(LineErrorCounts& counts) override;

private:
    std::string m_strPath;
    int m_nFd = -1;
    termios m_tioOriginal{};
    bool m_bHaveOriginal = false;
};
