// The three ways of sending, through the real window offscreen with a pseudo-terminal at the far
// end: manual send, automatic periodic send, file send, and their messages.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QRadioButton>
#include <random>

#include "SendEdit.h"
#include "TerminalFixture.h"

namespace {

const QString kNothingToSend = QStringLiteral("发送信息框中没有数据");

class TerminalSendTest : public TerminalDlgTest {
protected:
    // An open window with strText in its send box.
    std::unique_ptr<CTerminalDlg> OpenWithText(const QString& strText) {
        WriteIni();
        auto pDlg = MakeDialog();
        Click(*pDlg, IDC_OPEN);
        EXPECT_TRUE(pDlg->IsPortOpen());
        Ctl<QPlainTextEdit>(*pDlg, IDC_SEND)->setPlainText(strText);
        return pDlg;
    }

    static void SetPeriod(const CTerminalDlg& dlg, const QString& strPeriod) {
        Ctl<QLineEdit>(dlg, IDC_PERIOD)->setText(strPeriod);
    }

    static bool SendButtonsEnabled(const CTerminalDlg& dlg) {
        return dlg.Control(IDC_MANUAL_SEND)->isEnabled() &&
               dlg.Control(IDC_SEND_FILE)->isEnabled() && dlg.Control(IDC_AUTO_SEND)->isEnabled();
    }

    static bool SendButtonsDisabled(const CTerminalDlg& dlg) {
        return !dlg.Control(IDC_MANUAL_SEND)->isEnabled() &&
               !dlg.Control(IDC_SEND_FILE)->isEnabled() && !dlg.Control(IDC_AUTO_SEND)->isEnabled();
    }

    // A file of nSize random bytes; the open-file dialog will choose it.
    std::vector<std::uint8_t> ChooseFile(std::size_t nSize) {
        std::vector<std::uint8_t> bytes(nSize);
        std::mt19937 random(1234);
        for (std::uint8_t& by : bytes) {
            by = static_cast<std::uint8_t>(random());
        }
        const QString strPath = m_dir.filePath(QStringLiteral("send.bin"));
        QFile file(strPath);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(nSize));
        file.close();
        CFileDialog::SetInterceptor([strPath] { return strPath; });
        return bytes;
    }

    static QProgressDialog* Progress(const CTerminalDlg& dlg) {
        return dlg.findChild<QProgressDialog*>();
    }
};

TEST_F(TerminalSendTest, ManualSendOfAbcArrivesAndCountsThree) {
    auto pDlg = OpenWithText(QStringLiteral("abc"));
    Click(*pDlg, IDC_MANUAL_SEND);
    EXPECT_TRUE(SendButtonsDisabled(*pDlg));
    EXPECT_EQ(m_pty.ReadMaster(3, std::chrono::seconds(10)),
              (std::vector<std::uint8_t>{0x61, 0x62, 0x63}));
    EXPECT_EQ(Text(*pDlg, IDC_TX_COUNT), "3");
    EXPECT_TRUE(WaitRunningEventLoop([&] { return SendButtonsEnabled(*pDlg); }));
    EXPECT_TRUE(m_arrMessages.empty());
}

TEST_F(TerminalSendTest, EmptySendBoxSaysSoAndSendsNothing) {
    auto pDlg = OpenWithText(QStringLiteral(" \n "));
    Click(*pDlg, IDC_MANUAL_SEND);
    ASSERT_EQ(m_arrMessages.size(), 1u);
    EXPECT_EQ(m_arrMessages[0].strText, kNothingToSend);
    EXPECT_EQ(m_arrMessages[0].strCaption, QStringLiteral("diVE"));
    EXPECT_TRUE(SendButtonsEnabled(*pDlg));
    EXPECT_EQ(Text(*pDlg, IDC_TX_COUNT), "0");
}

TEST_F(TerminalSendTest, TextLongerThan1024BytesIsSentWhole) {
    auto pDlg = OpenWithText(QString(3000, QChar('x')));
    Click(*pDlg, IDC_MANUAL_SEND);
    EXPECT_EQ(m_pty.ReadMaster(3000, std::chrono::seconds(10)),
              std::vector<std::uint8_t>(3000, 'x'));
    EXPECT_EQ(Text(*pDlg, IDC_TX_COUNT), "3000");
}

