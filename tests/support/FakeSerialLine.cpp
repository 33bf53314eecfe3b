#include "FakeSerialLine.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace {
// Makes the eventfd readable or not, as bWanted says.
void SetLevel(int nFd, bool& bSignalled, bool bWanted) {
    std::uint64_t nValue = 1;
    if (bWanted && !bSignalled) {
        [[maybe_unused]] ssize_t n = write(nFd, &nValue, sizeof nValue);
    } else if (!bWanted && bSignalled) {
        [[maybe_unused]] ssize_t n = read(nFd, &nValue, sizeof nValue);
    }
    bSignalled = bWanted;
}
}  // namespace

// The device the engine opens: every call plays the shared line.
class CFakeTerminalDevice final : public ITerminalDevice {
public:
    explicit CFakeTerminalDevice(std::shared_ptr<CFakeSerialLine> pLine);
    ~CFakeTerminalDevice() override;

    int Open() override;
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
    std::shared_ptr<CFakeSerialLine> m_pLine;
    bool m_bOpen = false;
};

CFakeSerialLine::CFakeSerialLine()
    : m_nInputFd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)),
      m_nWritableFd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)),
      m_nHangupFd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    std::lock_guard lock(m_mtx);
    UpdateReadiness();
}

CFakeSerialLine::~CFakeSerialLine() {
    for (int nFd : {m_nInputFd, m_nWritableFd, m_nHangupFd}) {
        if (nFd >= 0) {
            close(nFd);
        }
    }
}

CSerialLink::DeviceFactory CFakeSerialLine::Factory() {
    std::weak_ptr<CFakeSerialLine> pWeak = weak_from_this();
    return [pWeak](const std::string&) -> std::unique_ptr<ITerminalDevice> {
        auto pLine = pWeak.lock();
        if (!pLine) {
            return nullptr;
        }
        return std::make_unique<CFakeTerminalDevice>(std::move(pLine));
    };
}

void CFakeSerialLine::UpdateReadiness() {
    SetLevel(m_nInputFd, m_bInputSignalled, m_nInputPos < m_input.size());
    SetLevel(m_nWritableFd, m_bWritableSignalled, m_bWritable);
    SetLevel(m_nHangupFd, m_bHangupSignalled, m_bUnplugged);
}

void CFakeSerialLine::SetOpenError(int nErrno) {
    std::lock_guard lock(m_mtx);
    m_nOpenError = nErrno;
}

void CFakeSerialLine::Receive(const std::vector<std::uint8_t>& bytes) {
    std::lock_guard lock(m_mtx);
    if (m_nInputPos == m_input.size()) {
        m_input.clear();
        m_nInputPos = 0;
    }
    m_input.insert(m_input.end(), bytes.begin(), bytes.end());
    UpdateReadiness();
}

void CFakeSerialLine::Unplug(long nReadResult) {
    std::lock_guard lock(m_mtx);
    m_bUnplugged = true;
    m_nUnpluggedRead = nReadResult;
    // Like a real driver, a hang-up throws away what was not read.
    m_input.clear();
    m_nInputPos = 0;
    UpdateReadiness();
}

void CFakeSerialLine::Replug() {
    std::lock_guard lock(m_mtx);
    m_bUnplugged = false;
    UpdateReadiness();
}

void CFakeSerialLine::SetHasStatusLines(bool bHas) {
    std::lock_guard lock(m_mtx);
    m_bHasStatusLines = bHas;
}

void CFakeSerialLine::SetStatusLines(std::uint32_t dwStatus) {
    std::lock_guard lock(m_mtx);
    m_dwStatus = dwStatus;
}

void CFakeSerialLine::AddLineErrors(const LineErrorCounts& more) {
    std::lock_guard lock(m_mtx);
    m_errors.dwFrame += more.dwFrame;
    m_errors.dwParity += more.dwParity;
    m_errors.dwOverrun += more.dwOverrun;
    m_errors.dwBufferOverrun += more.dwBufferOverrun;
    m_errors.dwBreak += more.dwBreak;
}

void CFakeSerialLine::SetWriteLimit(std::size_t nMax) {
    std::lock_guard lock(m_mtx);
    m_nWriteLimit = nMax;
}

void CFakeSerialLine::SetEagainEvery(unsigned nEvery) {
    std::lock_guard lock(m_mtx);
    m_nEagainEvery = nEvery;
}

