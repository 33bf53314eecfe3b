// Block file transfers through the window against Debian's lrzsz at the far end of the
// pseudo-terminal: the send box's "文件传输" items, the progress dialog and its "取消", the one
// line in the receive box, the counters, the sends held back, and the bad cases.
#include <signal.h>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QRegularExpression>

#include "LrzszPeer.h"
#include "NewMenu.h"
#include "ReceiveView.h"
#include "SendEdit.h"
#include "TerminalFixture.h"
#include "TransferControl.h"
#include "TransferDialog.h"

namespace {

constexpr int kTransferLimitMs = 60000;

QAction* FindAction(const QMenu& menu, int nCommand) {
    for (QAction* pAction : menu.actions()) {
        QAction* pFound = pAction->menu() != nullptr ? FindAction(*pAction->menu(), nCommand)
                          : pAction->data().toInt() == nCommand ? pAction
                                                                : nullptr;
        if (pFound != nullptr) {
            return pFound;
        }
    }
    return nullptr;
}

class TransferWindowTest : public TerminalDlgTest {
protected:
    void SetUp() override {
        TerminalDlgTest::SetUp();
        if (!HaveLrzsz()) {
            GTEST_SKIP() << "lrzsz is not installed (scripts/deps.sh)";
        }
        ASSERT_TRUE(QDir().mkpath(Peer()) && QDir().mkpath(Mine()));
        WriteIni();
        m_pDlg = MakeDialog();
        SelectPort(*m_pDlg, 1);
        Click(*m_pDlg, IDC_OPEN);
        ASSERT_TRUE(m_pDlg->IsPortOpen());
    }
    void TearDown() override {
        m_pDlg.reset();
        TerminalDlgTest::TearDown();
    }

    QString Peer() const { return m_dir.filePath(QStringLiteral("peer")); }
    QString Mine() const { return m_dir.filePath(QStringLiteral("mine")); }
    static std::string Std(const QString& str) { return str.toStdString(); }

    // Whether each item of "文件传输" is enabled, in menu order.
    std::vector<bool> ItemsEnabled() const {
        const auto pMenu = Ctl<CSendEdit>(*m_pDlg, IDC_SEND)->CreateContextMenu();
        std::vector<bool> arrEnabled;
        for (int nCommand = IDM_XFER_XMODEM_SEND; nCommand <= IDM_XFER_YMODEM_RECEIVE; ++nCommand) {
            QAction* pAction = FindAction(*pMenu, nCommand);
            EXPECT_NE(pAction, nullptr) << nCommand;
            arrEnabled.push_back(pAction != nullptr && pAction->isEnabled());
        }
        return arrEnabled;
    }
    // Picks an item as a user would, the file dialog answered with strPath.
    void Pick(int nCommand, const QString& strPath) const {
        CFileDialog::SetInterceptor([strPath] { return strPath; });
        const auto pMenu = Ctl<CSendEdit>(*m_pDlg, IDC_SEND)->CreateContextMenu();
        QAction* pAction = FindAction(*pMenu, nCommand);
        ASSERT_TRUE(pAction != nullptr && pAction->isEnabled());
        pAction->trigger();
    }
    // Once the transfer has ended and the box shows its line: the receive box's text.
    QString WaitForEnd() const {
        const auto* pBox = Ctl<CReceiveView>(*m_pDlg, IDC_RECEIVE);
        EXPECT_TRUE(WaitRunningEventLoop(
            [&] { return !m_pDlg->IsTransferring() && !pBox->ShownText().isEmpty(); },
            kTransferLimitMs));
        return pBox->ShownText();
    }
    std::uint64_t Counter(int nId) const { return Text(*m_pDlg, nId).toULongLong(); }
    std::vector<std::uint8_t> WriteData(const QString& strPath, std::size_t nSize) const {
        std::vector<std::uint8_t> data = RandomBytes(nSize, 27);
        data.back() = 'x';  // not a SUB, which XMODEM would take for padding
        EXPECT_TRUE(WriteFileBytes(Std(strPath), data));
        return data;
    }
    std::unique_ptr<CLrzszPeer> StartPeer(const char* pszProgram,
                                          const std::vector<std::string>& arrArgs) const {
        // Behind a socket: lrzsz's receivers empty the terminal's queues when they exit, which
        // on a pseudo-terminal could throw away their last answer.
        return std::make_unique<CLrzszPeer>(pszProgram, arrArgs, Std(Peer()), m_pty.MasterFd(),
                                            true);
    }

