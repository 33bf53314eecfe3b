// The receiver driven by hand: what the far end must not be trusted with (names, sizes, block
// numbers, existing files), a sender that never starts, and the sink's names.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QTemporaryDir>

#include "LrzszPeer.h"
#include "XmodemReceiver.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Block 0: the name, NUL, the size field (none when empty); Header("") closes the batch.
Bytes Header(const std::string& strName, const std::string& strSize = {}) {
    std::string strHeader = strName;
    if (!strName.empty()) {
        strHeader += '\0' + strSize;
    }
    return MakeBlock(
        0, std::span(reinterpret_cast<const std::uint8_t*>(strHeader.data()), strHeader.size()),
        128, 0, true);
}

Bytes Data(std::uint8_t nBlock, const std::string& str) {
    return MakeBlock(nBlock,
                     std::span(reinterpret_cast<const std::uint8_t*>(str.data()), str.size()), 128,
                     xmodem::SUB, true);
}

// ---- Names ----

struct SNameRow {
    const char* pszName;
    std::string strRaw;
    std::optional<std::string> expected;
};

class CleanName : public testing::TestWithParam<SNameRow> {};

TEST_P(CleanName, LeavesOnlyABareName) {
    EXPECT_EQ(CleanTransferName(GetParam().strRaw), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Transfer, CleanName,
    testing::Values(SNameRow{"Plain", "firmware.bin", "firmware.bin"},
                    SNameRow{"Chinese", "日志.txt", "日志.txt"},
                    SNameRow{"FoldersDropped", "../../etc/passwd", "passwd"},
                    SNameRow{"AbsolutePath", "/root/.ssh/authorized_keys", "authorized_keys"},
                    SNameRow{"BackslashFolders", "C:\\boot\\app.hex", "app.hex"},
                    SNameRow{"ControlCharactersRemoved", "a\x1b[2Jb\r\n.txt", "a[2Jb.txt"},
                    SNameRow{"DotDotRefused", "x/..", std::nullopt},
                    SNameRow{"DotRefused", ".", std::nullopt},
                    SNameRow{"EmptyAfterCleaning", "dir/\x01\x02", std::nullopt},
                    SNameRow{"TooLong", std::string(256, 'a'), std::nullopt},
                    SNameRow{"LongestKept", std::string(255, 'a'), std::string(255, 'a')}),
    [](const testing::TestParamInfo<SNameRow>& info) { return info.param.pszName; });

// ---- The receiver by hand ----

class ReceiverByHand : public ::testing::Test {
protected:
    std::string Path(const char* psz) const { return m_dir.path().toStdString() + "/" + psz; }
    // Feeds the blocks to a YMODEM receiver into the folder.
    void Feed(CXmodemReceiver& receiver, const std::vector<Bytes>& arrBlocks) {
        receiver.Start(m_tNow);
        for (const Bytes& block : arrBlocks) {
            receiver.OnBytes(block, m_tNow);
        }
    }

    QTemporaryDir m_dir;
    TransferClock::time_point m_tNow = TransferClock::now();
};

TEST_F(ReceiverByHand, YmodemNameWithFoldersIsWrittenInTheFolderAndSaidSo) {
    CFileSink sink(m_dir.path().toStdString(), true, {});
    CXmodemReceiver receiver(ETransferProtocol::Ymodem, sink);
    Feed(
        receiver,
        {Header("../../evil.sh", "5"), Data(1, "hello"), {xmodem::EOT}, {xmodem::EOT}, Header("")});
    EXPECT_EQ(receiver.State(), ETransferState::Done) << receiver.Message();
    EXPECT_EQ(ReadFileBytes(Path("evil.sh")), (Bytes{'h', 'e', 'l', 'l', 'o'}));
    EXPECT_NE(receiver.Message().find("文件名已清理为“evil.sh”"), std::string::npos);
}

TEST_F(ReceiverByHand, ExistingFileIsNotReplacedWithoutAskingButSavedBesideIt) {
    ASSERT_TRUE(WriteFileBytes(Path("keep.txt"), {'o', 'l', 'd'}));
    ASSERT_TRUE(WriteFileBytes(Path("keep (1).txt"), {'o', 'l', 'd'}));
    std::vector<std::string> arrAsked;
    CFileSink sink(m_dir.path().toStdString(), true, [&](const std::string& strPath) {
        arrAsked.push_back(strPath);
        return false;
    });
    CXmodemReceiver receiver(ETransferProtocol::Ymodem, sink);
    Feed(receiver,
         {Header("keep.txt", "3"), Data(1, "new"), {xmodem::EOT}, {xmodem::EOT}, Header("")});
    EXPECT_EQ(receiver.State(), ETransferState::Done);
    EXPECT_EQ(receiver.Message(), "“keep.txt”已存在，另存为“keep (2).txt”");
    EXPECT_EQ(arrAsked, std::vector<std::string>{Path("keep.txt")});
    EXPECT_EQ(ReadFileBytes(Path("keep.txt")), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(ReadFileBytes(Path("keep (2).txt")), (Bytes{'n', 'e', 'w'}));
    EXPECT_EQ(sink.Received(), std::vector<std::string>{Path("keep (2).txt")});
}

TEST_F(ReceiverByHand, CancelDropsWhatStillArrivesUntilTheLineIsQuiet) {
    CFileSink sink(Path("got.bin"), false, {});
    CXmodemReceiver receiver(ETransferProtocol::Xmodem, sink);
    Feed(receiver, {Data(1, "a")});
    receiver.TakeOutput();
    const auto tCancel = TransferClock::now();
    receiver.Cancel(tCancel);
    Bytes out = receiver.TakeOutput();
    EXPECT_GE(std::count(out.begin(), out.end(), xmodem::CAN), 2);
    // The sender's next block is on its way: dropped, and the end waits for the quiet after it.
    receiver.OnBytes(Data(2, "b"), tCancel + std::chrono::milliseconds(250));
    receiver.OnTime(tCancel + std::chrono::milliseconds(400));
    EXPECT_TRUE(receiver.IsRunning());
    EXPECT_TRUE(receiver.TakeOutput().empty());  // no ACK
    receiver.OnTime(tCancel + std::chrono::milliseconds(600));
    EXPECT_EQ(receiver.State(), ETransferState::Cancelled);
    // Block 1, held back for its padding, was received whole: the partial file has it.
    const Bytes partial = ReadFileBytes(Path("got.bin.partial"));
    ASSERT_EQ(partial.size(), 128u);
    EXPECT_EQ(partial[0], 'a');
}

// A file that cannot be closed or renamed when it is whole is no success.
TEST_F(ReceiverByHand, AWholeFileThatCannotBeFinishedFails) {
    class CUnfinishableSink : public ITransferSink {
    public:
        SSinkAnswer Begin(const std::string&, std::optional<std::uint64_t>) override {
            return {true, {}};
        }
        bool Write(const std::uint8_t*, std::size_t) override { return true; }
        std::string End(bool) override { return "未完成的文件保存为 x.bin.partial"; }
        std::uint64_t Limit() const override { return 1u << 20; }
    } sink;
    CXmodemReceiver receiver(ETransferProtocol::Xmodem, sink);
    Feed(receiver, {Data(1, "a"), {xmodem::EOT}});
    EXPECT_EQ(receiver.State(), ETransferState::Failed);
    EXPECT_EQ(receiver.Message(), "写入文件失败；未完成的文件保存为 x.bin.partial");
}

struct SBadRow {
    const char* pszName;
    std::vector<Bytes> arrBlocks;
    const char* pszMessage;
};

class ReceiverRefuses : public ReceiverByHand, public testing::WithParamInterface<SBadRow> {};

TEST_P(ReceiverRefuses, EndsWithAClearMessageAndAPartialFile) {
    CFileSink sink(m_dir.path().toStdString(), true, {}, 4096);
    CXmodemReceiver receiver(ETransferProtocol::Ymodem, sink);
    Feed(receiver, GetParam().arrBlocks);
    EXPECT_EQ(receiver.State(), ETransferState::Failed);
    EXPECT_NE(receiver.Message().find(GetParam().pszMessage), std::string::npos)
        << receiver.Message();
    EXPECT_EQ(access(Path("f.bin").c_str(), F_OK), -1);  // never under its own name
}

INSTANTIATE_TEST_SUITE_P(
    Transfer, ReceiverRefuses,
    testing::Values(
        SBadRow{"SizeBeyondTheLimit", {Header("f.bin", "999999")}, "大小超出"},
        SBadRow{"SizeThatIsNoNumber", {Header("f.bin", "99999999999999999999999")}, "大小超出"},
        SBadRow{"BlockOutOfLine", {Header("f.bin", "300"), Data(1, "a"), Data(3, "c")}, "块号错误"},
        SBadRow{
            "MoreThanAnnounced",
            {Header("f.bin", "128"), Data(1, std::string(128, 'a')), Data(2, "b"), Data(3, "c")},
            "超出了声明的文件大小"},
        SBadRow{"EndBeforeTheSize",
                {Header("f.bin", "300"), Data(1, "a"), {xmodem::EOT}, {xmodem::EOT}},
                "文件不完整"}),
    [](const testing::TestParamInfo<SBadRow>& info) { return info.param.pszName; });

TEST_F(ReceiverByHand, XmodemStopsAtTheLimitItWasGiven) {
    CFileSink sink(Path("x.bin"), false, {}, 256);
    CXmodemReceiver receiver(ETransferProtocol::Xmodem, sink);
    Feed(receiver, {Data(1, "a"), Data(2, "b"), Data(3, "c")});
    EXPECT_EQ(receiver.State(), ETransferState::Failed);
    EXPECT_NE(receiver.Message().find("超出了允许的大小"), std::string::npos);
    EXPECT_EQ(access(Path("x.bin.partial").c_str(), F_OK), 0);
}

TEST_F(ReceiverByHand, XmodemRemovesThePaddingAndSaysSo) {
    CFileSink sink(Path("x.bin"), false, {});
    CXmodemReceiver receiver(ETransferProtocol::Xmodem, sink);
    // A duplicate block (its ACK was lost) is acknowledged and not stored twice.
    Feed(receiver, {Data(1, std::string(128, 'a')),
                    Data(1, std::string(128, 'a')),
                    Data(2, "end"),
                    {xmodem::EOT}});
    EXPECT_EQ(receiver.State(), ETransferState::Done);
    const std::string strExpected = std::string(128, 'a') + "end";
    EXPECT_EQ(ReadFileBytes(Path("x.bin")), Bytes(strExpected.begin(), strExpected.end()));
    EXPECT_NE(receiver.Message().find("0x1A"), std::string::npos);
}

TEST_F(ReceiverByHand, ASenderThatNeverStartsEndsItAfterTheTries) {
    CFileSink sink(Path("x.bin"), false, {});
    STransferTimeouts timeouts;
    CXmodemReceiver receiver(ETransferProtocol::Xmodem, sink, timeouts);
    receiver.Start(m_tNow);
    Bytes asked;
    for (int i = 0; i < 20 && receiver.IsRunning(); ++i) {
        const Bytes out = receiver.TakeOutput();
        asked.insert(asked.end(), out.begin(), out.end());
        m_tNow = receiver.Deadline();
        receiver.OnTime(m_tNow);
    }
    EXPECT_EQ(receiver.State(), ETransferState::Failed);
    EXPECT_NE(receiver.Message().find("等待开始超时"), std::string::npos);
    // 'C' three times, then NAK for the 8-bit sum.
    EXPECT_EQ(asked, (Bytes{'C', 'C', 'C', xmodem::NAK, xmodem::NAK, xmodem::NAK}));
}

}  // namespace
