#include "XmodemReceiver.h"

#include <algorithm>
#include <cstring>

#include "Checksum.h"

namespace {

constexpr int kCrcTries = 3;  // 'C' this often, then NAK

// The size field of block 0: decimal digits after the name's NUL; nullopt when there are none.
// False when the digits do not make a number that fits.
bool ParseSize(std::span<const std::uint8_t> field, std::optional<std::uint64_t>& nSize) {
    std::uint64_t n = 0;
    std::size_t i = 0;
    for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) {
        if (n > (UINT64_MAX - 9) / 10) {
            return false;
        }
        n = n * 10 + (field[i] - '0');
    }
    if (i > 0) {
        nSize = n;
    }
    return true;
}

}  // namespace

CXmodemReceiver::CXmodemReceiver(ETransferProtocol eProtocol, ITransferSink& sink,
                                 STransferTimeouts timeouts, bool bAskCrc)
    : m_eProtocol(eProtocol),
      m_sink(sink),
      m_timeouts(timeouts),
      m_bAskCrc(bAskCrc || eProtocol == ETransferProtocol::Ymodem),
      m_bWantHeader(eProtocol == ETransferProtocol::Ymodem),
      m_nExpected(eProtocol == ETransferProtocol::Ymodem ? 0 : 1) {}

CXmodemReceiver::~CXmodemReceiver() {
    OnEnd(ETransferState::Failed);
}

void CXmodemReceiver::OnEnd(ETransferState) {
    if (m_bFileOpen) {
        m_bFileOpen = false;
        // The block held back for its padding was received whole: the partial file keeps it.
        if (!m_held.empty()) {
            m_sink.Write(m_held.data(), m_held.size());
            m_held.clear();
        }
        const std::string strNote = m_sink.End(false);
        if (!strNote.empty()) {
            m_strMessage += (m_strMessage.empty() ? "" : "；") + strNote;
        }
    }
}

void CXmodemReceiver::Start(TransferClock::time_point tNow) {
    if (!IsYmodem()) {
        const SSinkAnswer answer = m_sink.Begin({}, std::nullopt);
        if (!answer.bAccepted) {
            End(ETransferState::Failed, answer.strMessage);
            return;
        }
        m_bFileOpen = true;
    }
    AskToStart(tNow);
}

void CXmodemReceiver::AskToStart(TransferClock::time_point tNow) {
    if (m_nStartTries++ >= m_timeouts.nStartTries) {
        End(ETransferState::Failed, "发送方没有响应（等待开始超时）");
        return;
    }
    // YMODEM always uses CRC-16; XMODEM falls back to the 8-bit sum.
    m_bCrc = IsYmodem() || (m_bAskCrc && m_nStartTries <= kCrcTries);
    Send(m_bCrc ? xmodem::CRC : xmodem::NAK);
    m_tDeadline = tNow + (m_bCrc ? m_timeouts.start / 3 : m_timeouts.start);
}

void CXmodemReceiver::Cancel(TransferClock::time_point tNow) {
    if (IsRunning() && !IsDraining()) {
        SendCancel();
        StartDrain(tNow);
    }
}

void CXmodemReceiver::OnBytes(std::span<const std::uint8_t> bytes, TransferClock::time_point tNow) {
    if (IsDraining()) {
        OnDrainBytes(tNow);
        return;
    }
    for (const std::uint8_t by : bytes) {
        if (!IsRunning()) {
            return;
        }
        OnByte(by, tNow);
    }
}

void CXmodemReceiver::OnByte(std::uint8_t by, TransferClock::time_point tNow) {
    if (m_nBlockLength > 0) {
        m_block.push_back(by);
        m_tDeadline = tNow + m_timeouts.character;
        if (m_block.size() == m_nBlockLength) {
            OnBlock(tNow);
        }
        return;
    }
    if (CountCancel(by)) {
        return;
    }
    if (by == xmodem::SOH || by == xmodem::STX) {
        m_block.assign(1, by);
        m_nBlockLength = 3 + (by == xmodem::STX ? 1024 : 128) + (m_bCrc ? 2 : 1);
        m_tDeadline = tNow + m_timeouts.character;
    } else if (by == xmodem::EOT) {
        OnEot(tNow);
    }
    // Anything else between blocks is noise.
}