TEST_F(TerminalSendTest, AutoSendRepeatsAfterEachTransmissionUntilStopped) {
    auto pDlg = OpenWithText(QStringLiteral("ping"));
    SetPeriod(*pDlg, QStringLiteral("50"));
    Click(*pDlg, IDC_AUTO_SEND);
    EXPECT_EQ(Ctl<QPushButton>(*pDlg, IDC_AUTO_SEND)->text(), QStringLiteral("停止发送"));
    EXPECT_TRUE(pDlg->Control(IDC_AUTO_SEND)->isEnabled());
    EXPECT_FALSE(pDlg->Control(IDC_MANUAL_SEND)->isEnabled());
    EXPECT_FALSE(pDlg->Control(IDC_SEND_FILE)->isEnabled());
    EXPECT_FALSE(pDlg->Control(IDC_PERIOD)->isEnabled());

    // Three sends need two transmit-empty notices and two periods between them.
    std::vector<std::uint8_t> received;
    ASSERT_TRUE(WaitRunningEventLoop([&] {
        const auto more = m_pty.ReadMaster(12 - received.size(), std::chrono::milliseconds(20));
        received.insert(received.end(), more.begin(), more.end());
        return received.size() >= 12;
    }));
    const std::string strPing = "pingpingping";
    received.resize(12);
    EXPECT_EQ(received, std::vector<std::uint8_t>(strPing.begin(), strPing.end()));
    EXPECT_TRUE(WaitRunningEventLoop([&] { return Text(*pDlg, IDC_TX_COUNT).toUInt() >= 12; }));

    Click(*pDlg, IDC_AUTO_SEND);
    EXPECT_EQ(Ctl<QPushButton>(*pDlg, IDC_AUTO_SEND)->text(), QStringLiteral("自动发送"));
    EXPECT_TRUE(pDlg->Control(IDC_PERIOD)->isEnabled());
    // The last transmission may still be going out; its completion brings the buttons back.
    EXPECT_TRUE(WaitRunningEventLoop([&] { return SendButtonsEnabled(*pDlg); }));
    EXPECT_EQ(Text(*pDlg, IDC_TX_COUNT).toUInt() % 4, 0u);
    EXPECT_TRUE(m_arrMessages.empty());
}

TEST_F(TerminalSendTest, StoppingAutoSendMidTransmissionKeepsItsButtonAndHoldsTheOtherSends) {
    WriteIni();
    auto pLine = std::make_shared<CFakeSerialLine>();
    auto pDlg = OpenOnScriptedLine(pLine);
    ASSERT_TRUE(pDlg->IsPortOpen());
    Ctl<QPlainTextEdit>(*pDlg, IDC_SEND)->setPlainText(QStringLiteral("ping"));
    pLine->SetWritable(false);  // flow control holds the line

    Click(*pDlg, IDC_AUTO_SEND);
    Click(*pDlg, IDC_AUTO_SEND);
    EXPECT_EQ(Ctl<QPushButton>(*pDlg, IDC_AUTO_SEND)->text(), QStringLiteral("自动发送"));
    EXPECT_TRUE(pDlg->Control(IDC_PERIOD)->isEnabled());
    EXPECT_TRUE(pDlg->Control(IDC_AUTO_SEND)->isEnabled());
    EXPECT_FALSE(pDlg->Control(IDC_MANUAL_SEND)->isEnabled());
    EXPECT_FALSE(pDlg->Control(IDC_SEND_FILE)->isEnabled());

    pLine->SetWritable(true);
    ASSERT_TRUE(WaitRunningEventLoop([&] { return SendButtonsEnabled(*pDlg); }));
    EXPECT_EQ(pLine->Sent(), std::vector<std::uint8_t>({'p', 'i', 'n', 'g'}));
    EXPECT_EQ(Text(*pDlg, IDC_TX_COUNT), QStringLiteral("4"));
}

