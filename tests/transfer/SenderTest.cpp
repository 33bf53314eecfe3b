// The sender against Debian's lrzsz (rx, rx -c, rb) at the far end of a pseudo-terminal pair,
// every variant, files from empty to 1 MiB; through a relay that damages the line; cancelled from
// either side; a receiver that never starts; a file that cannot be read.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <algorithm>
#include <thread>

#include "LrzszPeer.h"
#include "TransferRunner.h"
#include "XmodemSender.h"

namespace {

struct SPeerRow {
    const char* pszName;
    ETransferProtocol eProtocol;
    const char* pszProgram;
    std::vector<std::string> arrArgs;
};

const SPeerRow kPeers[] = {
    {"XmodemSumToRx", ETransferProtocol::Xmodem, "rx", {}},
    {"XmodemCrcToRx", ETransferProtocol::Xmodem, "rx", {"-c"}},
    {"Xmodem1KToRx", ETransferProtocol::Xmodem1K, "rx", {"-c"}},
    {"Xmodem1KSumToRx", ETransferProtocol::Xmodem1K, "rx", {}},  // falls back to 128s
    {"YmodemToRb", ETransferProtocol::Ymodem, "rb", {}},
};

class SenderFixture {
protected:
    std::string Folder(const char* pszName) {
        const std::string str = m_dir.path().toStdString() + "/" + pszName;
        mkdir(str.c_str(), 0700);
        return str;
    }
    // The receiver of XMODEM keeps the padding of the last block: what it wrote must be the file,
    // then nothing but SUBs short of a block.
    static bool Matches(const std::vector<std::uint8_t>& got, const std::vector<std::uint8_t>& data,
                        bool bPadded) {
        if (!bPadded || got.size() < data.size() || got.size() - data.size() >= 1024) {
            return got == data;
        }
        return std::equal(data.begin(), data.end(), got.begin()) &&
               std::all_of(got.begin() + static_cast<std::ptrdiff_t>(data.size()), got.end(),
                           [](std::uint8_t by) { return by == xmodem::SUB; });
    }
    // lrzsz starts a receiver with the remote name of the file to write.
    static std::vector<std::string> Args(const SPeerRow& row) {
        std::vector<std::string> arrArgs = {"-q"};
        arrArgs.insert(arrArgs.end(), row.arrArgs.begin(), row.arrArgs.end());
        if (row.eProtocol != ETransferProtocol::Ymodem) {
            arrArgs.push_back("fw.bin");
        }
        return arrArgs;
    }

    QTemporaryDir m_dir;
};

class LrzszSend : public SenderFixture,
                  public testing::TestWithParam<std::tuple<SPeerRow, std::size_t>> {
protected:
    void SetUp() override {
        if (!HaveLrzsz()) {
            GTEST_SKIP() << "lrzsz is not installed (scripts/deps.sh)";
        }
    }
};

TEST_P(LrzszSend, SendToLrzszIsExact) {
    const auto& [row, nSize] = GetParam();
    const std::vector<std::uint8_t> data = RandomBytes(nSize, static_cast<unsigned>(nSize));
    const std::string strOut = Folder("out"), strIn = Folder("in");
    ASSERT_TRUE(WriteFileBytes(strOut + "/fw.bin", data));

    SRawPty pty;
    CLrzszPeer peer(row.pszProgram, Args(row), strIn, pty.nSlave, true);
    ASSERT_TRUE(peer.IsStarted());
    CXmodemSender sender(row.eProtocol, {strOut + "/fw.bin"});
    CTransferCancel cancel;
    EXPECT_EQ(RunTransfer(sender, pty.nMaster, cancel), ETransferState::Done) << sender.Message();
    EXPECT_EQ(peer.Wait(30), 0);
    EXPECT_TRUE(Matches(ReadFileBytes(strIn + "/fw.bin"), data,
                        row.eProtocol != ETransferProtocol::Ymodem));
    EXPECT_EQ(sender.Progress().nBytes, nSize);
    EXPECT_EQ(sender.Progress().nFiles, 1u);
    // A block thrown away by the receiver would show here (and as a 10 s wait).
    EXPECT_EQ(sender.Progress().nRetries, 0u);
}

INSTANTIATE_TEST_SUITE_P(Transfer, LrzszSend,
                         testing::Combine(testing::ValuesIn(kPeers),
                                          testing::Values(0, 1, 127, 128, 129, 1023, 1024, 1025,
                                                          100 * 1024, 1024 * 1024)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).pszName) + "_" +
                                    std::to_string(std::get<1>(info.param));
                         });

