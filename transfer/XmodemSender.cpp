#include "XmodemSender.h"

#include <sys/stat.h>

#include <algorithm>
#include <cinttypes>

namespace {

constexpr std::size_t kShortTail = 896;  // YMODEM, XMODEM-1K: a tail this short goes in 128s
constexpr auto kCancelRepeat = std::chrono::milliseconds(100);
// CAN CAN goes out at most this often in a cancel: at once, a moment later, and once the receiver
// has answered meanwhile (one that empties its input as it answers throws away CANs that came
// with the block it answers; late under load, it may read both of the first pairs with it).
constexpr int kCancelSends = 4;
// The last word (XMODEM's EOT, YMODEM's closing block 0) is sent this many times at most, each
// waiting this long for its answer: a receiver that ends right after answering and empties its
// terminal's output then (lrzsz does) throws that answer away, and its data is home already.
constexpr int kLastWordSends = 3;
constexpr auto kLastWordAnswer = std::chrono::seconds(2);

std::string BaseName(const std::string& strPath) {
    const std::size_t nSlash = strPath.find_last_of('/');
    return nSlash == std::string::npos ? strPath : strPath.substr(nSlash + 1);
}

}  // namespace

CXmodemSender::CXmodemSender(ETransferProtocol eProtocol, std::vector<std::string> arrPaths,
                             STransferTimeouts timeouts)
    : m_eProtocol(eProtocol), m_arrPaths(std::move(arrPaths)), m_timeouts(timeouts) {
    if (!IsYmodem() && m_arrPaths.size() > 1) {
        m_arrPaths.resize(1);
    }
}

CXmodemSender::~CXmodemSender() {
    CloseFile();
}

void CXmodemSender::OnEnd(ETransferState) {
    CloseFile();
}

void CXmodemSender::CloseFile() {
    if (m_pFile != nullptr) {
        std::fclose(m_pFile);
        m_pFile = nullptr;
    }
}

std::string CXmodemSender::FileName() const {
    return m_nFile < m_arrPaths.size() ? BaseName(m_arrPaths[m_nFile]) : std::string();
}

void CXmodemSender::Start(TransferClock::time_point tNow) {
    if (m_arrPaths.empty()) {
        End(ETransferState::Failed, "没有要发送的文件");
        return;
    }
    // A file that cannot be read fails now, not after the receiver has started.
    if (!OpenFile()) {
        return;
    }
    m_bDataPhase = !IsYmodem();
    WaitForStart(tNow);
}

void CXmodemSender::WaitForStart(TransferClock::time_point tNow) {
    m_eStep = EStep::WaitStart;
    m_tDeadline = tNow + m_timeouts.start * m_timeouts.nStartTries;
}

bool CXmodemSender::OpenFile() {
    CloseFile();
    const std::string& strPath = m_arrPaths[m_nFile];
    struct stat info {};
    m_pFile = std::fopen(strPath.c_str(), "rb");
    if (m_pFile == nullptr || fstat(fileno(m_pFile), &info) != 0 || !S_ISREG(info.st_mode)) {
        End(ETransferState::Failed, "无法读取文件：" + BaseName(strPath));
        return false;
    }
    m_nSize = static_cast<std::uint64_t>(info.st_size);
    m_nModified = static_cast<std::uint64_t>(std::max<time_t>(info.st_mtime, 0));
    m_nLeft = IsYmodem() ? m_nSize : UINT64_MAX;
    m_pending.clear();
    m_progress.strFile = BaseName(strPath);
    m_progress.nBytes = 0;
    m_progress.nTotal = m_nSize;
    return true;
}

void CXmodemSender::Cancel(TransferClock::time_point tNow) {
    if (IsRunning() && !m_bCancelling) {
        m_bCancelling = true;
        SendCancel();
        ++m_nCancelSends;
        m_tDeadline = tNow + kCancelRepeat;
    }
}

void CXmodemSender::OnCancellingBytes(std::span<const std::uint8_t> bytes,
                                      TransferClock::time_point tNow) {
    if (IsDraining()) {
        OnDrainBytes(tNow);
    }
    const bool bAnswer = std::ranges::any_of(bytes, [](std::uint8_t by) {
        return by == xmodem::ACK || by == xmodem::NAK || by == xmodem::CRC;
    });
    m_bCancelDue = m_bCancelDue || (bAnswer && m_nCancelSends < kCancelSends);
    if (m_bCancelDue) {
        m_tDeadline = tNow + m_timeouts.settle;  // on a quiet line
    }
}