void CXmodemReceiver::OnTime(TransferClock::time_point tNow) {
    if (!IsRunning() || tNow < m_tDeadline) {
        return;
    }
    if (IsDraining()) {
        OnDrainTime(tNow);
        return;
    }
    if (m_nBlockLength == 0 && !m_bStarted) {
        AskToStart(tNow);
        return;
    }
    // A block broken off, or no block: ask again.
    m_nBlockLength = 0;
    Reject(tNow);
}

void CXmodemReceiver::Reject(TransferClock::time_point tNow) {
    if (++m_nErrors > xmodem::kMaxRetries) {
        End(ETransferState::Failed,
            "连续 " + std::to_string(xmodem::kMaxRetries) + " 次未收到正确的数据块，传输失败");
        return;
    }
    ++m_progress.nRetries;
    // YMODEM waiting for the next file asks with 'C', as at its start.
    Send(m_bWantHeader && m_bStarted ? xmodem::CRC : xmodem::NAK);
    m_tDeadline = tNow + m_timeouts.answer;
}

void CXmodemReceiver::OnBlock(TransferClock::time_point tNow) {
    m_nBlockLength = 0;
    const std::uint8_t nNumber = m_block[1];
    const std::size_t nData = m_block[0] == xmodem::STX ? 1024 : 128;
    const std::span<const std::uint8_t> data(m_block.data() + 3, nData);
    bool bGood = static_cast<std::uint8_t>(nNumber ^ m_block[2]) == 0xFF;
    if (m_bCrc) {
        const std::uint16_t crc = Crc16Ccitt(data, 0);
        bGood = bGood && m_block[3 + nData] == (crc >> 8) && m_block[4 + nData] == (crc & 0xFF);
    } else {
        bGood = bGood && m_block[3 + nData] == Sum8(data);
    }
    if (!bGood) {
        Reject(tNow);
        return;
    }
    m_bStarted = true;
    m_tDeadline = tNow + m_timeouts.answer;
    if (m_bWantHeader) {
        if (nNumber != 0) {
            End(ETransferState::Failed,
                "块号错误：应为文件信息块 0，收到 " + std::to_string(nNumber));
            return;
        }
        OnHeader(data, tNow);
        return;
    }
    if (nNumber == static_cast<std::uint8_t>(m_nExpected - 1)) {
        // Our ACK was lost and the block came again: it is already stored.
        m_nErrors = 0;
        Send(xmodem::ACK);
        if (IsYmodem() && nNumber == 0) {
            Send(xmodem::CRC);
        }
        return;
    }
    if (nNumber != m_nExpected) {
        End(ETransferState::Failed,
            "块号错误：应为 " + std::to_string(m_nExpected) + "，收到 " + std::to_string(nNumber));
        return;
    }
    if (!Deliver(data)) {
        return;
    }
    m_nErrors = 0;
    ++m_nExpected;
    ++m_progress.nBlocks;
    Send(xmodem::ACK);
}

