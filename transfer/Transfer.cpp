#include "Transfer.h"

#include <algorithm>

#include "Checksum.h"

namespace {

// Draining after a cancel: the quiet that ends it, and its longest time.
constexpr auto kDrainQuiet = std::chrono::milliseconds(300);
constexpr auto kDrainMost = std::chrono::seconds(2);
constexpr const char* kCancelled = "已取消传输";

}  // namespace

void CTransferMachine::Cancel(TransferClock::time_point) {
    if (IsRunning()) {
        SendCancel();
        End(ETransferState::Cancelled, kCancelled);
    }
}

void CTransferMachine::StartDrain(TransferClock::time_point tNow) {
    m_bDraining = true;
    m_tDrainEnd = tNow + kDrainMost;
    m_tDeadline = tNow + kDrainQuiet;
}

void CTransferMachine::OnDrainBytes(TransferClock::time_point tNow) {
    m_tDeadline = std::min(tNow + kDrainQuiet, m_tDrainEnd);
}

void CTransferMachine::OnDrainTime(TransferClock::time_point tNow) {
    if (tNow >= m_tDeadline) {
        End(ETransferState::Cancelled, kCancelled);
    }
}

void CTransferMachine::LineLost(const std::string& strWhy) {
    if (IsRunning()) {
        End(ETransferState::Failed, strWhy);
    }
}

std::vector<std::uint8_t> CTransferMachine::TakeOutput() {
    std::vector<std::uint8_t> out;
    out.swap(m_out);
    return out;
}

void CTransferMachine::Send(std::span<const std::uint8_t> bytes) {
    m_out.insert(m_out.end(), bytes.begin(), bytes.end());
}

void CTransferMachine::SendCancel() {
    // More than two, so that one lost on the line still leaves a pair.
    for (int i = 0; i < 5; ++i) {
        m_out.push_back(xmodem::CAN);
    }
}

void CTransferMachine::End(ETransferState eState, const std::string& strMessage) {
    if (eState == ETransferState::Failed) {
        SendCancel();
    }
    m_eState = eState;
    if (!strMessage.empty()) {
        m_strMessage = m_strMessage.empty() ? strMessage : strMessage + "；" + m_strMessage;
    }
    m_tDeadline = TransferClock::time_point::max();
    OnEnd(eState);
}

bool CTransferMachine::CountCancel(std::uint8_t by) {
    m_nCans = by == xmodem::CAN ? m_nCans + 1 : 0;
    if (m_nCans >= 2) {
        End(ETransferState::Cancelled, "对方取消了传输");
        return true;
    }
    return false;
}

std::vector<std::uint8_t> MakeBlock(std::uint8_t nNumber, std::span<const std::uint8_t> data,
                                    std::size_t nSize, std::uint8_t byPad, bool bCrc) {
    std::vector<std::uint8_t> block;
    block.reserve(nSize + 5);
    block.push_back(nSize == 1024 ? xmodem::STX : xmodem::SOH);
    block.push_back(nNumber);
    block.push_back(static_cast<std::uint8_t>(~nNumber));
    block.insert(block.end(), data.begin(), data.end());
    block.resize(3 + nSize, byPad);
    const std::span<const std::uint8_t> payload(block.data() + 3, nSize);
    if (bCrc) {
        const std::uint16_t crc = Crc16Ccitt(payload, 0);
        block.push_back(static_cast<std::uint8_t>(crc >> 8));
        block.push_back(static_cast<std::uint8_t>(crc));
    } else {
        block.push_back(Sum8(payload));
    }
    return block;
}
