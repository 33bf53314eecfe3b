// The engine against a scripted device: what a pseudo-terminal cannot play.
#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <thread>

#include "FakeSerialLine.h"
#include "SerialLink.h"
#include "SerialTestSupport.h"

namespace {
std::vector<std::uint8_t> Pattern(std::size_t nCount, unsigned nSeed = 0) {
    std::vector<std::uint8_t> bytes(nCount);
    for (std::size_t i = 0; i < nCount; ++i) {
        bytes[i] = static_cast<std::uint8_t>((i * 31 + (i >> 9) + nSeed) & 0xFF);
    }
    return bytes;
}

class SerialLinkFake : public ::testing::Test {
protected:
    void SetUp() override {
        MapCom1(m_link, m_folder, "/fake/ttyFAKE0");
        m_link.SetDeviceFactory(m_pLine->Factory());
    }
    bool OpenAndWatch(const PortSettings& settings = {}) {
        return m_link.Open(&m_owner, settings) && m_link.StartWatcher();
    }
    bool Pump(const std::function<bool()>& pred) { return m_owner.PumpUntil(m_link, pred); }

    CTempFolder m_folder;
    std::shared_ptr<CFakeSerialLine> m_pLine = std::make_shared<CFakeSerialLine>();
    CRecordingOwner m_owner;
    CSerialLink m_link;  // last: closed before the owner and the line go
};
}  // namespace

TEST_F(SerialLinkFake, CloseOnAnEngineNeverOpenedChangesNothing) {
    m_link.Close();
    m_link.Close();
    std::uint32_t dwStatus = 0;
    EXPECT_FALSE(m_link.IsOpen());
    EXPECT_FALSE(m_link.DeliverNotices());
    EXPECT_FALSE(m_link.Write(reinterpret_cast<const std::uint8_t*>("x"), 1));
    EXPECT_FALSE(m_link.StartWatcher());
    EXPECT_FALSE(m_link.GetModemStatus(dwStatus));
    EXPECT_FALSE(m_link.SetDTR());
    EXPECT_FALSE(m_link.IsTransmitting());
    EXPECT_EQ(m_link.GetTxDone(), 0u);
    EXPECT_TRUE(m_owner.codes.empty());
}

TEST_F(SerialLinkFake, PortNumberWithoutADeviceDoesNotOpen) {
    PortSettings settings;
    settings.nPort = 7;
    EXPECT_FALSE(m_link.Open(&m_owner, settings));
    EXPECT_FALSE(m_link.IsOpen());
    EXPECT_FALSE(m_pLine->IsOpen());
}

TEST_F(SerialLinkFake, FailedOpenLeavesTheEngineClosedAndALaterOpenWorks) {
    for (int nError : {ENOENT, EBUSY, EACCES}) {
        m_pLine->SetOpenError(nError);
        EXPECT_FALSE(m_link.Open(&m_owner, {})) << nError;
        EXPECT_FALSE(m_link.IsOpen());
        EXPECT_NE(access((m_folder.PathOf("LCK..ttyFAKE0")).c_str(), F_OK), 0) << "lock file left";
    }
    m_pLine->SetOpenError(0);
    ASSERT_TRUE(OpenAndWatch());
    EXPECT_EQ(access((m_folder.PathOf("LCK..ttyFAKE0")).c_str(), F_OK), 0);
    m_pLine->Receive({0x42});
    EXPECT_TRUE(Pump([&] { return m_owner.bytes.size() == 1; }));
    m_link.Close();
    EXPECT_FALSE(m_pLine->IsOpen());
    EXPECT_NE(access((m_folder.PathOf("LCK..ttyFAKE0")).c_str(), F_OK), 0);
}

TEST_F(SerialLinkFake, OpenOnAnOpenEngineReopensIt) {
    ASSERT_TRUE(OpenAndWatch());
    ASSERT_TRUE(m_link.Open(&m_owner, {}));
    EXPECT_TRUE(m_link.IsOpen());
    EXPECT_TRUE(m_pLine->IsOpen());
    EXPECT_TRUE(m_link.StartWatcher());
    EXPECT_FALSE(m_link.StartWatcher());  // already running
    m_pLine->Receive({1, 2, 3});
    EXPECT_TRUE(Pump([&] { return m_owner.bytes.size() == 3; }));
}