void CXmodemSender::OnBytes(std::span<const std::uint8_t> bytes, TransferClock::time_point tNow) {
    if (m_bCancelling) {
        OnCancellingBytes(bytes, tNow);
        return;
    }
    const std::uint64_t nSends = m_nSends;
    m_tHeard = tNow;
    for (const std::uint8_t by : bytes) {
        if (!IsRunning() || CountCancel(by)) {
            return;
        }
        // What came with the answer that sent a block left before it: no answer to it (a
        // receiver's 'C's gathered before the start would each ask for the first block again).
        if (m_nSends == nSends) {
            OnByte(by, tNow);
        }
    }
}

void CXmodemSender::OnByte(std::uint8_t by, TransferClock::time_point tNow) {
    switch (m_eStep) {
        case EStep::WaitStart:
            if (by == xmodem::CRC || by == xmodem::NAK) {
                OnStartAsked(by == xmodem::CRC, tNow);
            }
            break;
        case EStep::Settle:
            m_tDeadline = tNow + m_timeouts.settle;  // not quiet yet
            break;
        case EStep::WaitAnswer:
            if (by == xmodem::ACK) {
                OnAck(tNow);
            } else if (by == xmodem::NAK && m_bEot && IsYmodem() && m_nEotNaks++ == 0) {
                QueueBlock(tNow);  // YMODEM's receiver asks for every EOT twice
            } else if (by == xmodem::NAK ||
                       (by == xmodem::CRC && !m_bEot && (m_bHeader || m_nNumber == 1))) {
                // 'C' again before the first block of a file: it was not received either.
                Resend(tNow);
            }
            break;
    }
}

void CXmodemSender::OnStartAsked(bool bCrc, TransferClock::time_point tNow) {
    if (!m_bStarted) {
        m_bStarted = true;
        m_bCrc = bCrc;
    }
    if (m_bDataPhase) {
        Next(tNow);
        return;
    }
    if (m_nFile < m_arrPaths.size() && (m_pFile != nullptr || OpenFile())) {
        MakeHeader(false);
    } else if (IsRunning()) {
        MakeHeader(true);
    }
    if (IsRunning()) {
        QueueBlock(tNow);
    }
}

void CXmodemSender::MakeHeader(bool bClosing) {
    std::string strHeader;
    if (!bClosing) {
        char szFields[64];
        std::snprintf(szFields, sizeof szFields, "%" PRIu64 " %" PRIo64, m_nSize, m_nModified);
        strHeader = FileName() + '\0' + szFields;
    }
    const std::span<const std::uint8_t> data(
        reinterpret_cast<const std::uint8_t*>(strHeader.data()), strHeader.size());
    m_block = MakeBlock(0, data, strHeader.size() < 128 ? 128 : 1024, 0, m_bCrc);
    m_nNumber = 0;
    m_nBlockData = 0;
    m_bHeader = true;
    m_bClosing = bClosing;
    m_bEot = false;
    m_nTries = 0;
}

void CXmodemSender::Next(TransferClock::time_point tNow) {
    m_bHeader = false;
    m_nTries = 0;
    if (!ReadData()) {
        return;
    }
    if (m_nBlockData == 0) {
        m_block.assign(1, xmodem::EOT);
        m_bEot = true;
        m_nEotNaks = 0;
    }
    QueueBlock(tNow);
}

