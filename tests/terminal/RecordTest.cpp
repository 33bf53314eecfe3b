// Recording from the window: the receive box's menu item, the dialogs, the title, the text log's
// times and markers across closing and reopening, a raw recording byte-exact while the box drops
// its front, and the bad cases with their message.
#include <QAccessible>
#include <QFileInfo>
#include <QRegularExpression>
#include <cstring>
#include <random>

#include "NewMenu.h"
#include "ReceiveView.h"
#include "RecordControl.h"
#include "SendEdit.h"
#include "TerminalFixture.h"

namespace {

class RecordTest : public TerminalDlgTest {
protected:
    // Answers the dialogs: the file strName in the test's folder, and eExisting for a file that
    // exists (noting that it was asked).
    void Answer(CTerminalDlg& dlg, const QString& strName,
                CRecordControl::EExisting eExisting = CRecordControl::EExisting::Overwrite) {
        const QString strPath = strName.startsWith('/') ? strName : m_dir.filePath(strName);
        dlg.Record().SetAskers([strPath] { return strPath; },
                               [this, eExisting](const QString&) {
                                   ++m_nAskedExisting;
                                   return eExisting;
                               });
    }
    // The menu item, as a user picks it; returns its caption before the pick.
    static QString PickRecord(CTerminalDlg& dlg) {
        auto* pBox = Ctl<CReceiveView>(dlg, IDC_RECEIVE);
        const auto pMenu = pBox->CreateContextMenu();
        QAction* pAction = nullptr;
        for (QAction* p : pMenu->actions()) {
            if (p->data().toInt() == IDM_RECORD) {
                pAction = p;
            }
        }
        EXPECT_NE(pAction, nullptr);
        const QString strCaption = pAction->text();
        pAction->trigger();
        return strCaption;
    }
    std::string ReadFile(const QString& strName) {
        QFile file(m_dir.filePath(strName));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        return bytes.toStdString();
    }
    static QString AccessibleTitle(CTerminalDlg& dlg) {
        return QAccessible::queryAccessibleInterface(&dlg)->text(QAccessible::Name);
    }