TEST_F(SerialLinkFake, StatusLineChangesRaiseTheirNotices) {
    struct Row {
        std::uint32_t dwBit;
        unsigned nCode;
    };
    const Row rows[] = {{MS_CTS_ON, SN_CTS_CHANGED},
                        {MS_DSR_ON, SN_DSR_CHANGED},
                        {MS_RING_ON, SN_RING},
                        {MS_RLSD_ON, SN_CD_CHANGED}};
    ASSERT_TRUE(OpenAndWatch());
    for (const Row& row : rows) {
        m_pLine->SetStatusLines(row.dwBit);
        EXPECT_TRUE(Pump([&] { return m_owner.Count(row.nCode) == 1; })) << row.nCode;
        std::uint32_t dwStatus = 0;
        EXPECT_TRUE(m_link.GetModemStatus(dwStatus));
        EXPECT_EQ(dwStatus, row.dwBit);
    }
    // Each change came with its wake.
    EXPECT_TRUE(Pump([&] { return m_owner.Count(SN_PORT_EVENT) >= 4; }));
}

TEST_F(SerialLinkFake, LineErrorsAndBreaksRaiseLineError) {
    ASSERT_TRUE(OpenAndWatch());
    LineErrorCounts frame;
    frame.dwFrame = 1;
    m_pLine->AddLineErrors(frame);
    EXPECT_TRUE(Pump([&] { return m_owner.Count(SN_LINE_ERROR) == 1; }));
    LineErrorCounts brk;
    brk.dwBreak = 1;
    m_pLine->AddLineErrors(brk);
    EXPECT_TRUE(Pump([&] { return m_owner.Count(SN_LINE_ERROR) == 2; }));
}

TEST_F(SerialLinkFake, EventMaskSilencesTheEventsLeftOut) {
    ASSERT_TRUE(OpenAndWatch());
    EXPECT_TRUE(m_link.SetEventMask(EV_ALL & ~EV_CTS));
    m_pLine->SetStatusLines(MS_CTS_ON);
    m_pLine->SetStatusLines(MS_CTS_ON | MS_DSR_ON);
    EXPECT_TRUE(Pump([&] { return m_owner.Count(SN_DSR_CHANGED) == 1; }));
    EXPECT_EQ(m_owner.Count(SN_CTS_CHANGED), 0u);
}

TEST_F(SerialLinkFake, DeviceWithoutStatusLinesAnswersFalse) {
    m_pLine->SetHasStatusLines(false);
    ASSERT_TRUE(OpenAndWatch());
    std::uint32_t dwStatus = 0;
    EXPECT_FALSE(m_link.GetModemStatus(dwStatus));
    EXPECT_FALSE(m_link.SetDTR());
    EXPECT_FALSE(m_link.ClearRTS());
    m_pLine->Receive({7});
    EXPECT_TRUE(Pump([&] { return m_owner.bytes.size() == 1; }));
}

TEST_F(SerialLinkFake, DtrAndRtsFollowTheCalls) {
    ASSERT_TRUE(OpenAndWatch());
    EXPECT_TRUE(m_link.SetDTR());
    EXPECT_TRUE(m_pLine->OutputLine(EOutputLine::DTR));
    EXPECT_FALSE(m_pLine->OutputLine(EOutputLine::RTS));
    EXPECT_TRUE(m_link.SetRTS());
    EXPECT_TRUE(m_pLine->OutputLine(EOutputLine::RTS));
    EXPECT_TRUE(m_link.ClearDTR());
    EXPECT_FALSE(m_pLine->OutputLine(EOutputLine::DTR));
    EXPECT_TRUE(m_link.ClearRTS());
    EXPECT_FALSE(m_pLine->OutputLine(EOutputLine::RTS));
}

