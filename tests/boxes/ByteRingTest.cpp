// The receive box's ring: runs of bytes land as the same bytes pushed one at a time would.
#include <gtest/gtest.h>

#include <random>

#include "ByteRing.h"

TEST(ByteRingTest, RunsHoldWhatBytesOneAtATimeHold) {
    std::mt19937 random(7);
    CByteRing runs;
    CByteRing singles;
    std::uint8_t byNext = 0;
    // Short runs, runs across the wrap, and runs longer than the ring.
    for (std::size_t nCount : {0, 1, 100, 65535, 3, 65536, 70000, 5, 200000, 17}) {
        std::vector<std::uint8_t> run(nCount);
        for (std::uint8_t& by : run) {
            by = byNext++ ^ static_cast<std::uint8_t>(random());
        }
        runs.Push(run.data(), run.size());
        for (std::uint8_t by : run) {
            singles.Push(by);
        }
        ASSERT_EQ(runs.Total(), singles.Total()) << nCount;
        ASSERT_EQ(runs.Length(), singles.Length()) << nCount;
        ASSERT_EQ(runs.Bytes(), singles.Bytes()) << nCount;
    }
}
