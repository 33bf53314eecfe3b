// The send state without the window: a recording host and a stand-in for the engine.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <optional>

#include "SendState.h"
#include "WaitHelpers.h"

namespace {

class CRecordingHost : public ISendHost {
public:
    std::vector<std::uint8_t> BytesToSend() override { return bytes; }
    void ShowSendControls(const SSendControls& shown) override { controls = shown; }
    void ShowSendMessage(ESendMessage eMessage) override { messages.push_back(eMessage); }
    void CountSent(std::uint32_t dwBytes, bool) override { dwTxCount += dwBytes; }
    void ShowFileProgress(std::uint64_t nDone, std::uint64_t nTotal) override {
        progress = {nDone, nTotal};
    }
    void HideFileProgress() override { progress = {}; }

    std::vector<std::uint8_t> bytes;
    SSendControls controls;
    std::vector<ESendMessage> messages;
    std::uint32_t dwTxCount = 0;
    std::pair<std::uint64_t, std::uint64_t> progress;
};

class CStandInLink : public ISendLink {
public:
    bool Write(const std::uint8_t* pBytes, std::size_t nCount) override {
        written.insert(written.end(), pBytes, pBytes + nCount);
        ++nWrites;
        return true;
    }
    bool WriteStream(StreamReader fnRead, int nGap) override {
        fnReader = std::move(fnRead);
        nGapMs = nGap;
        return true;
    }
    void CancelWrite() override { bCancelled = true; }
    std::uint64_t GetTxDone() const override { return nTxDone; }
    // The transmission ended just now, unless the test says when.
    std::chrono::steady_clock::time_point GetTxEndTime() const override {
        return tEnded ? *tEnded : std::chrono::steady_clock::now();
    }

    std::vector<std::uint8_t> written;
    int nWrites = 0;
    StreamReader fnReader;
    int nGapMs = -2;
    bool bCancelled = false;
    std::uint64_t nTxDone = 0;
    std::optional<std::chrono::steady_clock::time_point> tEnded;
};

class SendStateTest : public ::testing::Test {
protected:
    SendStateTest() { m_send.SetPortOpen(true); }

    // manual, file, auto enabled; stop caption; period enabled
    static SSendControls Shows(bool bManual, bool bFile, bool bAuto, bool bStop, bool bPeriod) {
        return {bManual, bFile, bAuto, bStop, bPeriod};
    }

    CRecordingHost m_host;
    CStandInLink m_link;
    CSendState m_send{m_host, m_link};
};

}  // namespace

TEST_F(SendStateTest, ManualSendWaitsForItsTransmission) {
    EXPECT_EQ(m_host.controls, Shows(true, true, true, false, true));
    m_send.ManualSend();
    EXPECT_EQ(m_host.messages, std::vector<ESendMessage>{ESendMessage::NothingToSend});
    m_host.bytes = {'a', 'b', 'c'};
    m_send.ManualSend();
    EXPECT_EQ(m_link.written, m_host.bytes);
    EXPECT_EQ(m_host.dwTxCount, 3u);
    EXPECT_EQ(m_host.controls, Shows(false, false, false, false, true));
    m_send.OnTxEmpty();
    EXPECT_EQ(m_host.controls, Shows(true, true, true, false, true));
    m_send.SetPortOpen(false);
    EXPECT_EQ(m_host.controls, Shows(false, false, false, false, true));
}

TEST_F(SendStateTest, AutoSendRepeatsAfterEachTransmissionAndStopsWithoutCuttingOne) {
    m_send.ToggleAutoSend(0);
    EXPECT_EQ(m_host.messages, std::vector<ESendMessage>{ESendMessage::PeriodZero});
    m_host.bytes = {'x'};
    m_send.ToggleAutoSend(10);
    EXPECT_EQ(m_host.controls, Shows(false, false, true, true, false));
    m_send.OnTxEmpty();
    EXPECT_TRUE(WaitRunningEventLoop([&] { return m_link.nWrites == 2; }));
    // Stopped while the second one goes out: the other sends wait for it, auto send may start
    // again at once.
    m_send.ToggleAutoSend(10);
    EXPECT_EQ(m_host.controls, Shows(false, false, true, false, true));
    m_send.OnTxEmpty();
    EXPECT_EQ(m_host.controls, Shows(true, true, true, false, true));
    // A manual send's pending transmission holds auto send too.
    m_send.ManualSend();
    EXPECT_EQ(m_host.controls, Shows(false, false, false, false, true));
    m_send.OnTxEmpty();
    // An emptied box ends auto send at the next tick.
    m_send.ToggleAutoSend(10);
    m_host.bytes.clear();
    m_send.OnTxEmpty();
    EXPECT_TRUE(WaitRunningEventLoop([&] { return !m_send.IsAutoSending(); }));
    EXPECT_EQ(m_host.messages.back(), ESendMessage::NothingToSend);
    EXPECT_EQ(m_host.controls, Shows(true, true, true, false, true));
}