TEST_F(SerialLinkFake, ShortWritesAndEagainDeliverEveryByteInOrder) {
    struct Row {
        std::size_t nLimit;
        unsigned nEagainEvery;
    };
    const Row rows[] = {{1, 0}, {7, 3}, {4096, 2}, {0, 2}, {1000, 1000}};
    for (const Row& row : rows) {
        m_pLine = std::make_shared<CFakeSerialLine>();
        m_link.SetDeviceFactory(m_pLine->Factory());
        m_pLine->SetWriteLimit(row.nLimit);
        m_pLine->SetEagainEvery(row.nEagainEvery);
        ASSERT_TRUE(OpenAndWatch());
        const auto bytes = Pattern(row.nLimit == 1 ? 5000 : 200000, row.nEagainEvery);
        const std::size_t nHalf = bytes.size() / 2;
        ASSERT_TRUE(m_link.Write(bytes.data(), nHalf));
        ASSERT_TRUE(m_link.Write(bytes.data() + nHalf, bytes.size() - nHalf));
        m_owner.codes.clear();
        EXPECT_TRUE(
            Pump([&] { return m_owner.Count(SN_TX_EMPTY) >= 1 && !m_link.IsTransmitting(); }));
        EXPECT_EQ(m_pLine->Sent(), bytes) << row.nLimit << "/" << row.nEagainEvery;
        EXPECT_GE(m_pLine->DrainCount(), 1u);
        m_link.Close();
    }
}

TEST_F(SerialLinkFake, WritingNeverThrowsAwayReceivedBytes) {
    ASSERT_TRUE(OpenAndWatch());
    m_pLine->Receive(Pattern(1000));
    const std::uint8_t by = 0x55;
    ASSERT_TRUE(m_link.Write(&by, 1));
    EXPECT_TRUE(Pump([&] { return m_owner.bytes.size() == 1000 && m_owner.Count(SN_TX_EMPTY); }));
    EXPECT_EQ(m_owner.bytes, Pattern(1000));
}

TEST_F(SerialLinkFake, EmptyWriteStillEndsWithTxEmpty) {
    ASSERT_TRUE(OpenAndWatch());
    ASSERT_TRUE(m_link.Write(nullptr, 0));
    EXPECT_TRUE(Pump([&] { return m_owner.Count(SN_TX_EMPTY) == 1; }));
}

TEST_F(SerialLinkFake, StreamSendsAnyLengthInBoundedChunks) {
    ASSERT_TRUE(OpenAndWatch());
    constexpr std::size_t kTotal = 5u << 20;
    const auto source = Pattern(kTotal, 3);
    std::size_t nPos = 0;
    std::size_t nLargestAsk = 0;
    m_pLine->SetWriteLimit(3000);
    ASSERT_TRUE(m_link.WriteStream([&](std::uint8_t* pBuf, std::size_t nCap) -> long {
        nLargestAsk = std::max(nLargestAsk, nCap);
        const std::size_t n = std::min<std::size_t>({nCap, kTotal - nPos, 50000});
        std::copy_n(source.begin() + static_cast<long>(nPos), n, pBuf);
        nPos += n;
        return static_cast<long>(n);
    }));
    EXPECT_TRUE(Pump([&] { return m_owner.Count(SN_TX_EMPTY) == 1; }));
    EXPECT_EQ(m_pLine->Sent(), source);
    EXPECT_EQ(m_link.GetTxDone(), kTotal);
    EXPECT_LE(nLargestAsk, 64u * 1024);
}

TEST_F(SerialLinkFake, StreamReadErrorEndsTheTransmission) {
    ASSERT_TRUE(OpenAndWatch());
    int nCalls = 0;
    ASSERT_TRUE(m_link.WriteStream([&](std::uint8_t* pBuf, std::size_t) -> long {
        if (++nCalls == 3) {
            return -1;
        }
        pBuf[0] = 0x61;
        return 1;
    }));
    EXPECT_TRUE(Pump([&] { return m_owner.Count(SN_TX_EMPTY) == 1; }));
    EXPECT_EQ(m_pLine->Sent(), (std::vector<std::uint8_t>{0x61, 0x61}));
}

