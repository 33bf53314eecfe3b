#pragma once
// The road from the engine's threads to the owner. Producers (watcher, transmitter) push notices
// and never wait; the owner's thread takes them in batches. Received bytes travel as runs (one
// entry per read), not one entry per byte.
//
// Two lanes. Received bytes, port events, line errors and the loss of the port keep their order
// among each other (the bytes that came before a loss are delivered before it). The prompt
// notices (IsPromptNotice: the transmit-empty notice and the status-line changes) go in a lane of
// their own, which Take() empties first and TakePrompt() takes alone: an owner that takes
// received bytes only every so often still learns at once that a transmission ended or a line
// changed.
//
// Waking the owner: ISerialOwner::OnNoticesPending() is called by the pushing thread when the
// queue turns from drained to non-empty, OnPromptNoticesPending() when the prompt lane does.
// "Drained" is decided by Take() and TakePrompt() under the same lock as the push, so a notice
// pushed while the owner is taking the last batch either lands in that batch, makes Take()
// report that more is waiting, or wakes the owner again. None is left behind without a wake-up.
//
// Bounding memory: queued bytes (plus a fixed cost per entry) are counted. At the limit
// HasRoom() says no and the watcher stops reading; when the owner has taken the queue down to
// half, the room-freed handler runs so the watcher resumes. Notices other than received bytes are
// always accepted: they are few and small.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

#include "SerialTypes.h"

// The transmit-empty notice and the status-line changes.
bool IsPromptNotice(unsigned nCode);

struct CNotice {
    unsigned nCode = 0;
    unsigned nValue = 0;
    std::vector<std::uint8_t> bytes;  // SN_RX_BYTE: the run of received bytes, in order
    ReadTime tRead{};                 // SN_RX_BYTE: when the watcher read them
};

class CNoticeQueue {
public:
    static constexpr std::size_t kDefaultLimit = 4u << 20;

    CNoticeQueue(ISerialOwner* pOwner, std::size_t nLimit = kDefaultLimit);
    CNoticeQueue(const CNoticeQueue&) = delete;
    CNoticeQueue& operator=(const CNoticeQueue&) = delete;

    // Any thread.
    void Push(unsigned nCode, unsigned nValue = 0);
    void PushBytes(const std::uint8_t* pBytes, std::size_t nCount, ReadTime tRead);

    // Watcher: true when more received bytes may be queued. False sets up a call of the
    // room-freed handler (made under the queue's lock, so it must only signal).
    bool HasRoom();
    void SetRoomFreedHandler(std::function<void()> fnRoomFreed);

    // EV_* bits of the port events whose notices the owner wants.
    void SetEventMask(std::uint32_t dwMask) { m_dwEventMask = dwMask; }
    bool Wants(std::uint32_t dwEvents) const { return (m_dwEventMask & dwEvents) != 0; }

    // Owner's thread: moves every prompt notice, then the oldest other notices to batch, whole
    // entries, until about nBudgetBytes received bytes (at least one entry). True when notices
    // remain.
    bool Take(std::size_t nBudgetBytes, std::vector<CNotice>& batch);
    // Owner's thread: moves the prompt notices alone to batch, oldest first.
    void TakePrompt(std::vector<CNotice>& batch);

private:
    void Append(CNotice&& notice, std::size_t nCost);
    void TakePromptLocked(std::vector<CNotice>& batch);

    ISerialOwner* const m_pOwner;
    const std::size_t m_nLimit;
    std::atomic<std::uint32_t> m_dwEventMask{EV_ALL};

    std::mutex m_mtx;
    std::deque<CNotice> m_notices;    // the ordered lane
    std::deque<CNotice> m_prompt;     // the prompt lane
    std::size_t m_nCost = 0;          // bytes queued plus the fixed cost of each entry
    bool m_bOwnerSignalled = false;   // OnNoticesPending() called and not yet drained
    bool m_bPromptSignalled = false;  // OnPromptNoticesPending() called, lane not yet drained
    bool m_bReaderWaiting = false;    // HasRoom() said no
    std::function<void()> m_fnRoomFreed;
};
