// The engine on pseudo-terminal pairs: the test plays the device on the master side.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <memory>
#include <thread>

#include "ProcessProbes.h"
#include "PtyPair.h"
#include "SerialLink.h"
#include "SerialTestSupport.h"

namespace {
std::uint8_t PatternByte(std::size_t i) {
    return static_cast<std::uint8_t>((i * 131 + (i >> 11)) & 0xFF);
}

// Writes the pattern to the master until nTotal bytes are out or bStop is set.
class CMasterStreamer {
public:
    CMasterStreamer(int nMaster, std::size_t nTotal)
        : m_thread([this, nMaster, nTotal] { Run(nMaster, nTotal); }) {}
    ~CMasterStreamer() {
        m_bStop = true;
        m_thread.join();
    }
    std::size_t Written() const { return m_nWritten; }
    void Stop() { m_bStop = true; }

private:
    void Run(int nMaster, std::size_t nTotal) {
        std::vector<std::uint8_t> chunk(4096);
        while (m_nWritten < nTotal && !m_bStop) {
            const std::size_t nCount = std::min(chunk.size(), nTotal - m_nWritten);
            for (std::size_t i = 0; i < nCount; ++i) {
                chunk[i] = PatternByte(m_nWritten + i);
            }
            const ssize_t n = write(nMaster, chunk.data(), nCount);
            if (n > 0) {
                m_nWritten += static_cast<std::size_t>(n);
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                return;
            } else {
                pollfd pfd{nMaster, POLLOUT, 0};
                poll(&pfd, 1, 20);
            }
        }
    }
    std::atomic<bool> m_bStop{false};
    std::atomic<std::size_t> m_nWritten{0};
    std::thread m_thread;
};

bool IsPatternPrefix(const std::vector<std::uint8_t>& bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != PatternByte(i)) {
            ADD_FAILURE() << "byte " << i << " differs";
            return false;
        }
    }
    return true;
}

class SerialLinkPty : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_pty.IsValid());
        MapCom1(m_link, m_folder, m_pty.SlavePath());
    }
    bool OpenAndWatch(const PortSettings& settings = {}) {
        return m_link.Open(&m_owner, settings) && m_link.StartWatcher();
    }
    bool Pump(const std::function<bool()>& pred, std::size_t nBudget = 256 * 1024) {
        return m_owner.PumpUntil(m_link, pred, 20000, nBudget);
    }

    CPtyPair m_pty;
    CTempFolder m_folder;
    CRecordingOwner m_owner;
    CSerialLink m_link;
};
}  // namespace

TEST_F(SerialLinkPty, EveryByteValueArrivesUnchanged) {
    ASSERT_TRUE(OpenAndWatch());
    std::vector<std::uint8_t> all;
    for (int n = 0; n < 2; ++n) {
        for (int i = 0; i < 256; ++i) {
            all.push_back(static_cast<std::uint8_t>(i));
        }
    }
    ASSERT_TRUE(m_pty.WriteMaster(all));
    EXPECT_TRUE(Pump([&] { return m_owner.bytes.size() >= all.size(); }));
    EXPECT_EQ(m_owner.bytes, all);
    EXPECT_GE(m_owner.Count(SN_PORT_EVENT), 1u);
}

TEST_F(SerialLinkPty, SixteenMiBArriveCompleteAndInOrder) {
    constexpr std::size_t kTotal = 16u << 20;
    ASSERT_TRUE(OpenAndWatch());
    m_owner.bytes.reserve(kTotal);
    CMasterStreamer streamer(m_pty.MasterFd(), kTotal);
    EXPECT_TRUE(Pump([&] { return m_owner.bytes.size() >= kTotal; }));
    EXPECT_EQ(m_owner.bytes.size(), kTotal);
    EXPECT_TRUE(IsPatternPrefix(m_owner.bytes));
}

TEST_F(SerialLinkPty, AGatheringOwnerTakesAFullSpeedStreamAtFullSpeed) {
    // A pseudo-terminal under a fast writer hands over reads of any size, small ones too: waiting
    // three seconds after each would take this stream minutes.
    constexpr std::size_t kTotal = 16u << 20;
    m_link.SetGatherMs(3000);
    PortSettings settings;
    settings.dwBaudRate = 110;  // the line's rate would allow minutes of gathering
    ASSERT_TRUE(OpenAndWatch(settings));
    m_owner.bytes.reserve(kTotal);
    CMasterStreamer streamer(m_pty.MasterFd(), kTotal);
    EXPECT_TRUE(Pump([&] { return m_owner.bytes.size() >= kTotal; }));
    EXPECT_TRUE(IsPatternPrefix(m_owner.bytes));
}