// The driver may still hold what was written last (a transfer's CAN CAN): closing keeps it.
TEST_F(SerialLinkFake, CloseWhenIdleDiscardsNothing) {
    ASSERT_TRUE(OpenAndWatch());
    ASSERT_TRUE(m_link.Write(Pattern(3).data(), 3));
    EXPECT_TRUE(Pump([&] { return m_owner.Count(SN_TX_EMPTY) == 1; }));
    m_link.Close();
    EXPECT_EQ(m_pLine->DiscardCount(), 0u);
}

TEST_F(SerialLinkFake, CancelStopsAStalledTransmission) {
    ASSERT_TRUE(OpenAndWatch());
    m_pLine->SetWritable(false);  // flow control holds the output
    const auto bytes = Pattern(1000);
    ASSERT_TRUE(m_link.Write(bytes.data(), bytes.size()));
    EXPECT_TRUE(m_link.IsTransmitting());
    m_link.CancelWrite();
    EXPECT_TRUE(Pump([&] { return m_owner.Count(SN_TX_EMPTY) == 1; }));
    EXPECT_FALSE(m_link.IsTransmitting());
    EXPECT_EQ(m_pLine->SentCount(), 0u);
    EXPECT_GE(m_pLine->DiscardCount(), 1u);

    // The next transmission goes out whole.
    m_pLine->SetWritable(true);
    ASSERT_TRUE(m_link.Write(bytes.data(), 3));
    EXPECT_TRUE(Pump([&] { return m_owner.Count(SN_TX_EMPTY) == 2; }));
    EXPECT_EQ(m_pLine->Sent(), std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 3));
}

TEST_F(SerialLinkFake, CancelStopsAnEndlessStream) {
    ASSERT_TRUE(OpenAndWatch());
    m_pLine->SetWriteLimit(16);
    ASSERT_TRUE(m_link.WriteStream([](std::uint8_t* pBuf, std::size_t nCap) -> long {
        std::fill_n(pBuf, nCap, 0x33);
        return static_cast<long>(nCap);
    }));
    ASSERT_TRUE(m_pLine->WaitForSent(100000, 10000));
    m_link.CancelWrite();
    EXPECT_TRUE(Pump([&] { return m_owner.Count(SN_TX_EMPTY) == 1; }));
    EXPECT_FALSE(m_link.IsTransmitting());
    const std::size_t nSent = m_pLine->SentCount();
    EXPECT_EQ(m_link.GetTxDone(), nSent);
    EXPECT_FALSE(m_pLine->WaitForSent(nSent + 1, 50));
}

TEST_F(SerialLinkFake, CloseReturnsWhileOutputIsStalled) {
    ASSERT_TRUE(OpenAndWatch());
    m_pLine->SetWritable(false);
    const auto bytes = Pattern(1000);
    ASSERT_TRUE(m_link.Write(bytes.data(), bytes.size()));
    EXPECT_TRUE(ClosesPromptly(m_link));
    EXPECT_FALSE(m_pLine->IsOpen());
}

class SerialLinkFakeUnplug : public SerialLinkFake, public ::testing::WithParamInterface<long> {};

TEST_P(SerialLinkFakeUnplug, GivesOneLostNoticeThenNoCpuAndTheSameEntryReopens) {
    ASSERT_TRUE(OpenAndWatch());
    m_pLine->Receive({1, 2, 3});
    ASSERT_TRUE(Pump([&] { return m_owner.bytes.size() == 3; }));
    m_pLine->Unplug(GetParam());
    ASSERT_TRUE(Pump([&] { return m_owner.Count(SN_PORT_LOST) == 1; }));

    // The fake reports the hang-up at once on every wait: a watcher that kept going would spin.
    EXPECT_LT(CpuShareWhileIdle(300), kIdleCpuShare);
    EXPECT_FALSE(m_link.DeliverNotices());
    EXPECT_EQ(m_owner.Count(SN_PORT_LOST), 1u);

    m_link.Close();
    m_pLine->Replug();
    ASSERT_TRUE(OpenAndWatch());
    m_pLine->Receive({4});
    EXPECT_TRUE(Pump([&] { return m_owner.bytes.size() == 4; }));
}