void CFakeSerialLine::SetWritable(bool bWritable) {
    std::lock_guard lock(m_mtx);
    m_bWritable = bWritable;
    UpdateReadiness();
}

void CFakeSerialLine::SetSettingsFilter(std::function<void(LineSettings&)> fnFilter) {
    std::lock_guard lock(m_mtx);
    m_fnSettingsFilter = std::move(fnFilter);
}

std::vector<std::uint8_t> CFakeSerialLine::Sent() const {
    std::lock_guard lock(m_mtx);
    return m_sent;
}

std::size_t CFakeSerialLine::SentCount() const {
    std::lock_guard lock(m_mtx);
    return m_sent.size();
}

bool CFakeSerialLine::WaitForSent(std::size_t nCount, int nTimeoutMs) const {
    std::unique_lock lock(m_mtx);
    return m_cvSent.wait_for(lock, std::chrono::milliseconds(nTimeoutMs),
                             [&] { return m_sent.size() >= nCount; });
}

bool CFakeSerialLine::InputWaiting() const {
    std::lock_guard lock(m_mtx);
    return m_nInputPos < m_input.size();
}

bool CFakeSerialLine::IsOpen() const {
    std::lock_guard lock(m_mtx);
    return m_bOpen;
}

bool CFakeSerialLine::OutputLine(EOutputLine line) const {
    std::lock_guard lock(m_mtx);
    return line == EOutputLine::DTR ? m_bDTR : m_bRTS;
}

LineSettings CFakeSerialLine::Settings() const {
    std::lock_guard lock(m_mtx);
    return m_settings;
}

unsigned CFakeSerialLine::DrainCount() const {
    std::lock_guard lock(m_mtx);
    return m_nDrains;
}

unsigned CFakeSerialLine::DiscardCount() const {
    std::lock_guard lock(m_mtx);
    return m_nDiscards;
}

CFakeTerminalDevice::CFakeTerminalDevice(std::shared_ptr<CFakeSerialLine> pLine)
    : m_pLine(std::move(pLine)) {}

CFakeTerminalDevice::~CFakeTerminalDevice() {
    Close();
}

int CFakeTerminalDevice::Open() {
    std::lock_guard lock(m_pLine->m_mtx);
    if (m_pLine->m_bUnplugged) {
        return ENOENT;
    }
    if (m_pLine->m_nOpenError != 0) {
        return m_pLine->m_nOpenError;
    }
    if (m_pLine->m_bOpen) {
        return EBUSY;
    }
    m_pLine->m_bOpen = m_bOpen = true;
    return 0;
}

void CFakeTerminalDevice::Close() {
    if (!m_bOpen) {
        return;
    }
    std::lock_guard lock(m_pLine->m_mtx);
    m_pLine->m_bOpen = m_bOpen = false;
}

int CFakeTerminalDevice::Wait(short nEvents, int nWakeFd, int nTimeoutMs, bool& bWoken) {
    CFakeSerialLine& line = *m_pLine;
    pollfd fds[4] = {{nWakeFd, POLLIN, 0}, {line.m_nHangupFd, POLLIN, 0}};
    nfds_t nCount = 2;
    if (nEvents & POLLIN) {
        fds[nCount++] = {line.m_nInputFd, POLLIN, 0};
    }
    if (nEvents & POLLOUT) {
        fds[nCount++] = {line.m_nWritableFd, POLLIN, 0};
    }
    bWoken = false;
    if (poll(fds, nCount, nTimeoutMs) < 0) {
        return -errno;
    }
    bWoken = fds[0].revents & POLLIN;
    std::lock_guard lock(line.m_mtx);
    int nReady = 0;
    if (line.m_bUnplugged) {
        nReady |= POLLHUP | POLLERR;
    }
    if ((nEvents & POLLIN) && line.m_nInputPos < line.m_input.size()) {
        nReady |= POLLIN;
    }
    if ((nEvents & POLLOUT) && line.m_bWritable && !line.m_bUnplugged) {
        nReady |= POLLOUT;
    }
    return nReady;
}