// ---- A damaged line: our sender, the relay, lrzsz ----

class LrzszSendDamaged : public SenderFixture, public testing::TestWithParam<SPeerRow> {
protected:
    void SetUp() override {
        if (!HaveLrzsz()) {
            GTEST_SKIP() << "lrzsz is not installed (scripts/deps.sh)";
        }
    }
};

TEST_P(LrzszSendDamaged, RetriesUntilTheFileIsExact) {
    const SPeerRow& row = GetParam();
    const std::vector<std::uint8_t> data = RandomBytes(100 * 1024, 7);
    const std::string strOut = Folder("out"), strIn = Folder("in");
    ASSERT_TRUE(WriteFileBytes(strOut + "/fw.bin", data));
    SRawPty nearPty, farPty;
    CLrzszPeer peer(row.pszProgram, Args(row), strIn, farPty.nSlave, true);
    ASSERT_TRUE(peer.IsStarted());
    // A changed byte in every 5000 and a lost one in every 40000.
    CDamagingRelay relay(nearPty.nMaster, farPty.nMaster, 5000, 40000);
    CXmodemSender sender(row.eProtocol, {strOut + "/fw.bin"});
    CTransferCancel cancel;
    EXPECT_EQ(RunTransfer(sender, nearPty.nSlave, cancel), ETransferState::Done)
        << sender.Message();
    EXPECT_EQ(peer.Wait(30), 0);
    EXPECT_TRUE(Matches(ReadFileBytes(strIn + "/fw.bin"), data,
                        row.eProtocol != ETransferProtocol::Ymodem));
    EXPECT_GT(relay.Damaged(), 0u);
    EXPECT_GT(sender.Progress().nRetries, 0u);
}

INSTANTIATE_TEST_SUITE_P(Transfer, LrzszSendDamaged,
                         testing::Values(kPeers[1], kPeers[2], kPeers[4]),
                         [](const auto& info) { return std::string(info.param.pszName); });

// ---- Cancel, and a receiver that does not take part ----

