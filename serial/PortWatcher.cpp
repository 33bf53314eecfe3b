#include "PortWatcher.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>

#include "NoticeQueue.h"
#include "SerialTypes.h"

namespace {
struct CLineNotice {
    std::uint32_t dwStatusBit;
    std::uint32_t dwEvent;
    unsigned nCode;
};
constexpr CLineNotice LINE_NOTICES[] = {
    {MS_CTS_ON, EV_CTS, SN_CTS_CHANGED},
    {MS_DSR_ON, EV_DSR, SN_DSR_CHANGED},
    {MS_RING_ON, EV_RING, SN_RING},
    {MS_RLSD_ON, EV_RLSD, SN_CD_CHANGED},
};

// How long the line takes to bring nBytes at its rate, with the shortest frame its settings
// allow; 0 when the driver does not say.
int LineMs(ITerminalDevice& device, std::size_t nBytes) {
    LineSettings settings;
    if (!device.GetSettings(settings) || settings.dwBaudRate == 0) {
        return 0;
    }
    const std::uint64_t nFrameBits = 1 + static_cast<std::uint64_t>(settings.nDataBits) +
                                     (settings.eParity != EParity::None) + 1;
    return static_cast<int>(nBytes * nFrameBits * 1000 / settings.dwBaudRate);
}
}  // namespace

CPortWatcher::CPortWatcher(ITerminalDevice& device, CNoticeQueue& notices)
    : m_device(device), m_notices(notices) {
    m_notices.SetRoomFreedHandler([this] { m_wake.Signal(); });
}

CPortWatcher::~CPortWatcher() {
    Stop();
    m_notices.SetRoomFreedHandler({});
}