long CFakeTerminalDevice::Read(std::uint8_t* pBuf, std::size_t nCap) {
    CFakeSerialLine& line = *m_pLine;
    std::lock_guard lock(line.m_mtx);
    if (line.m_bUnplugged) {
        return line.m_nUnpluggedRead;
    }
    const std::size_t nCount = std::min(nCap, line.m_input.size() - line.m_nInputPos);
    if (nCount == 0) {
        return -EAGAIN;
    }
    std::memcpy(pBuf, line.m_input.data() + line.m_nInputPos, nCount);
    line.m_nInputPos += nCount;
    line.UpdateReadiness();
    return static_cast<long>(nCount);
}

long CFakeTerminalDevice::Write(const std::uint8_t* pBytes, std::size_t nCount) {
    CFakeSerialLine& line = *m_pLine;
    std::lock_guard lock(line.m_mtx);
    if (line.m_bUnplugged) {
        return -EIO;
    }
    if (!line.m_bWritable) {
        return -EAGAIN;
    }
    ++line.m_nWriteCalls;
    if (line.m_nEagainEvery != 0 && line.m_nWriteCalls % line.m_nEagainEvery == 0) {
        return -EAGAIN;
    }
    if (line.m_nWriteLimit != 0) {
        nCount = std::min(nCount, line.m_nWriteLimit);
    }
    line.m_sent.insert(line.m_sent.end(), pBytes, pBytes + nCount);
    line.m_cvSent.notify_all();
    return static_cast<long>(nCount);
}

bool CFakeTerminalDevice::Drain() {
    std::lock_guard lock(m_pLine->m_mtx);
    ++m_pLine->m_nDrains;
    return !m_pLine->m_bUnplugged;
}

void CFakeTerminalDevice::DiscardOutput() {
    std::lock_guard lock(m_pLine->m_mtx);
    ++m_pLine->m_nDiscards;
}

bool CFakeTerminalDevice::ApplySettings(const LineSettings& settings) {
    CFakeSerialLine& line = *m_pLine;
    std::lock_guard lock(line.m_mtx);
    if (line.m_bUnplugged) {
        return false;
    }
    LineSettings& kept = line.m_settings;
    if (settings.dwBaudRate != 0) {
        kept.dwBaudRate = settings.dwBaudRate;
    }
    if (settings.nDataBits >= 5 && settings.nDataBits <= 8) {
        kept.nDataBits = settings.nDataBits;
    }
    if (settings.eParity >= EParity::None && settings.eParity <= EParity::Space) {
        kept.eParity = settings.eParity;
    }
    if (settings.eStopBits >= EStopBits::One && settings.eStopBits <= EStopBits::Two) {
        // One or two, as on Linux.
        kept.eStopBits = settings.eStopBits == EStopBits::One ? EStopBits::One : EStopBits::Two;
    }
    if (settings.eFlow == EFlowControl::None || settings.eFlow == EFlowControl::CtsRts ||
        settings.eFlow == EFlowControl::XonXoff) {
        kept.eFlow = settings.eFlow;
    }
    if (line.m_fnSettingsFilter) {
        line.m_fnSettingsFilter(kept);
    }
    return true;
}

bool CFakeTerminalDevice::GetSettings(LineSettings& settings) {
    std::lock_guard lock(m_pLine->m_mtx);
    if (m_pLine->m_bUnplugged) {
        return false;
    }
    settings = m_pLine->m_settings;
    return true;
}

bool CFakeTerminalDevice::GetStatusLines(std::uint32_t& dwStatus) {
    std::lock_guard lock(m_pLine->m_mtx);
    if (!m_pLine->m_bHasStatusLines || m_pLine->m_bUnplugged) {
        return false;
    }
    dwStatus = m_pLine->m_dwStatus;
    return true;
}

bool CFakeTerminalDevice::SetOutputLine(EOutputLine line, bool bOn) {
    std::lock_guard lock(m_pLine->m_mtx);
    if (!m_pLine->m_bHasStatusLines || m_pLine->m_bUnplugged) {
        return false;
    }
    (line == EOutputLine::DTR ? m_pLine->m_bDTR : m_pLine->m_bRTS) = bOn;
    return true;
}

bool CFakeTerminalDevice::GetErrorCounts(LineErrorCounts& counts) {
    std::lock_guard lock(m_pLine->m_mtx);
    if (!m_pLine->m_bHasStatusLines || m_pLine->m_bUnplugged) {
        return false;
    }
    counts = m_pLine->m_errors;
    return true;
}