INSTANTIATE_TEST_SUITE_P(ReadResults, SerialLinkFakeUnplug, ::testing::Values(0L, -EIO, -ENXIO),
                         [](const auto& info) {
                             return info.param == 0      ? std::string("EndOfFile")
                                    : info.param == -EIO ? std::string("EIO")
                                                         : std::string("ENXIO");
                         });

TEST_F(SerialLinkFake, ClosingFromANoticeDropsTheRest) {
    ASSERT_TRUE(OpenAndWatch());
    m_owner.fnOnEvent = [&](unsigned nCode, unsigned) {
        if (nCode == SN_RX_BYTE && m_owner.bytes.size() == 10) {
            m_link.Close();
        }
    };
    m_pLine->Receive(Pattern(1000));
    EXPECT_TRUE(Pump([&] { return m_owner.bytes.size() >= 10; }));
    EXPECT_FALSE(m_link.DeliverNotices());
    EXPECT_EQ(m_owner.bytes.size(), 10u);
    EXPECT_FALSE(m_link.IsOpen());
}

// Owners that take bytes one by one and owners that take a read's run at once.
class SerialLinkFakeRuns : public SerialLinkFake, public ::testing::WithParamInterface<bool> {};
INSTANTIATE_TEST_SUITE_P(ByteOrRun, SerialLinkFakeRuns, ::testing::Bool());

TEST_P(SerialLinkFakeRuns, DeliveringFromInsideANoticeKeepsTheOrder) {
    // An owner that runs an event loop from a notice (a message box, say) is asked to deliver
    // again while the outer delivery still holds the rest of its batch.
    m_owner.bTakeRuns = GetParam();
    ASSERT_TRUE(OpenAndWatch());
    const auto bytes = Pattern(20);
    bool bNested = false;
    m_owner.fnOnEvent = [&](unsigned nCode, unsigned) {
        if (nCode != SN_RX_BYTE || bNested) {
            return;
        }
        bNested = true;
        m_pLine->Receive(std::vector<std::uint8_t>(bytes.begin() + 10, bytes.end()));
        WaitPolling([&] {
            m_link.DeliverNotices();
            return m_owner.bytes.back() == bytes.back();
        });
    };
    m_pLine->Receive(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 10));
    EXPECT_TRUE(Pump([&] { return m_owner.bytes.size() >= bytes.size(); }));
    EXPECT_EQ(m_owner.bytes, bytes);
}

TEST_F(SerialLinkFake, RefusedSettingsAreListedInChinese) {
    m_pLine->SetSettingsFilter([](LineSettings& kept) {
        kept.nDataBits = 8;
        kept.eParity = EParity::None;
    });
    PortSettings settings;
    settings.dwBaudRate = 14400;
    settings.byDataBits = 7;
    settings.eParity = EParity::Even;
    settings.eStopBits = EStopBits::OneAndHalf;
    ASSERT_TRUE(m_link.Open(&m_owner, settings));
    const std::vector<std::string> expected = {
        "数据位：请求 7，实际 8",
        "校验位：请求 Even，实际 None",
        "停止位：请求 1.5，实际 2",
    };
    EXPECT_EQ(m_link.GetSettingDifferences(), expected);
    EXPECT_EQ(m_pLine->Settings().dwBaudRate, 14400u);

    m_link.SetFlowControl(EFlowControl::CtsDtr);
    auto withFlow = expected;
    withFlow.push_back("流控：请求 CTS/DTR，实际 None");
    EXPECT_EQ(m_link.GetSettingDifferences(), withFlow);
    EXPECT_EQ(m_pLine->Settings().eFlow, EFlowControl::None);

    m_link.SetFlowControl(EFlowControl::CtsRts);
    EXPECT_EQ(m_link.GetSettingDifferences(), expected);
    EXPECT_EQ(m_pLine->Settings().eFlow, EFlowControl::CtsRts);
    m_link.SetFlowControl(EFlowControl::XonXoff);
    EXPECT_EQ(m_pLine->Settings().eFlow, EFlowControl::XonXoff);
}