// The period counts from the end of the transmission on the line, not from the notice's arrival:
// an hour's period that has passed by the time the notice comes sends again at once.
TEST_F(SendStateTest, AutoSendPeriodCountsFromTheEndOfTheTransmission) {
    constexpr std::uint32_t kHourMs = 3600 * 1000;
    m_host.bytes = {'x'};
    m_send.ToggleAutoSend(kHourMs);
    m_link.tEnded = std::chrono::steady_clock::now() - std::chrono::hours(1);
    m_send.OnTxEmpty();
    EXPECT_TRUE(WaitRunningEventLoop([&] { return m_link.nWrites == 2; }));
    // Ended just now: the next send waits its hour.
    m_link.tEnded.reset();
    m_send.OnTxEmpty();
    QCoreApplication::processEvents();
    EXPECT_EQ(m_link.nWrites, 2);
    EXPECT_TRUE(m_send.IsAutoSending());
}

TEST_F(SendStateTest, FileSendCountsItsProgressAndEndsWithThePort) {
    QTemporaryDir dir;
    const QString strPath = dir.filePath(QStringLiteral("f.bin"));
    QFile file(strPath);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("0123456789");
    file.close();
    m_send.SendFile(dir.filePath(QStringLiteral("missing")));
    EXPECT_EQ(m_host.messages, std::vector<ESendMessage>{ESendMessage::FileOpenFailed});

    m_send.SendFile(strPath);
    ASSERT_TRUE(m_link.fnReader);
    std::uint8_t buf[16];
    EXPECT_EQ(m_link.fnReader(buf, sizeof buf), 10);
    EXPECT_EQ(m_host.controls, Shows(false, false, false, false, true));
    m_link.nTxDone = 4;
    EXPECT_TRUE(WaitRunningEventLoop([&] { return m_host.progress.first == 4; }));
    EXPECT_EQ(m_host.progress.second, 10u);
    EXPECT_EQ(m_host.dwTxCount, 4u);
    m_send.CancelFile();
    EXPECT_TRUE(m_link.bCancelled);
    m_link.nTxDone = 6;
    m_send.EndSends();
    m_send.SetPortOpen(false);
    EXPECT_EQ(m_host.dwTxCount, 6u);
    EXPECT_EQ(m_host.progress, (std::pair<std::uint64_t, std::uint64_t>{}));
    EXPECT_EQ(m_host.controls, Shows(false, false, false, false, true));
}

TEST_F(SendStateTest, FileSentLineByLineGivesOneLinePerPieceWithTheGap) {
    QTemporaryDir dir;
    const QString strPath = dir.filePath(QStringLiteral("lines.txt"));
    QFile file(strPath);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("ab\nc\r\n\n0123456789tail");
    file.close();

    m_send.SendFile(strPath, 25);
    ASSERT_TRUE(m_link.fnReader);
    EXPECT_EQ(m_link.nGapMs, 25);
    std::vector<std::string> arrPieces;
    char buf[8];
    for (long n = 0; (n = m_link.fnReader(reinterpret_cast<std::uint8_t*>(buf), sizeof buf)) > 0;) {
        arrPieces.emplace_back(buf, static_cast<std::size_t>(n));
    }
    // A line longer than a piece goes in pieces; the last line needs no LF.
    EXPECT_EQ(arrPieces, (std::vector<std::string>{"ab\n", "c\r\n", "\n", "01234567", "89tail"}));
    m_send.EndSends();

    // The whole file streams as before.
    m_send.SetPortOpen(true);
    m_send.SendFile(strPath);
    EXPECT_EQ(m_link.nGapMs, -1);
    EXPECT_EQ(m_link.fnReader(reinterpret_cast<std::uint8_t*>(buf), sizeof buf), 8);
}
