#include "NetDevice.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "TcpConnect.h"

using namespace comport;

namespace {
constexpr std::size_t kMaxHeld = 4 * 1024 * 1024;  // data met while waiting for answers
constexpr int kPumpMs = 20;

constexpr unsigned Bit(ECommand eCommand) {
    return 1u << eCommand;
}

int MsLeft(std::chrono::steady_clock::time_point tEnd) {
    const auto ms =
        std::chrono::ceil<std::chrono::milliseconds>(tEnd - std::chrono::steady_clock::now())
            .count();
    return ms > 0 ? static_cast<int>(ms) : 0;
}
}  // namespace

CNetDevice::CNetDevice(std::string strAddress, int nConnectedFd)
    : m_strAddress(std::move(strAddress)), m_nFd(nConnectedFd) {}

CNetDevice::~CNetDevice() {
    Close();
}

int CNetDevice::Open() {
    const int nHanded = m_nFd;
    m_nFd = -1;
    Close();
    m_address = ParseNetAddress(m_strAddress);
    if (!m_address) {
        if (nHanded >= 0) {
            ::close(nHanded);
        }
        return EINVAL;
    }
    if (nHanded >= 0) {
        m_nFd = nHanded;
    } else if (const int nError = ConnectTcp(*m_address, kConnectMs, m_nFd); nError != 0) {
        return nError;
    }
    if (!IsComPort()) {
        return 0;
    }
    std::vector<std::uint8_t> out;
    m_options.Start(true, out);
    SendCommand(out);
    WaitFor([this] { return m_bOptionAnswered; }, kAnswerMs);
    bool bAgreed = false;
    {
        const std::lock_guard lock(m_mtxRead);
        bAgreed = m_options.ComPortAgreed();
    }
    if (!bAgreed) {
        const int nError = m_bEnded ? ECONNRESET : EPROTONOSUPPORT;
        Close();
        return nError;
    }
    SendCommand(ComPortCommand(SET_MODEMSTATE_MASK, 0xFF));
    return 0;
}

void CNetDevice::Close() {
    if (m_nFd >= 0) {
        ::close(m_nFd);
        m_nFd = -1;
    }
    m_pending.clear();
    m_nPendingPos = 0;
    m_reader = {};
    m_options = {};
    m_heldData.clear();
    m_held.Clear();
    m_bEnded = false;
    m_bOptionAnswered = false;
    m_nAwaited = 0;
    m_dwLines = 0;
}

int CNetDevice::Wait(short nEvents, int nWakeFd, int nTimeoutMs, bool& bWoken) {
    pollfd fds[3] = {{m_nFd, nEvents, 0}, {nWakeFd, POLLIN, 0}, {m_held.Fd(), POLLIN, 0}};
    bWoken = false;
    // Held data counts as arrived only when the caller wants input.
    if (poll(fds, (nEvents & POLLIN) ? 3 : 2, nTimeoutMs) < 0) {
        return -errno;
    }
    bWoken = fds[1].revents & POLLIN;
    const int nHeld = (fds[2].revents & POLLIN) ? POLLIN : 0;
    return ((fds[0].revents & POLLNVAL) ? POLLERR : fds[0].revents) | nHeld;
}

long CNetDevice::Read(std::uint8_t* pBuf, std::size_t nCap) {
    const std::lock_guard lock(m_mtxRead);
    if (!m_heldData.empty()) {
        const std::size_t n = std::min(nCap, m_heldData.size());
        std::memcpy(pBuf, m_heldData.data(), n);
        m_heldData.erase(m_heldData.begin(), m_heldData.begin() + static_cast<long>(n));
        if (m_heldData.empty()) {
            m_held.Clear();
        }
        return static_cast<long>(n);
    }
    return m_bEnded ? 0 : ReadSocketLocked(pBuf, nCap);
}

long CNetDevice::ReadSocketLocked(std::uint8_t* pData, std::size_t nCap) {
    std::uint8_t* pTarget = pData;
    if (IsComPort()) {
        m_raw.resize(std::min(nCap, kChunk));
        pTarget = m_raw.data();
        nCap = m_raw.size();
    }
    const ssize_t n = recv(m_nFd, pTarget, nCap, MSG_DONTWAIT);
    if (n <= 0) {
        const int nError = n == 0 ? 0 : errno;
        if (nError != EAGAIN && nError != EINTR) {
            m_bEnded = true;
        }
        return -nError;
    }
    if (!IsComPort()) {
        return static_cast<long>(n);
    }
    m_data.clear();
    m_arrCommands.clear();
    m_reader.Feed(pTarget, static_cast<std::size_t>(n), m_data, m_arrCommands);
    std::copy(m_data.begin(), m_data.end(), pData);  // never more than the read brought
    for (const TelnetCommand& command : m_arrCommands) {
        Handle(command);
    }
    return m_data.empty() ? -EAGAIN : static_cast<long>(m_data.size());
}