// Received bytes wait for the receive box's pace; the end of a transmission and a line change do
// not. The clock that paces the bytes stands still here (the first bytes after a quiet spell are
// taken at once): the bytes after the first delivery wait until it moves, while the auto-send timer
// starts from each transmit-empty notice.
TEST_F(TerminalSendTest, AutoSendAndLampsDoNotWaitForThePaceOfReceivedBytes) {
    WriteIni();
    auto pLine = std::make_shared<CFakeSerialLine>();
    qint64 nNowMs = 1000;
    auto pDlg = MakeDialog(pLine->Factory());
    pDlg->Delivery().SetClock([&nNowMs] { return nNowMs; });
    SelectPort(*pDlg, 3);
    Click(*pDlg, IDC_OPEN);
    ASSERT_TRUE(pDlg->IsPortOpen());
    pLine->Receive({'a'});
    ASSERT_TRUE(WaitRunningEventLoop([&] { return Text(*pDlg, IDC_RX_COUNT) == "1"; }));
    pLine->Receive({'b', 'c'});
    ASSERT_TRUE(WaitPolling([&] { return !pLine->InputWaiting(); }));

    Ctl<QPlainTextEdit>(*pDlg, IDC_SEND)->setPlainText(QStringLiteral("x"));
    SetPeriod(*pDlg, QStringLiteral("5"));
    Click(*pDlg, IDC_AUTO_SEND);
    EXPECT_TRUE(WaitRunningEventLoop([&] { return pLine->SentCount() >= 4; }));
    pLine->SetStatusLines(MS_CTS_ON);
    EXPECT_TRUE(WaitRunningEventLoop([&] { return Bitmap(*pDlg, IDC_LAMP_CTS) == 141; }));
    Click(*pDlg, IDC_AUTO_SEND);
    EXPECT_TRUE(WaitRunningEventLoop([&] { return SendButtonsEnabled(*pDlg); }));
    EXPECT_EQ(Text(*pDlg, IDC_RX_COUNT), "1");  // the bytes are still held

    nNowMs += CRxDelivery::kIntervalMs;
    EXPECT_TRUE(WaitRunningEventLoop([&] { return Text(*pDlg, IDC_RX_COUNT) == "3"; }));
    EXPECT_TRUE(m_arrMessages.empty());
}

TEST_F(TerminalSendTest, EmptiedSendBoxStopsAutoSendAtTheNextTick) {
    auto pDlg = OpenWithText(QStringLiteral("a"));
    SetPeriod(*pDlg, QStringLiteral("50"));
    Click(*pDlg, IDC_AUTO_SEND);
    Ctl<QPlainTextEdit>(*pDlg, IDC_SEND)->clear();
    ASSERT_TRUE(WaitRunningEventLoop([&] { return !m_arrMessages.empty(); }));
    EXPECT_EQ(m_arrMessages[0].strText, kNothingToSend);
    EXPECT_EQ(Ctl<QPushButton>(*pDlg, IDC_AUTO_SEND)->text(), QStringLiteral("自动发送"));
    EXPECT_TRUE(WaitRunningEventLoop([&] { return SendButtonsEnabled(*pDlg); }));
    EXPECT_TRUE(pDlg->Control(IDC_PERIOD)->isEnabled());
    EXPECT_EQ(m_arrMessages.size(), 1u);
}

TEST_F(TerminalSendTest, PortLostWhileTheEmptyBoxMessageShowsLeavesTheClosedState) {
    auto pDlg = OpenWithText(QStringLiteral("a"));
    SetPeriod(*pDlg, QStringLiteral("50"));
    Click(*pDlg, IDC_AUTO_SEND);
    // The device goes away while the message of the emptied box is on screen.
    CMessageBox::SetInterceptor([&](const SMessage& message) {
        Record(message);
        if (message.strText == kNothingToSend) {
            m_pty.CloseMaster();
            EXPECT_TRUE(WaitRunningEventLoop([&] { return !pDlg->IsPortOpen(); }));
        }
    });
    Ctl<QPlainTextEdit>(*pDlg, IDC_SEND)->clear();
    ASSERT_TRUE(WaitRunningEventLoop([&] { return m_arrMessages.size() >= 2; }));
    EXPECT_EQ(m_arrMessages[0].strText, kNothingToSend);
    EXPECT_EQ(m_arrMessages[1].strText, kPortLost);
    ExpectState(*pDlg, false);
}

TEST_F(TerminalSendTest, ManualSendButtonKeepsTheFocusWhileItWaits) {
    auto pDlg = OpenWithText(QStringLiteral("abc"));
    pDlg->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(pDlg.get()));
    QWidget* pManual = pDlg->Control(IDC_MANUAL_SEND);
    pManual->setFocus();
    Click(*pDlg, IDC_MANUAL_SEND);
    // No other control takes the keys meant for the button, the period field least of all.
    EXPECT_EQ(QApplication::focusWidget(), nullptr);
    ASSERT_TRUE(WaitRunningEventLoop([&] { return SendButtonsEnabled(*pDlg); }));
    EXPECT_EQ(QApplication::focusWidget(), pManual);
}