bool CXmodemSender::ReadData() {
    const bool b1K = m_bCrc && m_eProtocol != ETransferProtocol::Xmodem;
    const std::size_t nWant =
        static_cast<std::size_t>(std::min<std::uint64_t>(1024 - m_pending.size(), m_nLeft));
    if (nWant > 0) {
        const std::size_t nOld = m_pending.size();
        m_pending.resize(nOld + nWant);
        const std::size_t nRead = std::fread(m_pending.data() + nOld, 1, nWant, m_pFile);
        m_pending.resize(nOld + nRead);
        m_nLeft -= nRead;
        if (nRead < nWant && std::ferror(m_pFile)) {
            End(ETransferState::Failed, "读取文件失败：" + FileName());
            return false;
        }
        if (nRead < nWant && IsYmodem() && m_nLeft > 0) {
            End(ETransferState::Failed, "文件在发送时变短了：" + FileName());
            return false;
        }
    }
    const std::size_t nBlock = b1K && m_pending.size() > kShortTail ? 1024 : 128;
    m_nBlockData = std::min(nBlock, m_pending.size());
    if (m_nBlockData > 0) {
        ++m_nNumber;
        m_block = MakeBlock(m_nNumber, std::span(m_pending.data(), m_nBlockData), nBlock,
                            xmodem::SUB, m_bCrc);
        m_pending.erase(m_pending.begin(), m_pending.begin() + m_nBlockData);
    }
    return true;
}

void CXmodemSender::OnAck(TransferClock::time_point tNow) {
    m_progress.nBlocks += m_bEot ? 0 : 1;
    if (m_bClosing) {
        End(ETransferState::Done, {});
    } else if (m_bHeader) {
        m_bHeader = false;
        m_bDataPhase = true;
        m_nNumber = 0;
        WaitForStart(tNow);  // the receiver asks for the data with 'C'
    } else if (m_bEot) {
        m_bEot = false;
        CloseFile();
        ++m_progress.nFiles;
        if (!IsYmodem()) {
            End(ETransferState::Done, {});
            return;
        }
        ++m_nFile;
        m_bDataPhase = false;
        WaitForStart(tNow);
    } else {
        m_progress.nBytes += m_nBlockData;
        Next(tNow);
    }
}

void CXmodemSender::EndUnanswered() {
    if (m_bClosing) {
        End(ETransferState::Done, "接收方未确认批次结束块（文件均已被确认）");
        return;
    }
    ++m_progress.nFiles;
    End(ETransferState::Done, "接收方未确认结束符 EOT（数据块均已被确认）");
}

void CXmodemSender::Resend(TransferClock::time_point tNow) {
    // An answer this late: the receiver waited for a block that never came whole.
    m_bSettle = m_bSettle || tNow - m_tSent >= m_timeouts.character;
    if (++m_nTries > xmodem::kMaxRetries) {
        End(ETransferState::Failed,
            "连续 " + std::to_string(xmodem::kMaxRetries) + " 次未得到接收方确认，传输失败");
        return;
    }
    ++m_progress.nRetries;
    QueueBlock(tNow);
}

void CXmodemSender::QueueBlock(TransferClock::time_point tNow) {
    m_eStep = EStep::Settle;
    m_tDeadline = m_bSettle ? std::max(tNow, m_tHeard + m_timeouts.settle) : tNow;
    OnTime(tNow);
}

void CXmodemSender::OnTime(TransferClock::time_point tNow) {
    if (!IsRunning() || tNow < m_tDeadline) {
        return;
    }
    if (m_bCancelling && (m_bCancelDue || !IsDraining())) {
        // Once more, then what the receiver still says is dropped until the line is quiet.
        SendCancel();
        ++m_nCancelSends;
        m_bCancelDue = false;
        if (IsDraining()) {
            OnDrainBytes(tNow);
            OnDrainTime(tNow);  // ends it when its time is up
        } else {
            StartDrain(tNow);
        }
        return;
    }
    if (IsDraining()) {
        OnDrainTime(tNow);
        return;
    }
    switch (m_eStep) {
        case EStep::WaitStart:
            End(ETransferState::Failed, m_bStarted ? "接收方没有响应（等待下一个文件超时）"
                                                   : "接收方没有响应（等待开始超时）");
            break;
        case EStep::Settle:
            Send(m_block);
            ++m_nSends;
            m_tSent = tNow;
            m_eStep = EStep::WaitAnswer;
            m_tDeadline = tNow + (IsLastWord() ? std::min<TransferClock::duration>(
                                                     m_timeouts.answer, kLastWordAnswer)
                                               : m_timeouts.answer);
            break;
        case EStep::WaitAnswer:
            if (IsLastWord() && m_nTries + 1 >= kLastWordSends) {
                EndUnanswered();
            } else {
                Resend(tNow);
            }
            break;
    }
}
