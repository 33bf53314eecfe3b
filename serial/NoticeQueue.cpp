#include "NoticeQueue.h"

namespace {
// What an entry costs beyond its bytes, so that many tiny runs are bounded too.
constexpr std::size_t kEntryCost = sizeof(CNotice) + 32;
}  // namespace

bool IsPromptNotice(unsigned nCode) {
    switch (nCode) {
        case SN_TX_EMPTY:
        case SN_CTS_CHANGED:
        case SN_DSR_CHANGED:
        case SN_RING:
        case SN_CD_CHANGED:
            return true;
        default:
            return false;
    }
}

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
    const bool bPrompt = IsPromptNotice(notice.nCode);
    bool bSignal = false;
    {
        std::lock_guard lock(m_mtx);
        bool& bSignalled = bPrompt ? m_bPromptSignalled : m_bOwnerSignalled;
        (bPrompt ? m_prompt : m_notices).push_back(std::move(notice));
        m_nCost += nCost;
        bSignal = !bSignalled;
        bSignalled = true;
    }
    // Outside the lock: the owner may take the queue from its own thread at once.
    if (bSignal && m_pOwner != nullptr) {
        bPrompt ? m_pOwner->OnPromptNoticesPending() : m_pOwner->OnNoticesPending();
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

void CNoticeQueue::TakePromptLocked(std::vector<CNotice>& batch) {
    for (CNotice& notice : m_prompt) {
        m_nCost -= kEntryCost;
        batch.push_back(std::move(notice));
    }
    m_prompt.clear();
    m_bPromptSignalled = false;
}

void CNoticeQueue::TakePrompt(std::vector<CNotice>& batch) {
    std::lock_guard lock(m_mtx);
    TakePromptLocked(batch);
}

bool CNoticeQueue::Take(std::size_t nBudgetBytes, std::vector<CNotice>& batch) {
    std::lock_guard lock(m_mtx);
    TakePromptLocked(batch);
    std::size_t nTaken = 0;
    const std::size_t nPrompt = batch.size();
    while (!m_notices.empty() && (nTaken < nBudgetBytes || batch.size() == nPrompt)) {
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
