#include "NoticeQueue.h"

namespace {
// What an entry costs beyond its bytes, so that many tiny runs are bounded too.
constexpr std::size_t kEntryCost = sizeof(CNotice) + 32;
}  // namespace

CNoticeQueue::CNoticeQueue(ISerialOwner* pOwner, std::size_t nLimit)
    : m_pOwner(pOwner), m_nLimit(nLimit) {}

void CNoticeQueue::Push(unsigned nCode, unsigned nValue) {
    Append(CNotice{nCode, nValue, {}}, kEntryCost);
}

void CNoticeQueue::PushBytes(const std::uint8_t* pBytes, std::size_t nCount, ReadTime tRead) {
    if (nCount == 0) {
        return;
    }
    Append(CNotice{SN_RX_BYTE, 0, std::vector<std::uint8_t>(pBytes, pBytes + nCount), tRead},
           kEntryCost + nCount);
}

void CNoticeQueue::Append(CNotice&& notice, std::size_t nCost) {
    bool bSignal = false;
    {
        std::lock_guard lock(m_mtx);
        m_notices.push_back(std::move(notice));
        m_nCost += nCost;
        bSignal = !m_bOwnerSignalled;
        m_bOwnerSignalled = true;
    }
    // Outside the lock: the owner may take the queue from its own thread at once.
    if (bSignal && m_pOwner != nullptr) {
        m_pOwner->OnNoticesPending();
    }
}

bool CNoticeQueue::HasRoom() {
    std::lock_guard lock(m_mtx);
    if (m_nCost < m_nLimit) {
        return true;
    }
    m_bReaderWaiting = true;
    return false;
}

void CNoticeQueue::SetRoomFreedHandler(std::function<void()> fnRoomFreed) {
    std::lock_guard lock(m_mtx);
    m_fnRoomFreed = std::move(fnRoomFreed);
}

bool CNoticeQueue::Take(std::size_t nBudgetBytes, std::vector<CNotice>& batch) {
    std::lock_guard lock(m_mtx);
    std::size_t nTaken = 0;
    while (!m_notices.empty() && (nTaken < nBudgetBytes || batch.empty())) {
        CNotice& front = m_notices.front();
        nTaken += front.bytes.size();
        m_nCost -= kEntryCost + front.bytes.size();
        batch.push_back(std::move(front));
        m_notices.pop_front();
    }
    if (m_bReaderWaiting && m_nCost <= m_nLimit / 2) {
        m_bReaderWaiting = false;
        if (m_fnRoomFreed) {
            m_fnRoomFreed();
        }
    }
    if (m_notices.empty()) {
        m_bOwnerSignalled = false;
        return false;
    }
    return true;
}