void CXmodemReceiver::OnHeader(std::span<const std::uint8_t> data, TransferClock::time_point tNow) {
    const auto pNul = std::find(data.begin(), data.end(), 0);
    const std::string strName(data.begin(), pNul);
    if (strName.empty()) {
        Send(xmodem::ACK);  // the empty block 0 closes the batch
        End(ETransferState::Done, {});
        return;
    }
    std::optional<std::uint64_t> nSize;
    const std::span<const std::uint8_t> rest = pNul == data.end()
                                                   ? std::span<const std::uint8_t>()
                                                   : data.subspan(pNul - data.begin() + 1);
    if (!ParseSize(rest, nSize) || (nSize && *nSize > m_sink.Limit())) {
        End(ETransferState::Failed, "对方声明的文件大小超出允许的范围");
        return;
    }
    const SSinkAnswer answer = m_sink.Begin(strName, nSize);
    if (!answer.bAccepted) {
        End(ETransferState::Failed, answer.strMessage);
        return;
    }
    if (!answer.strMessage.empty()) {
        m_strMessage += (m_strMessage.empty() ? "" : "；") + answer.strMessage;
    }
    m_bFileOpen = true;
    m_progress.strFile = CleanTransferName(strName).value_or(strName);
    m_progress.nBytes = 0;
    m_progress.nTotal = nSize.value_or(0);
    ++m_progress.nBlocks;
    m_nSize = nSize;
    m_nWritten = 0;
    m_held.clear();
    m_nBlocksBeyond = 0;
    m_bEotOnce = false;
    m_bWantHeader = false;
    m_nExpected = 1;
    m_nErrors = 0;
    Send(xmodem::ACK);
    Send(xmodem::CRC);
    m_tDeadline = tNow + m_timeouts.answer;
}

bool CXmodemReceiver::Deliver(std::span<const std::uint8_t> data) {
    if (m_nSize) {
        const std::uint64_t nLeft = *m_nSize - m_nWritten;
        if (nLeft == 0 && ++m_nBlocksBeyond > 1) {
            End(ETransferState::Failed, "对方发送的数据超出了声明的文件大小");
            return false;
        }
        return Store(data.data(),
                     static_cast<std::size_t>(std::min<std::uint64_t>(nLeft, data.size())));
    }
    // Without a size, the last block's padding can only be told at the end: hold each block back.
    if (m_nWritten + m_held.size() + data.size() > m_sink.Limit()) {
        End(ETransferState::Failed, "接收的数据超出了允许的大小");
        return false;
    }
    if (!Store(m_held.data(), m_held.size())) {
        return false;
    }
    m_held.assign(data.begin(), data.end());
    return true;
}

bool CXmodemReceiver::Store(const std::uint8_t* p, std::size_t n) {
    if (n > 0 && !m_sink.Write(p, n)) {
        End(ETransferState::Failed, "写入文件失败");
        return false;
    }
    m_nWritten += n;
    m_progress.nBytes = m_nWritten;
    return true;
}

void CXmodemReceiver::OnEot(TransferClock::time_point tNow) {
    m_tDeadline = tNow + m_timeouts.answer;
    if (m_bWantHeader) {
        Send(xmodem::ACK);  // an EOT again: our ACK of it was lost
        Send(xmodem::CRC);
        return;
    }
    if (IsYmodem() && !m_bEotOnce) {
        m_bEotOnce = true;
        Send(xmodem::NAK);
        return;
    }
    while (!m_held.empty() && m_held.back() == xmodem::SUB) {
        m_held.pop_back();
    }
    if (!Store(m_held.data(), m_held.size())) {
        return;
    }
    m_held.clear();
    if (m_nSize && m_nWritten < *m_nSize) {
        End(ETransferState::Failed, "文件不完整：对方在声明的大小之前结束了文件");
        return;
    }
    m_bFileOpen = false;
    if (const std::string strNote = m_sink.End(true); !strNote.empty()) {
        End(ETransferState::Failed, "写入文件失败；" + strNote);  // the file could not be closed
        return;
    }
    ++m_progress.nFiles;
    Send(xmodem::ACK);
    if (!IsYmodem()) {
        End(ETransferState::Done, m_bStarted ? "已去掉最后一块末尾的填充字节（0x1A）" : "");
        return;
    }
    m_bWantHeader = true;
    m_nExpected = 0;
    m_nErrors = 0;
    Send(xmodem::CRC);
}
