// The receiver against Debian's lrzsz (sx, sb) at the far end of a pseudo-terminal pair, every
// variant, files from empty to 1 MiB; through a relay that damages the line; cancelled from
// either side; names from the far end that must not be used as they are.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <atomic>
#include <thread>

#include "LrzszPeer.h"
#include "TransferRunner.h"
#include "XmodemReceiver.h"

namespace {

enum class EVariant { XmodemSum, XmodemCrc, Xmodem1K, Ymodem };

const char* VariantName(EVariant e) {
    switch (e) {
        case EVariant::XmodemSum:
            return "XmodemSum";
        case EVariant::XmodemCrc:
            return "XmodemCrc";
        case EVariant::Xmodem1K:
            return "Xmodem1K";
        case EVariant::Ymodem:
            return "Ymodem";
    }
    return "";
}

ETransferProtocol ProtocolOf(EVariant e) {
    return e == EVariant::Ymodem     ? ETransferProtocol::Ymodem
           : e == EVariant::Xmodem1K ? ETransferProtocol::Xmodem1K
                                     : ETransferProtocol::Xmodem;
}

class TransferFixture {
protected:
    std::string Folder(const char* pszName) {
        const std::string str = m_dir.path().toStdString() + "/" + pszName;
        mkdir(str.c_str(), 0700);
        return str;
    }
    // The data of a file of nSize bytes. XMODEM cannot tell a SUB at the end of a file from the
    // padding, so its files do not end in one.
    static std::vector<std::uint8_t> FileData(std::size_t nSize, bool bNoTrailingSub) {
        std::vector<std::uint8_t> bytes = RandomBytes(nSize, static_cast<unsigned>(nSize));
        if (bNoTrailingSub && !bytes.empty() && bytes.back() == 0x1A) {
            bytes.back() = 0x1B;
        }
        return bytes;
    }

    QTemporaryDir m_dir;
};

// ---- Both directions, every variant, every size ----

using SRow = std::tuple<EVariant, std::size_t>;

class LrzszTransfer : public TransferFixture, public testing::TestWithParam<SRow> {
protected:
    void SetUp() override {
        if (!HaveLrzsz()) {
            GTEST_SKIP() << "lrzsz is not installed (scripts/deps.sh)";
        }
    }
};

TEST_P(LrzszTransfer, ReceiveFromLrzszIsExact) {
    const auto [eVariant, nSize] = GetParam();
    const std::vector<std::uint8_t> data = FileData(nSize, true);
    const std::string strOut = Folder("out"), strIn = Folder("in");
    ASSERT_TRUE(WriteFileBytes(strOut + "/log.bin", data));

    SRawPty pty;
    std::vector<std::string> arrArgs = {"-q"};
    if (eVariant == EVariant::Xmodem1K) {
        arrArgs.push_back("-k");
    }
    arrArgs.push_back("log.bin");
    CLrzszPeer peer(eVariant == EVariant::Ymodem ? "sb" : "sx", arrArgs, strOut, pty.nSlave);
    ASSERT_TRUE(peer.IsStarted());
    const bool bYmodem = eVariant == EVariant::Ymodem;
    CFileSink sink(bYmodem ? strIn : strIn + "/log.bin", bYmodem, {});
    CXmodemReceiver receiver(ProtocolOf(eVariant), sink, {}, eVariant != EVariant::XmodemSum);
    CTransferCancel cancel;
    EXPECT_EQ(RunTransfer(receiver, pty.nMaster, cancel), ETransferState::Done)
        << receiver.Message();
    EXPECT_EQ(peer.Wait(30), 0);
    EXPECT_TRUE(ReadFileBytes(strIn + "/log.bin") == data);
    EXPECT_EQ(receiver.Progress().nFiles, 1u);
    EXPECT_EQ(receiver.Progress().nRetries, 0u);
}

INSTANTIATE_TEST_SUITE_P(Transfer, LrzszTransfer,
                         testing::Combine(testing::Values(EVariant::XmodemSum, EVariant::XmodemCrc,
                                                          EVariant::Xmodem1K, EVariant::Ymodem),
                                          testing::Values(0, 1, 127, 128, 129, 1023, 1024, 1025,
                                                          100 * 1024, 1024 * 1024)),
                         [](const testing::TestParamInfo<SRow>& info) {
                             return std::string(VariantName(std::get<0>(info.param))) + "_" +
                                    std::to_string(std::get<1>(info.param));
                         });

}  // namespace