void CNetDevice::Handle(const TelnetCommand& command) {
    if (command.byCommand != telnet::SB) {
        std::vector<std::uint8_t> out;
        m_options.Negotiate(command, out);
        if (!out.empty()) {
            SendCommand(out);
        }
        if (m_options.ComPortAgreed() || m_options.ComPortRefused()) {
            const std::lock_guard lock(m_mtxState);
            m_bOptionAnswered = true;
            m_cvState.notify_all();
        }
        return;
    }
    const auto answer = command.byOption == telnet::OPT_COM_PORT
                            ? ParseComPortAnswer(command.payload)
                            : std::nullopt;
    if (!answer) {
        return;
    }
    const std::uint32_t dwValue = answer->dwValue;
    const std::lock_guard lock(m_mtxState);
    switch (answer->eCommand) {
        case NOTIFY_MODEMSTATE:
            m_dwLines = dwValue & (MODEM_CTS | MODEM_DSR | MODEM_RI | MODEM_CD);
            return;
        case SET_BAUDRATE:
            m_actual.dwBaudRate = dwValue;
            break;
        case SET_DATASIZE:
            if (dwValue < 5 || dwValue > 8) {
                return;
            }
            m_actual.nDataBits = static_cast<int>(dwValue);
            break;
        case SET_PARITY:
            if (dwValue < PARITY_NONE || dwValue > PARITY_SPACE) {
                return;
            }
            m_actual.eParity = static_cast<EParity>(dwValue - PARITY_NONE);
            break;
        case SET_STOPSIZE:
            if (dwValue < STOP_1 || dwValue > STOP_1_5) {
                return;
            }
            m_actual.eStopBits = dwValue == STOP_1   ? EStopBits::One
                                 : dwValue == STOP_2 ? EStopBits::Two
                                                     : EStopBits::OneAndHalf;
            break;
        case SET_CONTROL:
            // Only the answers about flow control; those about DTR and RTS change nothing here.
            if (dwValue < CONTROL_FLOW_NONE || dwValue > CONTROL_FLOW_HARDWARE) {
                return;
            }
            m_actual.eFlow = dwValue == CONTROL_FLOW_NONE      ? EFlowControl::None
                             : dwValue == CONTROL_FLOW_XONXOFF ? EFlowControl::XonXoff
                                                               : EFlowControl::CtsRts;
            break;
        default:
            return;
    }
    m_nAwaited &= ~Bit(answer->eCommand);
    m_cvState.notify_all();
}

template <class Pred>
bool CNetDevice::WaitFor(Pred pred, int nMs) {
    const Clock::time_point tEnd = Clock::now() + std::chrono::milliseconds(nMs);
    std::vector<std::uint8_t> buffer;
    for (;;) {
        {
            std::unique_lock lock(m_mtxState);
            if (pred()) {
                return true;
            }
            if (m_bEnded || MsLeft(tEnd) == 0) {
                return false;
            }
        }
        std::unique_lock reading(m_mtxRead, std::try_to_lock);
        if (!reading.owns_lock() || m_heldData.size() >= kMaxHeld) {
            // The watcher reads and parses: its answers wake us.
            if (reading.owns_lock()) {
                reading.unlock();
            }
            std::unique_lock lock(m_mtxState);
            m_cvState.wait_for(lock, std::chrono::milliseconds(kPumpMs), pred);
            continue;
        }
        pollfd fd{m_nFd, POLLIN, 0};
        if (poll(&fd, 1, std::min(kPumpMs, MsLeft(tEnd))) <= 0) {
            continue;
        }
        buffer.resize(kChunk);
        const long n = ReadSocketLocked(buffer.data(), buffer.size());
        if (n > 0) {
            m_heldData.insert(m_heldData.end(), buffer.begin(), buffer.begin() + n);
            m_held.Signal();
        }
    }
}

long CNetDevice::FlushLocked() {
    while (m_nPendingPos < m_pending.size()) {
        const ssize_t n = send(m_nFd, m_pending.data() + m_nPendingPos,
                               m_pending.size() - m_nPendingPos, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return -errno;
        }
        m_nPendingPos += static_cast<std::size_t>(n);
    }
    m_pending.clear();
    m_nPendingPos = 0;
    return 0;
}

bool CNetDevice::SendCommand(const std::vector<std::uint8_t>& bytes) {
    const Clock::time_point tEnd = Clock::now() + std::chrono::milliseconds(kSendMs);
    const std::lock_guard lock(m_mtxWrite);
    m_pending.insert(m_pending.end(), bytes.begin(), bytes.end());
    for (;;) {
        const long nResult = FlushLocked();
        if (nResult != -EAGAIN) {
            return nResult == 0;
        }
        // Left queued: the next write or drain pushes it out.
        if (MsLeft(tEnd) == 0) {
            return false;
        }
        pollfd fd{m_nFd, POLLOUT, 0};
        poll(&fd, 1, std::min(50, MsLeft(tEnd)));
    }
}