TEST_F(SerialLinkFake, OpenStartsWithoutFlowControl) {
    PortSettings settings;
    ASSERT_TRUE(m_link.Open(&m_owner, settings));
    m_link.SetFlowControl(EFlowControl::CtsRts);
    ASSERT_TRUE(m_link.Open(&m_owner, settings));
    EXPECT_EQ(m_pLine->Settings().eFlow, EFlowControl::None);
    EXPECT_TRUE(m_link.GetSettingDifferences().empty());
}

// An owner that takes bytes seldom on a slow line: the watcher gathers a paced stream for long.
class SerialLinkFakeGather : public SerialLinkFake {
protected:
    bool OpenGatheringAfterARead() {
        m_link.SetGatherMs(600000);
        PortSettings settings;
        settings.dwBaudRate = 110;  // 2 KiB take three minutes
        if (!OpenAndWatch(settings)) {
            return false;
        }
        m_pLine->Receive({1, 2, 3});
        return Pump([&] { return m_owner.bytes.size() == 3; });
    }
};

TEST_F(SerialLinkFakeGather, CloseAndHangUpEndAGatheringAtOnce) {
    m_pLine->SetHasStatusLines(false);  // no samples to end it
    ASSERT_TRUE(OpenGatheringAfterARead());
    m_pLine->Unplug();
    EXPECT_TRUE(Pump([&] { return m_owner.Count(SN_PORT_LOST) == 1; }));

    m_pLine->Replug();
    ASSERT_TRUE(OpenGatheringAfterARead());
    EXPECT_TRUE(ClosesPromptly(m_link));
}

TEST_F(SerialLinkFakeGather, LineChangesAreSampledDuringAGathering) {
    ASSERT_TRUE(OpenGatheringAfterARead());
    m_pLine->SetStatusLines(MS_CTS_ON);
    EXPECT_TRUE(Pump([&] { return m_owner.Count(SN_CTS_CHANGED) == 1; }));
}

TEST_F(SerialLinkFakeGather, BurstsLargerThanAGatheringArriveWholeAndInOrder) {
    m_link.SetGatherMs(20);
    ASSERT_TRUE(OpenAndWatch());
    std::vector<std::uint8_t> expected;
    for (const std::size_t nCount : {100u, 300000u, 10u, 5000u, 2047u, 70000u, 1u}) {
        const std::vector<std::uint8_t> burst = Pattern(nCount, static_cast<unsigned>(nCount));
        m_pLine->Receive(burst);
        expected.insert(expected.end(), burst.begin(), burst.end());
        ASSERT_TRUE(Pump([&] { return m_owner.bytes.size() == expected.size(); }));
    }
    EXPECT_EQ(m_owner.bytes, expected);
}

// A stream whose reader gives the pieces of arrPieces one per call.
static std::function<long(std::uint8_t*, std::size_t)> PieceReader(
    std::vector<std::string> arrPieces) {
    auto pPos = std::make_shared<std::size_t>(0);
    return [arrPieces = std::move(arrPieces), pPos](std::uint8_t* pBuf, std::size_t) -> long {
        if (*pPos == arrPieces.size()) {
            return 0;
        }
        const std::string& str = arrPieces[(*pPos)++];
        std::copy(str.begin(), str.end(), pBuf);
        return static_cast<long>(str.size());
    };
}