TEST_F(TerminalSendTest, PeriodZeroIsRefused) {
    auto pDlg = OpenWithText(QStringLiteral("abc"));
    SetPeriod(*pDlg, QStringLiteral("0"));
    Click(*pDlg, IDC_AUTO_SEND);
    ASSERT_EQ(m_arrMessages.size(), 1u);
    EXPECT_EQ(m_arrMessages[0].strText, QStringLiteral("自动发送周期不可以等于0"));
    EXPECT_EQ(m_arrMessages[0].strCaption, QStringLiteral("错误"));
    EXPECT_EQ(m_arrMessages[0].icon, QMessageBox::Information);
    EXPECT_EQ(Ctl<QPushButton>(*pDlg, IDC_AUTO_SEND)->text(), QStringLiteral("自动发送"));
    EXPECT_TRUE(SendButtonsEnabled(*pDlg));
    EXPECT_EQ(Text(*pDlg, IDC_TX_COUNT), "0");
}

TEST_F(TerminalSendTest, FileOfFiveMebibytesArrivesByteExactAndIsCounted) {
    const std::vector<std::uint8_t> bytes = ChooseFile(5 * 1024 * 1024);
    auto pDlg = OpenWithText(QString());
    Click(*pDlg, IDC_SEND_FILE);
    EXPECT_TRUE(SendButtonsDisabled(*pDlg));
    ASSERT_NE(Progress(*pDlg), nullptr);
    EXPECT_TRUE(Progress(*pDlg)->isVisible());
    EXPECT_EQ(m_pty.ReadMaster(bytes.size(), std::chrono::seconds(60)), bytes);
    EXPECT_TRUE(WaitRunningEventLoop([&] { return SendButtonsEnabled(*pDlg); }));
    ExpectState(*pDlg, true);
    EXPECT_EQ(Text(*pDlg, IDC_TX_COUNT), "5242880");
    EXPECT_FALSE(Progress(*pDlg)->isVisible());
    EXPECT_EQ(Progress(*pDlg)->labelText(), QStringLiteral("已发送 5242880 / 5242880 字节"));
    EXPECT_TRUE(m_arrMessages.empty());
}

TEST_F(TerminalSendTest, CancelledFileSendEndsAndBringsTheButtonsBack) {
    // Nobody reads the far end, so the send stalls once the line's buffers are full.
    const std::vector<std::uint8_t> bytes = ChooseFile(4 * 1024 * 1024);
    auto pDlg = OpenWithText(QString());
    Click(*pDlg, IDC_SEND_FILE);
    ASSERT_NE(Progress(*pDlg), nullptr);
    ASSERT_TRUE(WaitRunningEventLoop([&] { return Text(*pDlg, IDC_TX_COUNT) != "0"; }));
    QTest::mouseClick(Progress(*pDlg)->findChild<QPushButton*>(), Qt::LeftButton);
    EXPECT_TRUE(WaitRunningEventLoop([&] { return SendButtonsEnabled(*pDlg); }));
    ExpectState(*pDlg, true);
    EXPECT_FALSE(Progress(*pDlg)->isVisible());
    EXPECT_LT(Text(*pDlg, IDC_TX_COUNT).toULongLong(), bytes.size());
    EXPECT_TRUE(m_arrMessages.empty());
}

TEST_F(TerminalSendTest, ClosingThePortCancelsAFileSend) {
    ChooseFile(4 * 1024 * 1024);
    auto pDlg = OpenWithText(QString());
    Click(*pDlg, IDC_SEND_FILE);
    ASSERT_TRUE(WaitRunningEventLoop([&] { return Text(*pDlg, IDC_TX_COUNT) != "0"; }));
    Click(*pDlg, IDC_OPEN);
    ExpectState(*pDlg, false);
    EXPECT_FALSE(Progress(*pDlg)->isVisible());
    Click(*pDlg, IDC_OPEN);
    ExpectState(*pDlg, true);
}

