#include "NoticeQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {
// Counts wake-ups; a consumer waits for them.
class CWakeCounter : public ISerialOwner {
public:
    void OnNoticesPending() override {
        {
            std::lock_guard lock(m_mtx);
            ++m_nWakes;
        }
        m_cv.notify_all();
    }
    void OnSerialEvent(unsigned, unsigned) override {}

    // Waits for a wake-up that has not been consumed yet.
    bool WaitWake(int nLimitMs) {
        std::unique_lock lock(m_mtx);
        if (!m_cv.wait_for(lock, std::chrono::milliseconds(nLimitMs),
                           [this] { return m_nWakes > m_nConsumed; })) {
            return false;
        }
        m_nConsumed = m_nWakes;
        return true;
    }
    unsigned Wakes() {
        std::lock_guard lock(m_mtx);
        return m_nWakes;
    }

private:
    std::mutex m_mtx;
    std::condition_variable m_cv;
    unsigned m_nWakes = 0;
    unsigned m_nConsumed = 0;
};
}  // namespace

TEST(NoticeQueue, KeepsOrderAcrossCodesAndByteRunsWithPromptNoticesFirst) {
    CWakeCounter owner;
    CNoticeQueue queue(&owner);
    const std::uint8_t run1[] = {0x00, 0xFF};
    const std::uint8_t run2[] = {0x41};
    queue.Push(SN_PORT_EVENT);
    queue.PushBytes(run1, 2, ReadTime{});
    queue.Push(SN_CTS_CHANGED);
    queue.Push(SN_LINE_ERROR);
    queue.PushBytes(run2, 1, ReadTime{});
    queue.Push(SN_TX_EMPTY);
    queue.Push(SN_PORT_LOST);

    std::vector<CNotice> batch;
    EXPECT_FALSE(queue.Take(1 << 20, batch));
    std::vector<unsigned> arrCodes;
    for (const CNotice& notice : batch) {
        arrCodes.push_back(notice.nCode);
    }
    EXPECT_EQ(arrCodes,
              (std::vector<unsigned>{SN_CTS_CHANGED, SN_TX_EMPTY, SN_PORT_EVENT, SN_RX_BYTE,
                                     SN_LINE_ERROR, SN_RX_BYTE, SN_PORT_LOST}));
    EXPECT_EQ(batch[3].bytes, (std::vector<std::uint8_t>{0x00, 0xFF}));
    EXPECT_EQ(batch[5].bytes, (std::vector<std::uint8_t>{0x41}));
}

// An owner that takes bytes only every so often still gets the end of a transmission at once.
TEST(NoticeQueue, PromptNoticesWakeTheirOwnLaneAndAreTakenAheadOfBytes) {
    struct CTwoLaneOwner : CWakeCounter {
        void OnPromptNoticesPending() override { ++nPromptWakes; }
        int nPromptWakes = 0;
    } owner;
    CNoticeQueue queue(&owner);
    const std::uint8_t by = 0x41;
    queue.PushBytes(&by, 1, ReadTime{});
    EXPECT_EQ(owner.Wakes(), 1u);
    queue.Push(SN_TX_EMPTY);
    queue.Push(SN_RING);
    EXPECT_EQ(owner.nPromptWakes, 1);
    EXPECT_EQ(owner.Wakes(), 1u);

    std::vector<CNotice> batch;
    queue.TakePrompt(batch);
    ASSERT_EQ(batch.size(), 2u);
    EXPECT_EQ(batch[0].nCode, SN_TX_EMPTY);
    EXPECT_EQ(batch[1].nCode, SN_RING);
    // Drained: the next one wakes the lane again; the bytes still wait without a new wake.
    queue.Push(SN_DSR_CHANGED);
    EXPECT_EQ(owner.nPromptWakes, 2);
    EXPECT_EQ(owner.Wakes(), 1u);
    batch.clear();
    EXPECT_FALSE(queue.Take(1 << 20, batch));
    ASSERT_EQ(batch.size(), 2u);
    EXPECT_EQ(batch[0].nCode, SN_DSR_CHANGED);
    EXPECT_EQ(batch[1].bytes, (std::vector<std::uint8_t>{0x41}));
}