class LrzszSendEnds : public SenderFixture, public testing::Test {
protected:
    void SetUp() override {
        if (!HaveLrzsz()) {
            GTEST_SKIP() << "lrzsz is not installed (scripts/deps.sh)";
        }
        m_strFile = Folder("out") + "/fw.bin";
        ASSERT_TRUE(WriteFileBytes(m_strFile, RandomBytes(4 << 20, 3)));
        m_strIn = Folder("in");
    }
    // Waits (bounded) until the receiver has written 100 KiB.
    void WaitForReceived() const {
        const auto tEnd = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        struct stat info {};
        while (std::chrono::steady_clock::now() < tEnd &&
               (stat((m_strIn + "/fw.bin").c_str(), &info) != 0 || info.st_size < 100 * 1024)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    std::string m_strFile, m_strIn;
};

TEST_F(LrzszSendEnds, OurCancelEndsBothSides) {
    SRawPty pty;
    CLrzszPeer peer("rb", {"-q"}, m_strIn, pty.nSlave, true);
    CXmodemSender sender(ETransferProtocol::Ymodem, {m_strFile});
    CTransferCancel cancel;
    std::thread canceller([&] {
        WaitForReceived();
        cancel.Cancel();
    });
    EXPECT_EQ(RunTransfer(sender, pty.nMaster, cancel), ETransferState::Cancelled);
    canceller.join();
    EXPECT_NE(peer.Wait(30), -1);  // the receiver gave up on its own
    EXPECT_EQ(sender.Message(), "已取消传输");
}

TEST_F(LrzszSendEnds, CanCanFromTheReceiverEndsOurSide) {
    SRawPty pty;
    CLrzszPeer peer("rb", {"-q"}, m_strIn, pty.nSlave, true);
    CXmodemSender sender(ETransferProtocol::Ymodem, {m_strFile});
    CTransferCancel cancel;
    std::thread interrupter([&] {
        WaitForReceived();
        peer.Signal(SIGSTOP);  // lrzsz exits on a signal without a word: speak for it
        const std::uint8_t cans[] = {xmodem::CAN, xmodem::CAN};
        EXPECT_EQ(write(pty.nSlave, cans, sizeof cans), 2);
    });
    EXPECT_EQ(RunTransfer(sender, pty.nMaster, cancel), ETransferState::Cancelled);
    interrupter.join();
    EXPECT_EQ(sender.Message(), "对方取消了传输");
}

struct SEndRow {
    const char* pszName;
    bool bReadable;
    const char* pszMessage;
};

class SenderFails : public SenderFixture, public testing::TestWithParam<SEndRow> {};

TEST_P(SenderFails, EndsWithAClearMessage) {
    const std::string strFile = Folder("out") + "/fw.bin";
    ASSERT_TRUE(WriteFileBytes(strFile, RandomBytes(1000, 1)));
    SRawPty pty;  // nobody at the far end
    STransferTimeouts timeouts;
    timeouts.start = std::chrono::milliseconds(50);
    CXmodemSender sender(ETransferProtocol::Ymodem,
                         {GetParam().bReadable ? strFile : strFile + ".missing"}, timeouts);
    CTransferCancel cancel;
    EXPECT_EQ(RunTransfer(sender, pty.nMaster, cancel), ETransferState::Failed);
    EXPECT_EQ(sender.Message(), GetParam().pszMessage);
}

INSTANTIATE_TEST_SUITE_P(
    Transfer, SenderFails,
    testing::Values(SEndRow{"ReceiverNeverStarts", true, "接收方没有响应（等待开始超时）"},
                    SEndRow{"FileUnreadable", false, "无法读取文件：fw.bin.missing"}),
    [](const auto& info) { return std::string(info.param.pszName); });

// ---- A scripted receiver on a made-up clock ----

class SenderPace : public SenderFixture, public testing::Test {
protected:
    void SetUp() override {
        m_strFile = Folder("out") + "/fw.bin";
        ASSERT_TRUE(WriteFileBytes(m_strFile, RandomBytes(3000, 9)));  // three 1 KiB blocks
    }
    std::size_t Answer(CXmodemSender& sender, std::vector<std::uint8_t> bytes) {
        sender.OnBytes(bytes, m_tNow);
        sender.OnTime(m_tNow);
        return sender.TakeOutput().size();
    }
    std::size_t Wait(CXmodemSender& sender, TransferClock::duration d) {
        m_tNow += d;
        sender.OnTime(m_tNow);
        return sender.TakeOutput().size();
    }

    std::string m_strFile;
    TransferClock::time_point m_tNow = TransferClock::time_point{} + std::chrono::hours(1);
};

TEST_F(SenderPace, SendsAtOnceUntilABlockGoesUnanswered) {
    STransferTimeouts timeouts;
    CXmodemSender sender(ETransferProtocol::Xmodem1K, {m_strFile}, timeouts);
    sender.Start(m_tNow);
    // 'C's gathered before the start ask for the first block once.
    EXPECT_EQ(Answer(sender, {xmodem::CRC, xmodem::CRC, xmodem::CRC}), 1029u);
    EXPECT_EQ(Answer(sender, {xmodem::ACK}), 1029u);
    // Block 2 thrown away: no answer, sent again.
    EXPECT_EQ(Wait(sender, timeouts.answer), 1029u);
    EXPECT_EQ(sender.Progress().nRetries, 1u);
    // From now on the next block waits for a quiet line.
    EXPECT_EQ(Answer(sender, {xmodem::ACK}), 0u);
    EXPECT_EQ(Wait(sender, timeouts.settle), 1029u);
    EXPECT_EQ(Answer(sender, {xmodem::ACK}), 0u);
    EXPECT_EQ(Wait(sender, timeouts.settle), 1u);  // EOT
    EXPECT_EQ(Answer(sender, {xmodem::ACK}), 0u);
    EXPECT_EQ(sender.State(), ETransferState::Done);
}

// A receiver that empties its input as it answers throws away CANs that came with the block it
// answers: they go again once it has, and the end follows a quiet line.
TEST_F(SenderPace, CancelGoesAgainOnceTheReceiverHasAnswered) {
    STransferTimeouts timeouts;
    CXmodemSender sender(ETransferProtocol::Xmodem1K, {m_strFile}, timeouts);
    sender.Start(m_tNow);
    EXPECT_EQ(Answer(sender, {xmodem::CRC}), 1029u);
    sender.Cancel(m_tNow);
    EXPECT_EQ(sender.TakeOutput(), std::vector<std::uint8_t>(5, xmodem::CAN));
    EXPECT_EQ(Answer(sender, {xmodem::ACK}), 0u);
    EXPECT_EQ(Wait(sender, timeouts.settle), 5u);
    EXPECT_EQ(Wait(sender, std::chrono::seconds(2)), 0u);
    EXPECT_EQ(sender.State(), ETransferState::Cancelled);
    EXPECT_EQ(sender.Message(), "已取消传输");
}

struct SLastWordRow {
    const char* pszName;
    ETransferProtocol eProtocol;
    const char* pszMessage;
};

class SenderLastWord : public SenderPace, public testing::WithParamInterface<SLastWordRow> {};

// A receiver that ends right after its last answer may empty its output with it: every block was
// acknowledged, so the transfer is done within a few seconds, and says what went unanswered.
TEST_P(SenderLastWord, UnansweredEndsDoneAndSaysSo) {
    const SLastWordRow& row = GetParam();
    CXmodemSender sender(row.eProtocol, {m_strFile});
    sender.Start(m_tNow);
    // Answer as a receiver would until the last word is out: XMODEM's EOT, YMODEM's closing
    // block 0 (asked for by the 'C' after the file's EOT, NAKed once, was acknowledged).
    const bool bYmodem = row.eProtocol == ETransferProtocol::Ymodem;
    std::size_t nOut = Answer(sender, {xmodem::CRC});
    bool bEotNaked = false;
    for (int nStep = 0;
         nStep < 100 && !(bYmodem ? sender.Progress().nFiles == 1 && nOut == 133 : nOut == 1);
         ++nStep) {
        const bool bNak = nOut == 1 && bYmodem && !bEotNaked;
        bEotNaked = bEotNaked || bNak;
        nOut = Answer(sender, {bNak ? xmodem::NAK : xmodem::ACK});
        nOut = nOut == 0 ? Answer(sender, {xmodem::CRC}) : nOut;
    }
    ASSERT_EQ(sender.State(), ETransferState::Running);
    int nWaits = 0;
    while (sender.State() == ETransferState::Running && nWaits < 20) {
        Wait(sender, std::chrono::seconds(1));
        ++nWaits;
    }
    EXPECT_EQ(sender.State(), ETransferState::Done);
    EXPECT_EQ(sender.Message(), row.pszMessage);
    EXPECT_LE(nWaits, 6);
    EXPECT_EQ(sender.Progress().nBytes, 3000u);
}

INSTANTIATE_TEST_SUITE_P(Transfer, SenderLastWord,
                         testing::Values(SLastWordRow{"XmodemEot", ETransferProtocol::Xmodem,
                                                      "接收方未确认结束符 EOT（数据块均已被确认）"},
                                         SLastWordRow{"YmodemClosingBlock",
                                                      ETransferProtocol::Ymodem,
                                                      "接收方未确认批次结束块（文件均已被确认）"}),
                         [](const auto& info) { return std::string(info.param.pszName); });

}  // namespace