TEST_F(SerialLinkPty, SlowOwnerHoldsTheSenderBackAndLosesNothing) {
    constexpr std::size_t kTotal = 16u << 20;
    ASSERT_TRUE(OpenAndWatch());
    m_owner.bytes.reserve(kTotal);
    CMasterStreamer streamer(m_pty.MasterFd(), kTotal);
    // The owner does not drain: the sender must come to a halt well before the end.
    std::size_t nLast = 0;
    int nSteady = 0;
    ASSERT_TRUE(WaitPolling(
        [&] {
            const std::size_t nNow = streamer.Written();
            nSteady = (nNow == nLast) ? nSteady + 1 : 0;
            nLast = nNow;
            return nSteady >= 40 || nNow >= kTotal;  // unchanged for 40 polls of 5 ms
        },
        20000));
    EXPECT_LT(streamer.Written(), 8u << 20) << "the queue did not hold the reader back";
    // Now a slow owner: small batches.
    EXPECT_TRUE(Pump([&] { return m_owner.bytes.size() >= kTotal; }, 16 * 1024));
    EXPECT_EQ(m_owner.bytes.size(), kTotal);
    EXPECT_TRUE(IsPatternPrefix(m_owner.bytes));
}

TEST_F(SerialLinkPty, WrittenBytesReachTheDeviceInOrder) {
    ASSERT_TRUE(OpenAndWatch());
    std::vector<std::uint8_t> bytes(1u << 20);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = PatternByte(i);
    }
    ASSERT_TRUE(m_link.Write(bytes.data(), bytes.size() / 3));
    ASSERT_TRUE(m_link.Write(bytes.data() + bytes.size() / 3, bytes.size() - bytes.size() / 3));
    EXPECT_EQ(m_pty.ReadMaster(bytes.size(), std::chrono::seconds(20)), bytes);
    EXPECT_TRUE(Pump([&] { return m_owner.Count(SN_TX_EMPTY) >= 1 && !m_link.IsTransmitting(); }));
    EXPECT_EQ(m_link.GetTxDone(), bytes.size());
}

TEST_F(SerialLinkPty, AllFifteenRatesAreAppliedExactly) {
    for (std::uint32_t dwRate : {110u, 300u, 600u, 1200u, 2400u, 4800u, 9600u, 14400u, 19200u,
                                 38400u, 56000u, 57600u, 115200u, 128000u, 256000u}) {
        PortSettings settings;
        settings.dwBaudRate = dwRate;
        settings.eStopBits = EStopBits::Two;
        ASSERT_TRUE(m_link.Open(&m_owner, settings)) << dwRate;
        EXPECT_TRUE(m_link.GetSettingDifferences().empty())
            << dwRate << ": " << m_link.GetSettingDifferences()[0];
    }
}

TEST_F(SerialLinkPty, PseudoTerminalRefusalsAreRecordedAndTheOpenStillSucceeds) {
    PortSettings settings;
    settings.dwBaudRate = 56000;
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
}

TEST_F(SerialLinkPty, FlowControlModesApplyOrFallBack) {
    ASSERT_TRUE(m_link.Open(&m_owner, {}));
    for (EFlowControl eMode : {EFlowControl::CtsRts, EFlowControl::XonXoff, EFlowControl::None}) {
        m_link.SetFlowControl(eMode);
        EXPECT_TRUE(m_link.GetSettingDifferences().empty()) << static_cast<int>(eMode);
    }
    m_link.SetFlowControl(EFlowControl::DsrRts);
    EXPECT_EQ(m_link.GetSettingDifferences(),
              std::vector<std::string>{"流控：请求 DSR/RTS，实际 None"});
}

TEST_F(SerialLinkPty, PseudoTerminalHasNoStatusLines) {
    ASSERT_TRUE(OpenAndWatch());
    std::uint32_t dwStatus = 0;
    EXPECT_FALSE(m_link.GetModemStatus(dwStatus));
    EXPECT_FALSE(m_link.SetDTR());
    EXPECT_FALSE(m_link.ClearRTS());
}

TEST_F(SerialLinkPty, MissingDeviceFailsAndALaterOpenWorks) {
    MapCom1(m_link, m_folder, "/dev/pts/999999");
    EXPECT_FALSE(m_link.Open(&m_owner, {}));
    EXPECT_FALSE(m_link.IsOpen());
    MapCom1(m_link, m_folder, m_pty.SlavePath());
    EXPECT_TRUE(OpenAndWatch());
}