long CNetDevice::Write(const std::uint8_t* pBytes, std::size_t nCount) {
    const std::lock_guard lock(m_mtxWrite);
    if (const long nResult = FlushLocked(); nResult != 0) {
        return nResult;
    }
    const std::size_t n = std::min(nCount, kChunk);
    if (IsComPort()) {
        AppendTelnetData(m_pending, pBytes, n);
    } else {
        m_pending.assign(pBytes, pBytes + n);
    }
    const long nResult = FlushLocked();
    return nResult == 0 || nResult == -EAGAIN ? static_cast<long>(n) : nResult;
}

bool CNetDevice::Drain() {
    m_bDiscard = false;
    for (;;) {
        {
            const std::lock_guard lock(m_mtxWrite);
            const long nResult = FlushLocked();
            if (nResult != -EAGAIN) {
                return nResult == 0;
            }
        }
        if (m_bDiscard) {
            return true;
        }
        pollfd fd{m_nFd, POLLOUT, 0};
        poll(&fd, 1, 50);
    }
}

void CNetDevice::DiscardOutput() {
    m_bDiscard = true;
    if (IsComPort()) {
        SendCommand(ComPortCommand(PURGE_DATA, PURGE_TRANSMIT));
    }
}

bool CNetDevice::ApplySettings(const LineSettings& settings) {
    if (!IsComPort()) {
        const std::lock_guard lock(m_mtxState);
        m_requested = m_actual = settings;
        return true;
    }
    std::vector<std::uint8_t> out;
    unsigned nAwaited = 0;
    auto add = [&](ECommand eCommand, std::uint32_t dwValue) {
        const std::vector<std::uint8_t> command = ComPortCommand(eCommand, dwValue);
        out.insert(out.end(), command.begin(), command.end());
        nAwaited |= Bit(eCommand);
    };
    if (settings.dwBaudRate != 0) {
        add(SET_BAUDRATE, settings.dwBaudRate);
    }
    if (settings.nDataBits >= 5 && settings.nDataBits <= 8) {
        add(SET_DATASIZE, static_cast<std::uint32_t>(settings.nDataBits));
    }
    if (settings.eParity >= EParity::None && settings.eParity <= EParity::Space) {
        add(SET_PARITY, static_cast<std::uint32_t>(settings.eParity) + PARITY_NONE);
    }
    if (settings.eStopBits >= EStopBits::One && settings.eStopBits <= EStopBits::Two) {
        add(SET_STOPSIZE, settings.eStopBits == EStopBits::One   ? STOP_1
                          : settings.eStopBits == EStopBits::Two ? STOP_2
                                                                 : STOP_1_5);
    }
    add(SET_CONTROL, settings.eFlow == EFlowControl::CtsRts    ? CONTROL_FLOW_HARDWARE
                     : settings.eFlow == EFlowControl::XonXoff ? CONTROL_FLOW_XONXOFF
                                                               : CONTROL_FLOW_NONE);
    {
        // Until the server answers, a setting counts as taken.
        const std::lock_guard lock(m_mtxState);
        m_requested = m_actual = settings;
        m_nAwaited = nAwaited;
    }
    if (!SendCommand(out)) {
        return false;
    }
    WaitFor([this] { return m_nAwaited == 0; }, kAnswerMs);
    return true;
}

bool CNetDevice::GetSettings(LineSettings& settings) {
    const std::lock_guard lock(m_mtxState);
    settings = m_actual;
    return true;
}

bool CNetDevice::GetStatusLines(std::uint32_t& dwStatus) {
    if (!IsComPort()) {
        return false;
    }
    dwStatus = m_dwLines;
    return true;
}

bool CNetDevice::SetOutputLine(EOutputLine line, bool bOn) {
    if (!IsComPort()) {
        return false;
    }
    const EControlValue eValue = line == EOutputLine::DTR
                                     ? (bOn ? CONTROL_DTR_ON : CONTROL_DTR_OFF)
                                     : (bOn ? CONTROL_RTS_ON : CONTROL_RTS_OFF);
    return SendCommand(ComPortCommand(SET_CONTROL, eValue));
}

bool CNetDevice::GetErrorCounts(LineErrorCounts& /*counts*/) {
    return false;
}

std::vector<std::string> CNetDevice::Notes() const {
    if (IsComPort()) {
        return {};
    }
    return {"tcp:// 端口只传送数据，波特率、数据位、校验位、停止位、流控和 DTR/RTS 不会发送到设备"};
}