TEST(NoticeQueue, WakesTheOwnerOnlyWhenItTurnsNonEmpty) {
    CWakeCounter owner;
    CNoticeQueue queue(&owner);
    queue.Push(SN_PORT_EVENT);
    queue.Push(SN_PORT_EVENT);
    EXPECT_EQ(owner.Wakes(), 1u);
    std::vector<CNotice> batch;
    EXPECT_FALSE(queue.Take(1024, batch));
    queue.Push(SN_PORT_EVENT);
    EXPECT_EQ(owner.Wakes(), 2u);
}

TEST(NoticeQueue, TakeStopsAtTheBudgetAndSaysMoreIsWaiting) {
    CWakeCounter owner;
    CNoticeQueue queue(&owner);
    const std::vector<std::uint8_t> run(1000, 0x55);
    for (int i = 0; i < 10; ++i) {
        queue.PushBytes(run.data(), run.size(), ReadTime{});
    }
    std::vector<CNotice> batch;
    EXPECT_TRUE(queue.Take(2500, batch));
    EXPECT_EQ(batch.size(), 3u);  // whole runs until the budget is reached
    batch.clear();
    EXPECT_FALSE(queue.Take(1 << 20, batch));
    EXPECT_EQ(batch.size(), 7u);
}

TEST(NoticeQueue, FullQueueRefusesRoomUntilDrainedToHalf) {
    CWakeCounter owner;
    CNoticeQueue queue(&owner, 10000);
    std::atomic<int> nRoomFreed{0};
    queue.SetRoomFreedHandler([&] { ++nRoomFreed; });
    const std::vector<std::uint8_t> run(1000, 0x55);
    int nPushed = 0;
    while (queue.HasRoom()) {
        queue.PushBytes(run.data(), run.size(), ReadTime{});
        ++nPushed;
        ASSERT_LT(nPushed, 100);
    }
    EXPECT_GE(nPushed, 8);

    std::vector<CNotice> batch;
    queue.Take(1000, batch);  // one run: still above half
    EXPECT_EQ(nRoomFreed, 0);
    queue.Take(1 << 20, batch);
    EXPECT_EQ(nRoomFreed, 1);
    EXPECT_TRUE(queue.HasRoom());
}

TEST(NoticeQueue, NoNoticeIsStrandedWhilePushAndTakeRace) {
    CWakeCounter owner;
    CNoticeQueue queue(&owner);
    constexpr unsigned kCount = 200000;
    std::thread producer([&] {
        for (unsigned i = 0; i < kCount; ++i) {
            if (i % 3 == 0) {
                const std::uint8_t by = static_cast<std::uint8_t>(i);
                queue.PushBytes(&by, 1, ReadTime{});
            } else {
                queue.Push(SN_PORT_EVENT, i);
            }
            if (i % 1000 == 0) {
                std::this_thread::yield();
            }
        }
    });
    // The consumer takes only after a wake-up or when told that more waits.
    unsigned nNext = 0;
    bool bOrdered = true;
    while (nNext < kCount && owner.WaitWake(10000)) {
        bool bMore = true;
        while (bMore) {
            std::vector<CNotice> batch;
            bMore = queue.Take(64, batch);
            for (const CNotice& notice : batch) {
                const unsigned nExpected =
                    notice.nCode == SN_RX_BYTE ? static_cast<std::uint8_t>(nNext) : nNext;
                const unsigned nGot =
                    notice.nCode == SN_RX_BYTE ? notice.bytes.at(0) : notice.nValue;
                bOrdered = bOrdered && nGot == nExpected &&
                           (notice.nCode == SN_RX_BYTE) == (nNext % 3 == 0);
                ++nNext;
            }
        }
    }
    producer.join();
    EXPECT_EQ(nNext, kCount);
    EXPECT_TRUE(bOrdered);
}