TEST_F(SerialLinkPty, PortHeldByAnotherEngineFailsUntilReleased) {
    CSerialLink other;
    MapCom1(other, m_folder, m_pty.SlavePath());
    ASSERT_TRUE(OpenAndWatch());
    EXPECT_FALSE(other.Open(&m_owner, {}));
    // Without the lock file, the flock still keeps it out.
    CTempFolder otherLocks;
    other.SetLockFolder(otherLocks.Path());
    EXPECT_FALSE(other.Open(&m_owner, {}));
    m_link.Close();
    EXPECT_TRUE(other.Open(&m_owner, {}));
}

TEST_F(SerialLinkPty, OpenOnAnOpenEngineReopensIt) {
    ASSERT_TRUE(OpenAndWatch());
    ASSERT_TRUE(OpenAndWatch());
    const std::vector<std::uint8_t> bytes = {0x10, 0x20};
    ASSERT_TRUE(m_pty.WriteMaster(bytes));
    EXPECT_TRUE(Pump([&] { return m_owner.bytes.size() >= 2; }));
    EXPECT_EQ(m_owner.bytes, bytes);
}

TEST_F(SerialLinkPty, UnplugGivesOneLostNoticeAndTheWatcherRests) {
    ASSERT_TRUE(OpenAndWatch());
    ASSERT_TRUE(m_pty.WriteMaster(std::vector<std::uint8_t>{1, 2, 3}));
    ASSERT_TRUE(Pump([&] { return m_owner.bytes.size() == 3; }));
    m_pty.CloseMaster();
    ASSERT_TRUE(Pump([&] { return m_owner.Count(SN_PORT_LOST) == 1; }));

    EXPECT_LT(CpuShareWhileIdle(300), kIdleCpuShare);
    EXPECT_FALSE(m_link.DeliverNotices());
    EXPECT_EQ(m_owner.Count(SN_PORT_LOST), 1u);
    m_link.Close();
}

TEST_F(SerialLinkPty, CloseWhileStreamingIsPromptAndKeepsWhatWasDelivered) {
    ASSERT_TRUE(OpenAndWatch());
    CMasterStreamer streamer(m_pty.MasterFd(), std::size_t(1) << 40);
    ASSERT_TRUE(Pump([&] { return m_owner.bytes.size() >= (2u << 20); }, 64 * 1024));
    EXPECT_TRUE(ClosesPromptly(m_link));
    const std::size_t nDelivered = m_owner.bytes.size();
    EXPECT_FALSE(m_link.DeliverNotices());
    EXPECT_EQ(m_owner.bytes.size(), nDelivered);
    EXPECT_TRUE(IsPatternPrefix(m_owner.bytes));
    streamer.Stop();
}

// An adapter unplugged and plugged in again, a hundred times: the device name is a link (as udev
// makes one) that each plug-in points at a fresh pseudo-terminal.
TEST(SerialLinkUnplugCycles, EachLossIsReportedOnceAndLeavesNothingBehind) {
    constexpr int kCycles = 100;
    CTempFolder folder;
    CRecordingOwner owner;
    CSerialLink link;
    const std::string strDevice = folder.PathOf("ttyUSB0");
    MapCom1(link, folder, strDevice);
    int nFds = 0;
    int nThreads = 0;
    for (int nCycle = 0; nCycle < kCycles; ++nCycle) {
        auto pPty = std::make_unique<CPtyPair>();
        ASSERT_TRUE(pPty->IsValid());
        std::filesystem::remove(strDevice);
        std::filesystem::create_symlink(pPty->SlavePath(), strDevice);
        ASSERT_TRUE(link.Open(&owner, {}) && link.StartWatcher()) << nCycle;
        const auto by = static_cast<std::uint8_t>(nCycle);
        ASSERT_TRUE(pPty->WriteMaster(&by, 1));
        ASSERT_TRUE(owner.PumpUntil(link, [&] { return owner.bytes.size() == nCycle + 1u; }));
        ASSERT_TRUE(link.Write(&by, 1));
        ASSERT_EQ(pPty->ReadMaster(1, std::chrono::seconds(10)), std::vector<std::uint8_t>{by});

        pPty.reset();
        ASSERT_TRUE(
            owner.PumpUntil(link, [&] { return owner.Count(SN_PORT_LOST) > std::size_t(nCycle); }));
        if (nCycle % 10 == 0) {
            EXPECT_LT(CpuShareWhileIdle(200), kIdleCpuShare) << nCycle;
        }
        link.Close();
        if (nCycle == 0) {
            // Counted after the first cycle: what starts then stays for the process's life (the
            // thread sanitizer's own thread, for one).
            nFds = CountOpenFds();
            nThreads = CountThreads();
        }
    }
    EXPECT_EQ(owner.Count(SN_PORT_LOST), std::size_t{kCycles});
    EXPECT_EQ(CountOpenFds(), nFds);
    EXPECT_EQ(CountThreads(), nThreads);
}
