#include "LoopbackDevice.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>

namespace {

constexpr std::size_t kReadChunk = 64 * 1024;
// Bytes waiting to go back before reading stops: the writer is then held back by the full
// pseudo-terminal, as a device holds back a sender with flow control.
constexpr std::size_t kPendingLimit = 1024 * 1024;
constexpr int kStreamTickMs = 10;
constexpr int kHangupRetryMs = 50;  // nobody has the device open: look again this often
// One text line: a fixed length, so any offset into the stream can be computed.
constexpr int kLineNumbers = 1000000;
constexpr char kLineFormat[] =
    "diVE loopback %06d: The quick brown fox jumps over the lazy dog - 0123456789\r\n";
constexpr std::size_t kLineLength = 80;
static_assert(sizeof kLineFormat - 1 - 4 + 6 == kLineLength);

std::uint64_t NowNs() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1000000000ull +
           static_cast<std::uint64_t>(ts.tv_nsec);
}

}  // namespace

CLoopbackDevice::~CLoopbackDevice() {
    if (m_nMaster >= 0) {
        ::close(m_nMaster);
    }
}

bool CLoopbackDevice::Create() {
    int nSlave = -1;
    termios raw{};
    ::cfmakeraw(&raw);
    raw.c_cflag |= CREAD | CLOCAL;
    char szName[256] = {};
    if (::openpty(&m_nMaster, &nSlave, szName, &raw, nullptr) != 0) {
        return false;
    }
    m_strPath = szName;
    // The settings stay with the pseudo-terminal while the master is open.
    ::close(nSlave);
    const int nFlags = ::fcntl(m_nMaster, F_GETFL);
    ::fcntl(m_nMaster, F_SETFL, nFlags | O_NONBLOCK);
    ::fcntl(m_nMaster, F_SETFD, FD_CLOEXEC);
    return true;
}

void CLoopbackDevice::SetStream(EStream stream, std::uint32_t dwRate) {
    m_stream = stream;
    m_dwRate = std::max<std::uint32_t>(dwRate, 1);
}

std::vector<std::uint8_t> CLoopbackDevice::StreamData(EStream stream, std::uint64_t nOffset,
                                                      std::size_t nBytes) {
    std::vector<std::uint8_t> arrData;
    arrData.reserve(nBytes);
    if (stream == EStream::Binary) {
        for (std::size_t i = 0; i < nBytes; ++i) {
            arrData.push_back(static_cast<std::uint8_t>((nOffset + i) & 0xFF));
        }
        return arrData;
    }
    if (stream != EStream::Text) {
        return arrData;
    }
    char szLine[kLineLength + 1];
    while (arrData.size() < nBytes) {
        const std::uint64_t nAt = nOffset + arrData.size();
        std::snprintf(szLine, sizeof szLine, kLineFormat,
                      static_cast<int>((nAt / kLineLength) % kLineNumbers));
        const std::size_t nFrom = nAt % kLineLength;
        const std::size_t nTake = std::min(kLineLength - nFrom, nBytes - arrData.size());
        arrData.insert(arrData.end(), szLine + nFrom, szLine + nFrom + nTake);
    }
    return arrData;
}

bool CLoopbackDevice::Echo() {
    std::uint8_t buffer[kReadChunk];
    for (;;) {
        const ssize_t nRead = ::read(m_nMaster, buffer, sizeof buffer);
        if (nRead > 0) {
            m_arrPending.insert(m_arrPending.end(), buffer, buffer + nRead);
            if (m_arrPending.size() >= kPendingLimit) {
                return true;
            }
            continue;
        }
        // EIO: the device was closed meanwhile; the next wait sees the hang-up.
        return nRead < 0 && (errno == EAGAIN || errno == EINTR || errno == EIO);
    }
}

bool CLoopbackDevice::Flush() {
    std::size_t nDone = 0;
    while (nDone < m_arrPending.size()) {
        const ssize_t nWritten =
            ::write(m_nMaster, m_arrPending.data() + nDone, m_arrPending.size() - nDone);
        if (nWritten < 0) {
            if (errno != EAGAIN && errno != EINTR && errno != EIO) {
                return false;
            }
            break;
        }
        nDone += static_cast<std::size_t>(nWritten);
    }
    m_arrPending.erase(m_arrPending.begin(), m_arrPending.begin() + static_cast<long>(nDone));
    return true;
}

void CLoopbackDevice::QueueStream(std::uint64_t nNowNs) {
    if (m_stream == EStream::None) {
        return;
    }
    if (m_nStreamStartNs == 0) {
        m_nStreamStartNs = nNowNs;
        m_nStreamSent = 0;
        return;
    }
    // Bytes due since the start; a reader that falls behind is not flooded with a backlog.
    const std::uint64_t nDue = (nNowNs - m_nStreamStartNs) * m_dwRate / 1000000000ull;
    if (nDue <= m_nStreamSent) {
        return;
    }
    if (m_arrPending.size() >= kReadChunk) {
        m_nStreamStartNs = nNowNs - m_nStreamSent * 1000000000ull / m_dwRate;
        return;
    }
    const std::size_t nBytes = static_cast<std::size_t>(
        std::min<std::uint64_t>(nDue - m_nStreamSent, kReadChunk - m_arrPending.size()));
    const std::vector<std::uint8_t> arrData = StreamData(m_stream, m_nStreamSent, nBytes);
    m_arrPending.insert(m_arrPending.end(), arrData.begin(), arrData.end());
    m_nStreamSent += nBytes;
}

bool CLoopbackDevice::Run(const volatile std::sig_atomic_t& bStop) {
    while (bStop == 0) {
        pollfd fd{m_nMaster, 0, 0};
        if (m_arrPending.size() < kPendingLimit) {
            fd.events |= POLLIN;
        }
        if (!m_arrPending.empty()) {
            fd.events |= POLLOUT;
        }
        const int nTimeout = m_stream != EStream::None ? kStreamTickMs : -1;
        const int nReady = ::poll(&fd, 1, nTimeout);
        if (nReady < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (fd.revents & POLLHUP) {
            // Nobody has the device open: what waited for a reader is gone with it, and the
            // test data starts afresh with the next reader.
            m_arrPending.clear();
            ::tcflush(m_nMaster, TCOFLUSH);  // nor does the next user find our leftovers
            m_nStreamStartNs = 0;
            ::poll(nullptr, 0, kHangupRetryMs);
            continue;
        }
        if ((fd.revents & POLLIN) && !Echo()) {
            return false;
        }
        QueueStream(NowNs());
        if (!m_arrPending.empty() && !Flush()) {
            return false;
        }
    }
    return true;
}