namespace {

// ---- A damaged line ----

class LrzszDamagedLine : public TransferFixture, public testing::TestWithParam<EVariant> {
protected:
    void SetUp() override {
        if (!HaveLrzsz()) {
            GTEST_SKIP() << "lrzsz is not installed (scripts/deps.sh)";
        }
    }
};

TEST_P(LrzszDamagedLine, RetriesUntilTheFileIsExact) {
    const EVariant eVariant = GetParam();
    const std::vector<std::uint8_t> data = FileData(100 * 1024, true);
    const std::string strOut = Folder("out"), strIn = Folder("in");
    ASSERT_TRUE(WriteFileBytes(strOut + "/log.bin", data));
    SRawPty farPty, nearPty;
    std::vector<std::string> arrArgs = {"-q"};
    if (eVariant == EVariant::Xmodem1K) {
        arrArgs.push_back("-k");
    }
    arrArgs.push_back("log.bin");
    CLrzszPeer peer(eVariant == EVariant::Ymodem ? "sb" : "sx", arrArgs, strOut, farPty.nSlave);
    ASSERT_TRUE(peer.IsStarted());
    // A changed byte in every 5000 and a lost one in every 40000.
    CDamagingRelay relay(farPty.nMaster, nearPty.nMaster, 5000, 40000);
    const bool bYmodem = eVariant == EVariant::Ymodem;
    CFileSink sink(bYmodem ? strIn : strIn + "/log.bin", bYmodem, {});
    CXmodemReceiver receiver(ProtocolOf(eVariant), sink);
    CTransferCancel cancel;
    EXPECT_EQ(RunTransfer(receiver, nearPty.nSlave, cancel), ETransferState::Done)
        << receiver.Message();
    EXPECT_EQ(peer.Wait(30), 0);
    EXPECT_TRUE(ReadFileBytes(strIn + "/log.bin") == data);
    EXPECT_GT(relay.Damaged(), 0u);
    EXPECT_GT(receiver.Progress().nRetries, 0u);
}

INSTANTIATE_TEST_SUITE_P(Transfer, LrzszDamagedLine,
                         testing::Values(EVariant::XmodemCrc, EVariant::Xmodem1K, EVariant::Ymodem),
                         [](const testing::TestParamInfo<EVariant>& info) {
                             return VariantName(info.param);
                         });

// ---- Cancel ----

class LrzszCancel : public TransferFixture, public ::testing::Test {
protected:
    // Waits (bounded) until the partial file being received holds 100 KiB: the machine is only
    // looked at by the thread that runs it.
    static void WaitForPartial(const std::string& strPartial) {
        const auto tEnd = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        struct stat info {};
        while (std::chrono::steady_clock::now() < tEnd &&
               (stat(strPartial.c_str(), &info) != 0 || info.st_size < 100 * 1024)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    void SetUp() override {
        if (!HaveLrzsz()) {
            GTEST_SKIP() << "lrzsz is not installed (scripts/deps.sh)";
        }
        ASSERT_TRUE(WriteFileBytes(Folder("out") + "/log.bin", FileData(4 << 20, true)));
    }
};

TEST_F(LrzszCancel, OurCancelEndsBothSidesAndLeavesAPartialFile) {
    SRawPty pty;
    CLrzszPeer peer("sb", {"-q", "log.bin"}, Folder("out"), pty.nSlave);
    const std::string strIn = Folder("in");
    CFileSink sink(strIn, true, {});
    CXmodemReceiver receiver(ETransferProtocol::Ymodem, sink);
    CTransferCancel cancel;
    std::thread canceller([&] {
        WaitForPartial(strIn + "/log.bin.partial");
        cancel.Cancel();
    });
    EXPECT_EQ(RunTransfer(receiver, pty.nMaster, cancel), ETransferState::Cancelled);
    canceller.join();
    EXPECT_NE(peer.Wait(30), -1);  // the sender gave up on its own
    EXPECT_EQ(access((strIn + "/log.bin").c_str(), F_OK), -1);
    EXPECT_EQ(access((strIn + "/log.bin.partial").c_str(), F_OK), 0);
    EXPECT_NE(receiver.Message().find("log.bin.partial"), std::string::npos) << receiver.Message();
}

TEST_F(LrzszCancel, CanCanFromTheFarEndEndsOurSide) {
    SRawPty pty;
    CLrzszPeer peer("sb", {"-q", "log.bin"}, Folder("out"), pty.nSlave);
    const std::string strIn = Folder("in");
    CFileSink sink(strIn, true, {});
    CXmodemReceiver receiver(ETransferProtocol::Ymodem, sink);
    CTransferCancel cancel;
    std::thread interrupter([&] {
        WaitForPartial(strIn + "/log.bin.partial");
        // The far end stops mid-stream and, once we have asked again (NAK), sends CAN CAN
        // (lrzsz itself exits on a signal without a word).
        peer.Signal(SIGSTOP);
        std::uint8_t by = 0;
        const auto tEnd = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (by != xmodem::NAK && std::chrono::steady_clock::now() < tEnd) {
            pollfd pfd{pty.nSlave, POLLIN, 0};
            if (poll(&pfd, 1, 100) > 0 && read(pty.nSlave, &by, 1) != 1) {
                break;
            }
        }
        const std::uint8_t cans[] = {xmodem::CAN, xmodem::CAN};
        EXPECT_EQ(write(pty.nSlave, cans, sizeof cans), 2);
    });
    EXPECT_EQ(RunTransfer(receiver, pty.nMaster, cancel), ETransferState::Cancelled)
        << receiver.Message();
    interrupter.join();
    EXPECT_NE(receiver.Message().find("对方取消了传输"), std::string::npos) << receiver.Message();
}

}  // namespace