TEST_F(TerminalSendTest, ClosingTheWindowCancelsAFileSendAndItsProgressWindow) {
    ChooseFile(4 * 1024 * 1024);
    auto pDlg = OpenWithText(QString());
    Click(*pDlg, IDC_SEND_FILE);
    ASSERT_TRUE(WaitRunningEventLoop([&] { return Text(*pDlg, IDC_TX_COUNT) != "0"; }));
    pDlg->close();
    EXPECT_FALSE(pDlg->IsPortOpen());
    EXPECT_FALSE(Progress(*pDlg)->isVisible());
    EXPECT_TRUE(m_arrMessages.empty());
}

TEST_F(TerminalSendTest, FileThatFailsToReadEndsTheSendWithAMessage) {
    // A file that opens but whose reading fails: the loopback interface has no speed to report.
    const QString strPath = QStringLiteral("/sys/class/net/lo/speed");
    QFile probe(strPath);
    char by = 0;
    if (!probe.open(QIODevice::ReadOnly) || probe.read(&by, 1) >= 0) {
        GTEST_SKIP() << "no file here that fails to read";
    }
    auto pDlg = OpenWithText(QString());
    CFileDialog::SetInterceptor([strPath] { return strPath; });
    Click(*pDlg, IDC_SEND_FILE);
    ASSERT_TRUE(WaitRunningEventLoop([&] { return !m_arrMessages.empty(); }));
    EXPECT_EQ(m_arrMessages[0].strText, QStringLiteral("读取文件失败"));
    EXPECT_EQ(m_arrMessages[0].strCaption, QStringLiteral("diVE"));
    EXPECT_EQ(m_arrMessages.size(), 1u);
    ExpectState(*pDlg, true);
    EXPECT_FALSE(Progress(*pDlg)->isVisible());
}

TEST_F(TerminalSendTest, FileThatCannotBeOpenedOrIsNoPlainFileSaysSo) {
    auto pDlg = OpenWithText(QString());
    // A pipe would hold up the open until a writer came, and its reads the closing of the port.
    const QString strFifo = m_dir.filePath(QStringLiteral("pipe"));
    ASSERT_EQ(mkfifo(QFile::encodeName(strFifo).constData(), 0600), 0);
    for (const QString& strPath :
         {m_dir.filePath(QStringLiteral("missing.bin")), m_dir.path(), strFifo}) {
        m_arrMessages.clear();
        CFileDialog::SetInterceptor([strPath] { return strPath; });
        Click(*pDlg, IDC_SEND_FILE);
        ASSERT_EQ(m_arrMessages.size(), 1u) << strPath.toStdString();
        EXPECT_EQ(m_arrMessages[0].strText, QStringLiteral("开启文件失败"));
        EXPECT_EQ(m_arrMessages[0].strCaption, QStringLiteral("diVE"));
        EXPECT_TRUE(SendButtonsEnabled(*pDlg));
    }
}

TEST_F(TerminalSendTest, EmptyFileSendsNothingAndLeavesTheButtonsEnabled) {
    ChooseFile(0);
    auto pDlg = OpenWithText(QString());
    Click(*pDlg, IDC_SEND_FILE);
    EXPECT_TRUE(SendButtonsEnabled(*pDlg));
    EXPECT_TRUE(m_arrMessages.empty());
    EXPECT_EQ(Text(*pDlg, IDC_TX_COUNT), "0");
}

TEST_F(TerminalSendTest, CancelledFileDialogDoesNothing) {
    auto pDlg = OpenWithText(QString());
    CFileDialog::SetInterceptor([] { return QString(); });
    Click(*pDlg, IDC_SEND_FILE);
    EXPECT_TRUE(SendButtonsEnabled(*pDlg));
    EXPECT_TRUE(m_arrMessages.empty());
}

TEST_F(TerminalSendTest, SendFormatOptionsSetTheSendBoxMode) {
    auto pDlg = OpenWithText(QStringLiteral("41 42"));
    auto* pSend = Ctl<CSendEdit>(*pDlg, IDC_SEND);
    Ctl<QRadioButton>(*pDlg, IDC_FORMAT_HEX)->click();
    EXPECT_EQ(pSend->GetMode(), 1);
    Click(*pDlg, IDC_MANUAL_SEND);
    EXPECT_EQ(m_pty.ReadMaster(2, std::chrono::seconds(10)),
              (std::vector<std::uint8_t>{0x41, 0x42}));
    Ctl<QRadioButton>(*pDlg, IDC_FORMAT_TEXT)->click();
    EXPECT_EQ(pSend->GetMode(), 0);
}

}  // namespace