TEST_F(SerialLinkFake, PacedStreamDrainsBeforeEachLaterPiece) {
    ASSERT_TRUE(OpenAndWatch());
    ASSERT_TRUE(m_link.WriteStream(PieceReader({"one\n", "two\r\n", "three"}), 5));
    EXPECT_TRUE(Pump([&] { return m_owner.Count(SN_TX_EMPTY) == 1; }));
    const std::string strSent = "one\ntwo\r\nthree";
    EXPECT_EQ(m_pLine->Sent(), std::vector<std::uint8_t>(strSent.begin(), strSent.end()));
    // Two pauses, each after a drain, and the drain that ends the transmission.
    EXPECT_EQ(m_pLine->DrainCount(), 3u);
}

TEST_F(SerialLinkFake, CancelEndsThePauseOfAPacedStream) {
    ASSERT_TRUE(OpenAndWatch());
    // An hour between the pieces: only the cancel can end this transmission in time.
    ASSERT_TRUE(m_link.WriteStream(PieceReader({"first\n", "second\n"}), 3600 * 1000));
    ASSERT_TRUE(m_pLine->WaitForSent(6, 10000));
    m_link.CancelWrite();
    EXPECT_TRUE(Pump([&] { return m_owner.Count(SN_TX_EMPTY) == 1; }));
    EXPECT_EQ(m_pLine->SentCount(), 6u);
}

TEST_F(SerialLinkFake, CloseReturnsDuringThePauseOfAPacedStream) {
    ASSERT_TRUE(OpenAndWatch());
    ASSERT_TRUE(m_link.WriteStream(PieceReader({"first\n", "second\n"}), 3600 * 1000));
    ASSERT_TRUE(m_pLine->WaitForSent(6, 10000));
    EXPECT_TRUE(ClosesPromptly(m_link));
}

TEST_F(SerialLinkFake, UnplugDuringThePauseOfAPacedStreamEndsIt) {
    ASSERT_TRUE(OpenAndWatch());
    ASSERT_TRUE(m_link.WriteStream(PieceReader({"first\n", "second\n"}), 3600 * 1000));
    ASSERT_TRUE(m_pLine->WaitForSent(6, 10000));
    m_pLine->Unplug();
    EXPECT_TRUE(Pump([&] { return m_owner.Count(SN_TX_EMPTY) == 1; }));
    EXPECT_EQ(m_pLine->SentCount(), 6u);
}

// Each read is stamped by the watcher from the read clock, and the owner finds that time while
// the read's bytes are handed over, one by one or as a run.
TEST_F(SerialLinkFake, ReadTimesTravelWithTheBytesThroughTheQueue) {
    std::atomic<int> nReads{0};
    m_link.SetReadClock(
        [&nReads] { return ReadTime(std::chrono::seconds(1000 + nReads.fetch_add(1))); });
    for (const bool bRuns : {false, true}) {
        m_owner.bTakeRuns = bRuns;
        m_owner.bytes.clear();
        std::vector<std::pair<std::uint8_t, ReadTime>> arrSeen;
        m_owner.fnOnEvent = [&](unsigned nCode, unsigned nValue) {
            if (nCode == SN_RX_BYTE) {
                arrSeen.emplace_back(static_cast<std::uint8_t>(nValue), m_link.GetReadTime());
            }
        };
        ASSERT_TRUE(OpenAndWatch());
        const int nFirst = nReads;
        m_pLine->Receive({1, 2});
        ASSERT_TRUE(Pump([&] { return m_owner.bytes.size() == 2; }));
        m_pLine->Receive({3});
        ASSERT_TRUE(Pump([&] { return m_owner.bytes.size() == 3; }));
        m_link.Close();
        const ReadTime t1(std::chrono::seconds(1000 + nFirst));
        const ReadTime t2(std::chrono::seconds(1000 + nFirst + 1));
        // Taken as a run, the owner sees each read once, with its last byte.
        const std::vector<std::pair<std::uint8_t, ReadTime>> arrExpected =
            bRuns ? std::vector<std::pair<std::uint8_t, ReadTime>>{{2, t1}, {3, t2}}
                  : std::vector<std::pair<std::uint8_t, ReadTime>>{{1, t1}, {2, t1}, {3, t2}};
        EXPECT_EQ(arrSeen, arrExpected) << "runs " << bRuns;
    }
}