bool CPortWatcher::Start() {
    if (m_thread.joinable() || !m_wake.IsValid()) {
        return false;
    }
    m_bStop = false;
    m_buffer.resize(kReadSize);
    m_bHaveLines = m_device.GetStatusLines(m_dwLines);
    m_bHaveErrors = m_device.GetErrorCounts(m_errors);
    m_tNextSample = Clock::now() + std::chrono::milliseconds(kLinePollMs);
    m_nLineGatherMs = LineMs(m_device, kGatherBytes);
    SetGatherMs(m_nWantedGatherMs);
    try {
        m_thread = std::thread(&CPortWatcher::Run, this);
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void CPortWatcher::Stop() {
    if (!m_thread.joinable()) {
        return;
    }
    m_bStop = true;
    m_wake.Signal();
    m_thread.join();
}

void CPortWatcher::Run() {
    std::vector<unsigned> arrCodes;

    while (!m_bStop) {
        const short nWanted = m_notices.HasRoom() ? POLLIN : 0;
        const int nTimeout = (m_bHaveLines || m_bHaveErrors) ? MsUntil(m_tNextSample) : -1;
        bool bWoken = false;
        const int nEvents = m_device.Wait(nWanted, m_wake.Fd(), nTimeout, bWoken);
        if (bWoken) {
            m_wake.Clear();
        }
        if (m_bStop) {
            break;
        }
        if (nEvents == -EINTR) {
            continue;
        }
        if (nEvents < 0) {
            m_notices.Push(SN_PORT_LOST);
            return;
        }

        arrCodes.clear();
        SampleLines(arrCodes);
        const bool bHungUp = nEvents & (POLLHUP | POLLERR);
        const bool bArrived = bHungUp || (nEvents & POLLIN);
        if (!bArrived && arrCodes.empty()) {
            continue;  // a time-out or a resume with nothing new
        }
        // The order of a wake: line changes, the wake itself, a line error, then the bytes.
        for (unsigned nCode : arrCodes) {
            if (nCode != SN_LINE_ERROR) {
                m_notices.Push(nCode);
            }
        }
        m_notices.Push(SN_PORT_EVENT);
        for (unsigned nCode : arrCodes) {
            if (nCode == SN_LINE_ERROR) {
                m_notices.Push(nCode);
            }
        }
        if (!bArrived) {
            continue;
        }
        const Clock::time_point tRead = Clock::now();
        const EReadResult eRead = ReadArrived(bHungUp);
        if (eRead == EReadResult::Lost) {
            m_notices.Push(SN_PORT_LOST);
            return;
        }
        if (eRead == EReadResult::Paced) {
            Gather(tRead);
        }
    }
}

int CPortWatcher::MsUntil(Clock::time_point t) const {
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(t - Clock::now()).count();
    return static_cast<int>(std::max<decltype(ms)>(ms, 0));
}

void CPortWatcher::Gather(Clock::time_point tRead) {
    Clock::time_point tEnd = tRead + std::chrono::milliseconds(m_nGatherMs.load());
    if (m_bHaveLines || m_bHaveErrors) {
        tEnd = std::min(tEnd, m_tNextSample);
    }
    const int nMs = MsUntil(tEnd);
    if (nMs == 0) {
        return;
    }
    // Only a hang-up of the device or the wake event (Stop) ends it before its time.
    bool bWoken = false;
    m_device.Wait(0, m_wake.Fd(), nMs, bWoken);
    if (bWoken) {
        m_wake.Clear();
    }
}

void CPortWatcher::SampleLines(std::vector<unsigned>& arrCodes) {
    m_tNextSample = Clock::now() + std::chrono::milliseconds(kLinePollMs);
    std::uint32_t dwNow = 0;
    if (m_bHaveLines && (m_bHaveLines = m_device.GetStatusLines(dwNow))) {
        for (const CLineNotice& line : LINE_NOTICES) {
            if (((dwNow ^ m_dwLines) & line.dwStatusBit) && m_notices.Wants(line.dwEvent)) {
                arrCodes.push_back(line.nCode);
            }
        }
        m_dwLines = dwNow;
    }
    LineErrorCounts now;
    if (m_bHaveErrors && (m_bHaveErrors = m_device.GetErrorCounts(now))) {
        const bool bError = now.dwFrame != m_errors.dwFrame || now.dwParity != m_errors.dwParity ||
                            now.dwOverrun != m_errors.dwOverrun ||
                            now.dwBufferOverrun != m_errors.dwBufferOverrun;
        const bool bBreak = now.dwBreak != m_errors.dwBreak;
        if ((bError && m_notices.Wants(EV_ERR)) || (bBreak && m_notices.Wants(EV_BREAK))) {
            arrCodes.push_back(SN_LINE_ERROR);
        }
        m_errors = now;
    }
}

CPortWatcher::EReadResult CPortWatcher::ReadArrived(bool bHungUp) {
    for (;;) {
        const long n = m_device.Read(m_buffer.data(), m_buffer.size());
        if (n > 0) {
            const auto nRead = static_cast<std::size_t>(n);
            m_notices.PushBytes(m_buffer.data(), nRead,
                                m_fnReadClock ? m_fnReadClock() : std::chrono::system_clock::now());
            if (!m_notices.HasRoom() || m_bStop) {
                return EReadResult::Open;
            }
            const bool bSlow = CountSlow(nRead, Clock::now());
            // A short read took all there was; after a full one more may wait.
            if (nRead < m_buffer.size() && !bHungUp) {
                return nRead < kGatherBytes && bSlow ? EReadResult::Paced : EReadResult::Open;
            }
            continue;
        }
        if ((n == -EAGAIN || n == -EINTR) && !bHungUp) {
            return EReadResult::Open;
        }
        // End of file, EIO, ENXIO, or nothing to read on a hung-up device: it is gone.
        return EReadResult::Lost;
    }
}

bool CPortWatcher::CountSlow(std::size_t nRead, Clock::time_point tNow) {
    if (m_nGatherMs <= 0) {
        return false;
    }
    if (tNow - m_tSpanStart >= std::chrono::milliseconds(m_nGatherMs.load())) {
        m_nLastSpanBytes = m_nSpanBytes;
        m_nSpanBytes = 0;
        m_tSpanStart = tNow;
    }
    m_nSpanBytes += nRead;
    return m_nLastSpanBytes < kGatherBytes && m_nSpanBytes < kGatherBytes;
}