    int m_nAskedExisting = 0;
};

TEST_F(RecordTest, TextLogHasReadTimesAndMarkersAcrossCloseAndReopen) {
    setenv("TZ", "UTC", 1);
    tzset();
    WriteIni();
    auto pLine = std::make_shared<CFakeSerialLine>();
    auto pDlg = MakeDialog(pLine->Factory());
    std::atomic<int> nReads{0};
    pDlg->Link().SetReadClock([&nReads] {
        // 2026-12-08 10:00:00.000 UTC, then a second and 7 ms later per read
        return ReadTime(std::chrono::milliseconds(1796724000000LL + 1007LL * nReads++));
    });
    Answer(*pDlg, QStringLiteral("com.log"));
    EXPECT_EQ(PickRecord(*pDlg), QStringLiteral("开始记录..."));
    EXPECT_TRUE(pDlg->windowTitle().endsWith(QStringLiteral(" — 记录：com.log")));
    EXPECT_TRUE(AccessibleTitle(*pDlg).contains(QStringLiteral("记录：com.log")));
    SelectPort(*pDlg, 3);
    Click(*pDlg, IDC_OPEN);
    ASSERT_TRUE(pDlg->IsPortOpen());
    pLine->Receive({'o', 'k', '\r', '\n', 'p', 'a'});
    ASSERT_TRUE(WaitRunningEventLoop([&] { return Text(*pDlg, IDC_RX_COUNT) == "6"; }));
    pLine->Receive({'r', 't', '\r', '\n'});
    ASSERT_TRUE(WaitRunningEventLoop([&] { return Text(*pDlg, IDC_RX_COUNT) == "10"; }));
    Click(*pDlg, IDC_OPEN);
    Click(*pDlg, IDC_OPEN);
    ASSERT_TRUE(pDlg->IsPortOpen());
    pLine->Receive({0xD6, 0xD0});
    ASSERT_TRUE(WaitRunningEventLoop([&] { return Text(*pDlg, IDC_RX_COUNT) == "12"; }));
    EXPECT_EQ(PickRecord(*pDlg), QStringLiteral("停止记录"));
    EXPECT_FALSE(pDlg->windowTitle().contains(QStringLiteral("记录")));
    EXPECT_TRUE(m_arrMessages.empty());

    const QString strLog = QString::fromStdString(ReadFile(QStringLiteral("com.log")));
    // The markers carry the wall-clock time of today, whatever day the test runs.
    const QString strStamp = QStringLiteral(R"(\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d\d\d\] )");
    const QRegularExpression reExpected(
        QStringLiteral("^%1—— 串口打开 COM3 (\\d+),8,N,1 ——\n"
                       "\\[2026-12-08 10:00:00\\.000\\] ok\n"
                       "\\[2026-12-08 10:00:00\\.000\\] part\n"
                       "%1—— 串口关闭 ——\n"
                       "%1—— 串口打开 COM3 \\1,8,N,1 ——\n"
                       "\\[2026-12-08 10:00:0\\d\\.\\d\\d\\d\\] 中\n$")
            .arg(strStamp));
    EXPECT_TRUE(reExpected.match(strLog).hasMatch()) << strLog.toStdString();
}

TEST_F(RecordTest, RawRecordingIsByteExactWhileTheBoxDropsItsFront) {
    WriteIni();
    auto pDlg = MakeDialog();
    Answer(*pDlg, QStringLiteral("dump.bin"));
    PickRecord(*pDlg);
    Click(*pDlg, IDC_OPEN);
    ASSERT_TRUE(pDlg->IsPortOpen());
    std::mt19937 rng(5);
    std::vector<std::uint8_t> data(1u << 20);
    for (auto& by : data) {
        by = static_cast<std::uint8_t>(rng());
    }
    for (std::size_t nPos = 0; nPos < data.size();) {
        const std::size_t n = std::min<std::size_t>(data.size() - nPos, 1 + rng() % 9000);
        ASSERT_TRUE(m_pty.WriteMaster(data.data() + nPos, n));
        nPos += n;
        QCoreApplication::processEvents();
    }
    ASSERT_TRUE(WaitRunningEventLoop(
        [&] { return Text(*pDlg, IDC_RX_COUNT) == QString::number(data.size()); }, 30000));
    EXPECT_EQ(Ctl<CReceiveView>(*pDlg, IDC_RECEIVE)->GetLength(), 65536u);
    // The window closing ends the recording, with every byte written.
    pDlg->close();
    const std::string strFile = ReadFile(QStringLiteral("dump.bin"));
    ASSERT_EQ(strFile.size(), data.size());
    EXPECT_EQ(std::memcmp(data.data(), strFile.data(), data.size()), 0);
}

struct SExistingRow {
    const char* pszName;
    CRecordControl::EExisting eAnswer;
    std::string strAfter;
    bool bRecording;
};

class RecordExisting : public RecordTest, public testing::WithParamInterface<SExistingRow> {};

TEST_P(RecordExisting, AsksWhatToDoWithAnExistingFile) {
    WriteIni();
    QFile old(m_dir.filePath(QStringLiteral("old.bin")));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
    auto pLine = std::make_shared<CFakeSerialLine>();
    auto pDlg = OpenOnScriptedLine(pLine);
    Answer(*pDlg, QStringLiteral("old.bin"), GetParam().eAnswer);
    PickRecord(*pDlg);
    EXPECT_EQ(m_nAskedExisting, 1);
    EXPECT_EQ(pDlg->Record().IsRecording(), GetParam().bRecording);
    pLine->Receive({'n', 'e', 'w'});
    ASSERT_TRUE(WaitRunningEventLoop([&] { return Text(*pDlg, IDC_RX_COUNT) == "3"; }));
    pDlg->Record().Stop();
    EXPECT_EQ(ReadFile(QStringLiteral("old.bin")), GetParam().strAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RecordExisting,
    testing::Values(SExistingRow{"Append", CRecordControl::EExisting::Append, "oldnew", true},
                    SExistingRow{"Overwrite", CRecordControl::EExisting::Overwrite, "new", true},
                    SExistingRow{"Cancel", CRecordControl::EExisting::Cancel, "old", false}),
    [](const testing::TestParamInfo<SExistingRow>& info) { return info.param.pszName; });

TEST_F(RecordTest, FolderChosenIsRefusedWithTheReason) {
    WriteIni();
    auto pDlg = MakeDialog();
    Answer(*pDlg, m_dir.path());
    PickRecord(*pDlg);
    EXPECT_FALSE(pDlg->Record().IsRecording());
    ASSERT_EQ(m_arrMessages.size(), 1u);
    EXPECT_EQ(m_arrMessages[0].strText, QStringLiteral("记录失败：所选的是文件夹，不是文件"));
    EXPECT_EQ(Ctl<CReceiveView>(*pDlg, IDC_RECEIVE)->CreateContextMenu()->actions().back()->text(),
              QStringLiteral("开始记录..."));
}

TEST_F(RecordTest, RemovedFileStopsTheRecordingAndThePortGoesOn) {
    WriteIni();
    auto pLine = std::make_shared<CFakeSerialLine>();
    auto pDlg = OpenOnScriptedLine(pLine);
    Answer(*pDlg, QStringLiteral("gone.log"));
    PickRecord(*pDlg);
    ASSERT_TRUE(pDlg->Record().IsRecording());
    pLine->Receive({'a', '\r', '\n'});
    ASSERT_TRUE(WaitRunningEventLoop([&] { return Text(*pDlg, IDC_RX_COUNT) == "3"; }));
    ASSERT_TRUE(QFile::remove(m_dir.filePath(QStringLiteral("gone.log"))));
    ASSERT_TRUE(WaitRunningEventLoop([&] { return !m_arrMessages.empty(); }));
    EXPECT_EQ(m_arrMessages[0].strText, QStringLiteral("记录失败：记录文件已被删除或移走"));
    EXPECT_FALSE(pDlg->Record().IsRecording());
    EXPECT_FALSE(pDlg->windowTitle().contains(QStringLiteral("记录")));
    EXPECT_TRUE(pDlg->IsPortOpen());
    pLine->Receive({'b'});
    EXPECT_TRUE(WaitRunningEventLoop([&] { return Text(*pDlg, IDC_RX_COUNT) == "4"; }));
    EXPECT_EQ(m_arrMessages.size(), 1u);
}

}  // namespace

namespace {

// The watcher's read times reach the box through the queue; sends show as their own lines, are
// not counted as received, and a text log writes them as "TX " lines.
TEST_F(RecordTest, ReadTimesStampTheBoxAndSendsAreLinesOfTheirOwn) {
    setenv("TZ", "UTC", 1);
    tzset();
    WriteIni("[RX]\nTIMESTAMP=1\nFRAMEGAP=0\nECHO=1\n[TX]\nEOL=3\n");
    auto pLine = std::make_shared<CFakeSerialLine>();
    auto pDlg = MakeDialog(pLine->Factory());
    std::atomic<int> nReads{0};
    pDlg->Link().SetReadClock([&nReads] {
        // 10:00:00.000 UTC, then 1.007 s later per read
        return ReadTime(std::chrono::milliseconds(1796724000000LL + 1007LL * nReads++));
    });
    Answer(*pDlg, QStringLiteral("tx.log"));
    PickRecord(*pDlg);
    SelectPort(*pDlg, 3);
    Click(*pDlg, IDC_OPEN);
    ASSERT_TRUE(pDlg->IsPortOpen());
    pLine->Receive({'o', 'k', '\r', '\n'});
    ASSERT_TRUE(WaitRunningEventLoop([&] { return Text(*pDlg, IDC_RX_COUNT) == "4"; }));
    Ctl<CSendEdit>(*pDlg, IDC_SEND)->setPlainText(QStringLiteral("AT"));
    Click(*pDlg, IDC_MANUAL_SEND);
    ASSERT_TRUE(WaitRunningEventLoop([&] { return Text(*pDlg, IDC_TX_COUNT) == "4"; }));
    pLine->Receive({'O', 'K', '\r', '\n'});
    ASSERT_TRUE(WaitRunningEventLoop([&] { return Text(*pDlg, IDC_RX_COUNT) == "8"; }));
    auto* pBox = Ctl<CReceiveView>(*pDlg, IDC_RECEIVE);
    pBox->Refresh();
    const QRegularExpression reShown(
        QStringLiteral("^\\[10:00:00\\.000\\] ok\n"
                       "\\[\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d\\] TX AT\n"
                       "\\[10:00:01\\.007\\] OK\n$"));
    EXPECT_TRUE(reShown.match(pBox->ShownText()).hasMatch()) << pBox->ShownText().toStdString();
    EXPECT_EQ(pBox->GetLength(), 8u);
    PickRecord(*pDlg);
    const QString strLog = QString::fromStdString(ReadFile(QStringLiteral("tx.log")));
    EXPECT_TRUE(strLog.contains(QRegularExpression(
        QStringLiteral("\\] ok\n\\[\\d{4}-\\d\\d-\\d\\d [\\d:.]+\\] TX AT\n\\[2026-12-08 "
                       "10:00:01\\.007\\] OK\n"))))
        << strLog.toStdString();
}

}  // namespace
