#include "TermiosDevice.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

#include "BaudRate.h"
#include "SerialTypes.h"
#include "TermiosFields.h"

CTermiosDevice::CTermiosDevice(std::string strPath) : m_strPath(std::move(strPath)) {}

CTermiosDevice::~CTermiosDevice() {
    Close();
}

int CTermiosDevice::Open() {
    Close();
    const int nFd = ::open(m_strPath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (nFd < 0) {
        return errno;
    }
    if (!isatty(nFd)) {
        ::close(nFd);
        return ENOTTY;
    }
    if (flock(nFd, LOCK_EX | LOCK_NB) != 0) {
        const int nErr = errno;
        ::close(nFd);
        return nErr == EWOULDBLOCK ? EBUSY : nErr;
    }
    // Fails only on odd drivers; the flock and the lock file still guard the port.
    ioctl(nFd, TIOCEXCL);
    m_bHaveOriginal = tcgetattr(nFd, &m_tioOriginal) == 0;
    m_nFd = nFd;
    return 0;
}

void CTermiosDevice::Close() {
    if (m_nFd < 0) {
        return;
    }
    if (m_bHaveOriginal) {
        tcsetattr(m_nFd, TCSANOW, &m_tioOriginal);
    }
    // TIOCEXCL outlives our descriptor while anyone else keeps the tty open.
    ioctl(m_nFd, TIOCNXCL);
    ::close(m_nFd);  // releases the flock
    m_nFd = -1;
    m_bHaveOriginal = false;
}

int CTermiosDevice::Wait(short nEvents, int nWakeFd, int nTimeoutMs, bool& bWoken) {
    pollfd fds[2] = {{m_nFd, nEvents, 0}, {nWakeFd, POLLIN, 0}};
    bWoken = false;
    if (poll(fds, 2, nTimeoutMs) < 0) {
        return -errno;
    }
    bWoken = fds[1].revents & POLLIN;
    // A descriptor that went bad can never become ready again: report it like a lost device.
    return (fds[0].revents & POLLNVAL) ? POLLERR : fds[0].revents;
}

long CTermiosDevice::Read(std::uint8_t* pBuf, std::size_t nCap) {
    const ssize_t n = ::read(m_nFd, pBuf, nCap);
    return n >= 0 ? static_cast<long>(n) : -errno;
}

long CTermiosDevice::Write(const std::uint8_t* pBytes, std::size_t nCount) {
    const ssize_t n = ::write(m_nFd, pBytes, nCount);
    return n >= 0 ? static_cast<long>(n) : -errno;
}

bool CTermiosDevice::Drain() {
    return tcdrain(m_nFd) == 0;
}

void CTermiosDevice::DiscardOutput() {
    tcflush(m_nFd, TCOFLUSH);
}

bool CTermiosDevice::ApplySettings(const LineSettings& settings) {
    termios tio{};
    if (tcgetattr(m_nFd, &tio) != 0) {
        return false;
    }
    MakeRaw(tio);
    SetDataBits(tio, settings.nDataBits);
    SetParity(tio, settings.eParity);
    SetStopBits(tio, settings.eStopBits);
    SetFlow(tio, settings.eFlow);
    // glibc may answer EINVAL when a driver adjusted some field (a pseudo-terminal forces CS8)
    // although the rest was applied: the read-back in GetSettings() is what counts.
    tcsetattr(m_nFd, TCSANOW, &tio);
    if (settings.dwBaudRate != 0) {
        SetTtyBaudRate(m_nFd, settings.dwBaudRate);
    }
    return true;
}

bool CTermiosDevice::GetSettings(LineSettings& settings) {
    termios tio{};
    std::uint32_t dwRate = 0;
    if (tcgetattr(m_nFd, &tio) != 0 || !GetTtyBaudRate(m_nFd, dwRate)) {
        return false;
    }
    settings.dwBaudRate = dwRate;
    settings.nDataBits = GetDataBits(tio);
    settings.eParity = GetParity(tio);
    settings.eStopBits = GetStopBits(tio);
    settings.eFlow = GetFlow(tio);
    return true;
}

bool CTermiosDevice::GetStatusLines(std::uint32_t& dwStatus) {
    int nBits = 0;
    if (ioctl(m_nFd, TIOCMGET, &nBits) != 0) {
        return false;
    }
    constexpr std::uint32_t dwNone = 0;
    dwStatus =
        ((nBits & TIOCM_CTS) ? MS_CTS_ON : dwNone) | ((nBits & TIOCM_DSR) ? MS_DSR_ON : dwNone) |
        ((nBits & TIOCM_RNG) ? MS_RING_ON : dwNone) | ((nBits & TIOCM_CAR) ? MS_RLSD_ON : dwNone);
    return true;
}

bool CTermiosDevice::SetOutputLine(EOutputLine line, bool bOn) {
    const int nBit = line == EOutputLine::DTR ? TIOCM_DTR : TIOCM_RTS;
    return ioctl(m_nFd, bOn ? TIOCMBIS : TIOCMBIC, &nBit) == 0;
}

bool CTermiosDevice::GetErrorCounts(LineErrorCounts& counts) {
    serial_icounter_struct ic{};
    if (ioctl(m_nFd, TIOCGICOUNT, &ic) != 0) {
        return false;
    }
    counts.dwFrame = static_cast<std::uint32_t>(ic.frame);
    counts.dwParity = static_cast<std::uint32_t>(ic.parity);
    counts.dwOverrun = static_cast<std::uint32_t>(ic.overrun);
    counts.dwBufferOverrun = static_cast<std::uint32_t>(ic.buf_overrun);
    counts.dwBreak = static_cast<std::uint32_t>(ic.brk);
    return true;
}