    std::unique_ptr<CTerminalDlg> m_pDlg;
};

struct SExchangeRow {
    const char* pszName;
    int nCommand;
    const char* pszProgram;
    std::vector<std::string> arrArgs;
    const char* pszPicked;    // in the window's folder ("" for the folder itself)
    const char* pszExisting;  // a file already in the window's folder, or nullptr
    const char*
        pszResult;  // the file that must equal the data, in the window's folder or the peer's
    bool bResultIsMine;
    const char* pszLine;  // the receive box's text, a pattern
};

class TransferExchange : public TransferWindowTest,
                         public testing::WithParamInterface<SExchangeRow> {};

TEST_P(TransferExchange, IsExactAndSaidInOneLine) {
    const SExchangeRow& row = GetParam();
    const bool bSend = row.nCommand <= IDM_XFER_YMODEM_SEND;
    const QString strData = (bSend ? Mine() : Peer()) + "/fw.bin";
    const std::vector<std::uint8_t> data = WriteData(strData, 100 * 1024 + 1000);
    if (row.pszExisting != nullptr) {
        ASSERT_TRUE(WriteFileBytes(Std(Mine() + "/" + row.pszExisting), {'o', 'l', 'd'}));
    }
    Pick(row.nCommand, bSend ? strData : Mine() + "/" + row.pszPicked);
    ASSERT_TRUE(m_pDlg->IsTransferring());
    const auto pPeer = StartPeer(row.pszProgram, row.arrArgs);
    const QString strText = WaitForEnd();
    EXPECT_EQ(pPeer->Wait(30), 0);
    EXPECT_TRUE(QRegularExpression(QString::fromUtf8(row.pszLine)).match(strText).hasMatch())
        << strText.toStdString();  // that line alone: none of the transfer's bytes
    EXPECT_TRUE(ReadFileBytes(Std((row.bResultIsMine ? Mine() : Peer()) + "/" + row.pszResult)) ==
                data);
    if (row.pszExisting != nullptr) {
        EXPECT_EQ(ReadFileBytes(Std(Mine() + "/" + row.pszExisting)),
                  (std::vector<std::uint8_t>{'o', 'l', 'd'}));
    }
    // Both ways counted; the last folder remembered in a section of its own.
    EXPECT_GT(Counter(bSend ? IDC_TX_COUNT : IDC_RX_COUNT), data.size());
    EXPECT_GT(Counter(bSend ? IDC_RX_COUNT : IDC_TX_COUNT), 0u);
    EXPECT_EQ(CIniFile(m_strIni).ReadString("TRANSFER", "FOLDER", ""), Std(Mine()));
    EXPECT_EQ(ItemsEnabled(), std::vector<bool>(5, true));
    for (const QWidget* pTop : QApplication::topLevelWidgets()) {  // the progress dialog is gone
        EXPECT_FALSE(qobject_cast<const CTransferDlg*>(pTop) != nullptr && pTop->isVisible());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TransferExchange,
    testing::Values(SExchangeRow{"YmodemSendToRb",
                                 IDM_XFER_YMODEM_SEND,
                                 "rb",
                                 {"-q"},
                                 "",
                                 nullptr,
                                 "fw.bin",
                                 false,
                                 "^YMODEM 发送完成：fw\\.bin，103400 字节，\\d+ 次重发$"},
                    SExchangeRow{"XmodemReceiveFromSx",
                                 IDM_XFER_XMODEM_RECEIVE,
                                 "sx",
                                 {"-q", "-k", "fw.bin"},
                                 "got.bin",
                                 nullptr,
                                 "got.bin",
                                 true,
                                 "^XMODEM 接收完成：got\\.bin，103400 字节，\\d+ 次重发；"
                                 "已去掉最后一块末尾的填充字节（0x1A）$"},
                    SExchangeRow{"YmodemReceiveBesideAnExistingFile",
                                 IDM_XFER_YMODEM_RECEIVE,
                                 "sb",
                                 {"-q", "fw.bin"},
                                 "",
                                 "fw.bin",
                                 "fw (1).bin",
                                 true,
                                 "^YMODEM 接收完成：fw \\(1\\)\\.bin，103400 字节，\\d+ 次重发；"
                                 "“fw\\.bin”已存在，另存为“fw \\(1\\)\\.bin”$"}),
    [](const testing::TestParamInfo<SExchangeRow>& info) { return info.param.pszName; });

// Cancelled from the progress dialog or by closing the port: CAN CAN to the far end, one line.
struct SStopRow {
    const char* pszName;
    int nCommand;
    const char* pszProgram;
    std::vector<std::string> arrArgs;
    bool bByPortClose;
    const char* pszTitle;  // the dialog's
    const char* pszLine;   // the line's start
};

class TransferStopped : public TransferWindowTest, public testing::WithParamInterface<SStopRow> {};

TEST_P(TransferStopped, MidTransferEndsCleanly) {
    const SStopRow& row = GetParam();
    const bool bSend = row.nCommand <= IDM_XFER_YMODEM_SEND;
    WriteData((bSend ? Mine() : Peer()) + "/fw.bin", 4 * 1024 * 1024);
    Pick(row.nCommand, Mine() + (bSend ? "/fw.bin" : "/got.bin"));
    const auto pPeer = StartPeer(row.pszProgram, row.arrArgs);
    const QPointer<CTransferDlg> pProgress = m_pDlg->Transfers().Dialog();
    ASSERT_FALSE(pProgress.isNull());
    EXPECT_TRUE(pProgress->isVisible());
    EXPECT_EQ(pProgress->windowTitle(), QString::fromUtf8(row.pszTitle));
    ASSERT_TRUE(WaitRunningEventLoop(
        [&] { return Counter(bSend ? IDC_TX_COUNT : IDC_RX_COUNT) > 65536; }, kTransferLimitMs));
    // While it runs: no transfer may start, no send either.
    EXPECT_EQ(ItemsEnabled(), std::vector<bool>(5, false));
    for (int nId : {IDC_MANUAL_SEND, IDC_SEND_FILE, IDC_AUTO_SEND}) {
        EXPECT_FALSE(m_pDlg->Control(nId)->isEnabled()) << nId;
    }
    EXPECT_EQ(pProgress->CancelButton()->accessibleName(), QStringLiteral("取消"));
    EXPECT_EQ(pProgress->FileLabel()->text(), QString::fromUtf8(bSend ? "fw.bin" : "got.bin"));
    // A screen reader hears the value, named by its caption.
    QAccessibleInterface* pValue = QAccessible::queryAccessibleInterface(pProgress->FileLabel());
    ASSERT_NE(pValue, nullptr);
    EXPECT_EQ(pValue->text(QAccessible::Name), pProgress->FileLabel()->text());
    const auto arrLabels = pValue->relations(QAccessible::Label);
    ASSERT_EQ(arrLabels.size(), 1);
    EXPECT_EQ(arrLabels.first().first->text(QAccessible::Name), QStringLiteral("文件："));
    if (row.bByPortClose) {
        Click(*m_pDlg, IDC_OPEN);
    } else {
        QTest::mouseClick(pProgress->CancelButton(), Qt::LeftButton);
    }
    const QString strText = WaitForEnd();
    EXPECT_TRUE(strText.startsWith(QString::fromUtf8(row.pszLine))) << strText.toStdString();
    EXPECT_NE(pPeer->Wait(30), -1);  // the far end was told to stop
    EXPECT_TRUE(WaitRunningEventLoop([&] { return pProgress.isNull(); }));  // gone, not hidden
    EXPECT_EQ(m_pDlg->IsPortOpen(), !row.bByPortClose);
    if (!row.bByPortClose) {
        // The watcher has the line again; what the far end still sent after the cancel did not
        // reach the box.
        pPeer->StopRelay();
        ASSERT_TRUE(m_pty.WriteMaster("hi", 2));
        EXPECT_TRUE(WaitRunningEventLoop([&] {
            return Ctl<CReceiveView>(*m_pDlg, IDC_RECEIVE)->ShownText() == strText + "hi";
        })) << Ctl<CReceiveView>(*m_pDlg, IDC_RECEIVE)->ShownText().toStdString();
        EXPECT_EQ(ItemsEnabled(), std::vector<bool>(5, true));
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, TransferStopped,
                         testing::Values(SStopRow{"SendByCancel",
                                                  IDM_XFER_YMODEM_SEND,
                                                  "rb",
                                                  {"-q"},
                                                  false,
                                                  "YMODEM 发送",
                                                  "YMODEM 发送已取消（fw.bin，已传输 "},
                                         SStopRow{"SendByPortClose",
                                                  IDM_XFER_YMODEM_SEND,
                                                  "rb",
                                                  {"-q"},
                                                  true,
                                                  "YMODEM 发送",
                                                  "YMODEM 发送已取消（fw.bin，已传输 "},
                                         SStopRow{"ReceiveByCancel",
                                                  IDM_XFER_XMODEM_RECEIVE,
                                                  "sx",
                                                  {"-q", "-k", "fw.bin"},
                                                  false,
                                                  "XMODEM 接收",
                                                  "XMODEM 接收已取消：未完成的文件保存为 "}),
                         [](const testing::TestParamInfo<SStopRow>& info) {
                             return info.param.pszName;
                         });

TEST_F(TransferWindowTest, MenuNeedsAnOpenPort) {
    EXPECT_EQ(ItemsEnabled(), std::vector<bool>(5, true));
    Click(*m_pDlg, IDC_OPEN);
    EXPECT_EQ(ItemsEnabled(), std::vector<bool>(5, false));
}

TEST_F(TransferWindowTest, ReceiverThatNeverStartsFailsAtTheStartTimeout) {
    STransferTimeouts timeouts;
    timeouts.start = std::chrono::milliseconds(200);
    timeouts.nStartTries = 1;
    m_pDlg->Transfers().SetTimeouts(timeouts);
    WriteData(Mine() + "/fw.bin", 1000);
    Pick(IDM_XFER_XMODEM_SEND, Mine() + "/fw.bin");
    EXPECT_EQ(WaitForEnd().toStdString(),
              "XMODEM 发送失败：接收方没有响应（等待开始超时）"
              "（fw.bin，已传输 0 字节，0 次重发）\n");
    EXPECT_TRUE(m_pDlg->IsPortOpen());
}

TEST_F(TransferWindowTest, UnpluggedMidTransferFailsThenThePortIsLost) {
    WriteData(Mine() + "/fw.bin", 1024 * 1024);
    Pick(IDM_XFER_YMODEM_SEND, Mine() + "/fw.bin");
    const auto pPeer = StartPeer("rb", {"-q"});
    ASSERT_TRUE(
        WaitRunningEventLoop([&] { return Counter(IDC_TX_COUNT) > 50 * 1024; }, kTransferLimitMs));
    pPeer->Signal(SIGKILL);
    pPeer->StopRelay();
    m_pty.CloseMaster();
    const QString strText = WaitForEnd();
    EXPECT_TRUE(strText.startsWith(QStringLiteral("YMODEM 发送失败：串口已断开（fw.bin，已传输 ")))
        << strText.toStdString();
    EXPECT_TRUE(WaitRunningEventLoop([&] { return !m_pDlg->IsPortOpen(); }));
    ASSERT_EQ(m_arrMessages.size(), 1u);
    EXPECT_EQ(m_arrMessages[0].strText, kPortLost);
}

// A choice that cannot work is refused before the line is taken.
struct SRefusedRow {
    const char* pszName;
    int nCommand;
    const char* pszPicked;  // in the window's folder
    const char* pszMessage;
};

class TransferRefused : public TransferWindowTest,
                        public testing::WithParamInterface<SRefusedRow> {};

TEST_P(TransferRefused, WithAMessage) {
    ASSERT_TRUE(WriteFileBytes(Std(Mine() + "/plain.txt"), {'a'}));
    Pick(GetParam().nCommand, Mine() + "/" + GetParam().pszPicked);
    EXPECT_FALSE(m_pDlg->IsTransferring());
    ASSERT_EQ(m_arrMessages.size(), 1u);
    EXPECT_EQ(m_arrMessages[0].strText,
              QString::fromUtf8(GetParam().pszMessage).arg(Mine() + "/" + GetParam().pszPicked));
    EXPECT_EQ(ItemsEnabled(), std::vector<bool>(5, true));
}

INSTANTIATE_TEST_SUITE_P(Rows, TransferRefused,
                         testing::Values(SRefusedRow{"UnreadableFile", IDM_XFER_XMODEM1K_SEND,
                                                     "gone.bin", "无法读取文件：%1"},
                                         SRefusedRow{"FolderUnderAFile", IDM_XFER_YMODEM_RECEIVE,
                                                     "plain.txt/in", "无法写入文件夹：%1"}),
                         [](const testing::TestParamInfo<SRefusedRow>& info) {
                             return info.param.pszName;
                         });

}  // namespace
