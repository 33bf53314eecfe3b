// A transfer through the serial engine (CSerialLink::StartTransfer) against lrzsz on a
// pseudo-terminal: the line is the machine's alone (the owner gets none of its bytes), the bytes
// are counted, the watcher takes the line back afterwards; an adapter unplugged mid-transfer
// ends it as failed and is then reported as lost.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <thread>

#include "LineTransfer.h"
#include "LrzszPeer.h"
#include "SerialTestSupport.h"
#include "XmodemReceiver.h"
#include "XmodemSender.h"

namespace {

class EngineTransfer : public testing::Test {
protected:
    void SetUp() override {
        if (!HaveLrzsz()) {
            GTEST_SKIP() << "lrzsz is not installed (scripts/deps.sh)";
        }
        MapCom1(m_link, m_folder, ptsname(m_pty.nMaster));
        ASSERT_TRUE(m_link.Open(&m_owner, PortSettings{}));
        ASSERT_TRUE(m_link.StartWatcher());
        m_strFile = m_folder.PathOf("fw.bin");
        m_data = RandomBytes(300 * 1024, 5);
        ASSERT_TRUE(WriteFileBytes(m_strFile, m_data));
    }
    // Plays the window, which polls a transfer (nothing wakes it): delivers what is queued and
    // checks pred every few milliseconds, for up to nLimitMs.
    bool PollUntil(const std::function<bool()>& pred, int nLimitMs = 60000) {
        const auto tEnd = std::chrono::steady_clock::now() + std::chrono::milliseconds(nLimitMs);
        while (!pred()) {
            if (std::chrono::steady_clock::now() > tEnd) {
                return false;
            }
            m_link.DeliverNotices();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }
    STransferStatus WaitForEnd() {
        STransferStatus status;
        EXPECT_TRUE(PollUntil([&] {
            status = m_link.TransferStatus();
            return status.bFinished;
        }));
        m_link.EndTransfer();
        return status;
    }

    SRawPty m_pty;
    CTempFolder m_folder;
    CSerialLink m_link;
    CRecordingOwner m_owner;
    std::string m_strFile;
    std::vector<std::uint8_t> m_data;
};

TEST_F(EngineTransfer, SendsAFileAndGivesTheLineBack) {
    const std::string strIn = m_folder.PathOf("root");
    CLrzszPeer peer("rb", {"-q"}, strIn, m_pty.nMaster, true);
    ASSERT_TRUE(m_link.StartTransfer(
        std::make_unique<CXmodemSender>(ETransferProtocol::Ymodem, std::vector{m_strFile})));
    EXPECT_FALSE(m_link.StartTransfer(
        std::make_unique<CXmodemSender>(ETransferProtocol::Ymodem, std::vector{m_strFile})));
    const STransferStatus status = WaitForEnd();
    EXPECT_EQ(status.eState, ETransferState::Done) << status.strMessage;
    EXPECT_EQ(peer.Wait(30), 0);
    EXPECT_TRUE(ReadFileBytes(strIn + "/fw.bin") == m_data);
    EXPECT_EQ(status.progress.nBytes, m_data.size());
    EXPECT_GT(status.nTxBytes, m_data.size());
    EXPECT_GT(status.nRxBytes, 0u);
    EXPECT_TRUE(m_owner.bytes.empty());  // the answers went to the machine only
    // The watcher has the line again.
    const std::uint8_t hello[] = {'h', 'i'};
    ASSERT_EQ(write(m_pty.nMaster, hello, 2), 2);
    EXPECT_TRUE(PollUntil([&] { return m_owner.bytes.size() == 2; }));
}

TEST_F(EngineTransfer, ReceivesAFile) {
    CLrzszPeer peer("sx", {"-q", "-k", "fw.bin"}, m_folder.Path(), m_pty.nMaster, true);
    auto pSink =
        std::make_shared<CFileSink>(m_folder.PathOf("got.bin"), false, CFileSink::AskOverwrite{});
    ASSERT_TRUE(m_link.StartTransfer(
        std::make_unique<CXmodemReceiver>(ETransferProtocol::Xmodem1K, *pSink)));
    const STransferStatus status = WaitForEnd();
    EXPECT_EQ(status.eState, ETransferState::Done) << status.strMessage;
    EXPECT_EQ(peer.Wait(30), 0);
    // The random data may end in SUBs, which XMODEM takes for padding.
    const std::vector<std::uint8_t> got = ReadFileBytes(m_folder.PathOf("got.bin"));
    ASSERT_LE(got.size(), m_data.size());
    EXPECT_TRUE(std::equal(got.begin(), got.end(), m_data.begin()));
    EXPECT_TRUE(std::all_of(m_data.begin() + static_cast<std::ptrdiff_t>(got.size()), m_data.end(),
                            [](std::uint8_t by) { return by == xmodem::SUB; }));
    EXPECT_TRUE(m_owner.bytes.empty());
}

TEST_F(EngineTransfer, AnAdapterUnpluggedMidTransferFailsAndIsReportedLost) {
    const std::string strIn = m_folder.PathOf("root");
    CLrzszPeer peer("rb", {"-q"}, strIn, m_pty.nMaster, true);
    ASSERT_TRUE(m_link.StartTransfer(
        std::make_unique<CXmodemSender>(ETransferProtocol::Ymodem, std::vector{m_strFile})));
    ASSERT_TRUE(PollUntil([&] { return m_link.TransferStatus().progress.nBytes >= 50 * 1024; }));
    peer.Signal(SIGKILL);
    peer.StopRelay();
    close(m_pty.nMaster);  // the adapter goes away
    m_pty.nMaster = -1;
    const STransferStatus status = WaitForEnd();
    EXPECT_EQ(status.eState, ETransferState::Failed);
    EXPECT_EQ(status.strMessage, "串口已断开");
    EXPECT_TRUE(PollUntil([&] { return m_owner.Count(SN_PORT_LOST) == 1; }));
}

}  // namespace
