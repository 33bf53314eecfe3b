// Automatic reconnection through the real window: a device that goes away is waited for without a
// box and opened again when it is back (on a re-pointed link, under another node name with the same
// by-id name, after another program let it go); sends go on or end as the user would expect.
#include <sys/inotify.h>
#include <unistd.h>

#include <QCheckBox>
#include <QProcess>
#include <filesystem>
#include <fstream>

#include "ProcessProbes.h"
#include "ReceiveView.h"
#include "SendEdit.h"
#include "TerminalFixture.h"

namespace fs = std::filesystem;

namespace {

const QString kLost = QStringLiteral("串口已断开");
const QString kBack = QStringLiteral("已重新连接");
const QString kHeld = QStringLiteral("设备已被其他程序占用");

class ReconnectTest : public TerminalDlgTest {
protected:
    // Points strLink at strTarget in one step, as udev replaces a link.
    static void PointLink(const std::string& strLink, const std::string& strTarget) {
        const fs::path temp = strLink + ".new";
        fs::remove(temp);
        fs::create_symlink(strTarget, temp);
        fs::rename(temp, strLink);
    }

    // The device is unplugged: its link goes first (as udev removes it with the node), so that no
    // other program's new pseudo-terminal can take the old node's number under it; then the node.
    static void Unplug(const std::string& strLink, std::unique_ptr<CPtyPair>& pPty) {
        fs::remove(strLink);
        pPty.reset();
    }

    // A window with "自动重连" ticked by the settings file, open on COM4 = strDevice.
    std::unique_ptr<CTerminalDlg> OpenWithReconnect(const std::string& strDevice) {
        WriteIni("COM4=" + strDevice + "\n[PORT]\nAUTORECONNECT=1\n");
        auto pDlg = MakeDialog();
        EXPECT_TRUE(Ctl<QCheckBox>(*pDlg, IDC_AUTO_RECONNECT)->isChecked());
        SelectPort(*pDlg, 4);
        Click(*pDlg, IDC_OPEN);
        EXPECT_TRUE(pDlg->IsPortOpen());
        return pDlg;
    }

    static int CountShown(const CTerminalDlg& dlg, const QString& strWhat) {
        auto* pBox = Ctl<CReceiveView>(dlg, IDC_RECEIVE);
        pBox->Refresh();
        return static_cast<int>(pBox->ShownText().count(strWhat));
    }

    // What the far end reads of what the window sends, while the window runs.
    static std::size_t ReadWhileRunning(CPtyPair& pty, std::size_t nWanted) {
        std::size_t nRead = 0;
        WaitRunningEventLoop([&] {
            nRead += pty.ReadMaster(nWanted - nRead, std::chrono::milliseconds(20)).size();
            return nRead >= nWanted;
        });
        return nRead;
    }

    // A byte from the far end reaches the window.
    static void ExpectFlowing(const CTerminalDlg& dlg, CPtyPair& pty, int nCount) {
        const std::uint8_t by = 'x';
        ASSERT_TRUE(pty.WriteMaster(&by, 1));
        const QString strCount = QString::number(nCount);
        EXPECT_TRUE(WaitRunningEventLoop([&] { return Text(dlg, IDC_RX_COUNT) == strCount; }));
    }

    // Waiting: the button still closes, the settings stay greyed, the lamps and lines are off.
    static void ExpectWaiting(const CTerminalDlg& dlg) {
        EXPECT_TRUE(dlg.IsWaitingForDevice());
        EXPECT_TRUE(dlg.IsPortOpen());
        EXPECT_EQ(Ctl<QAbstractButton>(dlg, IDC_OPEN)->text(), QStringLiteral("关闭串口"));
        EXPECT_EQ(Bitmap(dlg, IDC_OPEN), 133);
        ExpectLamps(dlg, 140, 142, 136, 138);
        for (int nId : {IDC_PORT, IDC_BAUD, IDC_DTR, IDC_RTS, IDC_MANUAL_SEND, IDC_SEND_FILE}) {
            EXPECT_FALSE(dlg.Control(nId)->isEnabled()) << nId;
        }
    }
};

// A hundred losses of a link that each return points at a fresh pseudo-terminal: one pair of
// marker lines each, no box, nothing left behind, and nothing spinning while the window waits.
TEST_F(ReconnectTest, HundredLossesOnARepointedLinkComeBackWithoutAClick) {
    constexpr int kCycles = 100;
    const std::string strLink = m_dir.filePath(QStringLiteral("ttyBoard")).toStdString();
    auto pPty = std::make_unique<CPtyPair>();
    PointLink(strLink, pPty->SlavePath());
    auto pDlg = OpenWithReconnect(strLink);
    int nFds = 0;
    int nThreads = 0;
    for (int nCycle = 0; nCycle <= kCycles; ++nCycle) {
        if (nCycle == 1) {  // after a first cycle has made what is made once
            nFds = CountOpenFds();
            nThreads = CountThreads();
        }
        ExpectFlowing(*pDlg, *pPty, nCycle + 1);
        Unplug(strLink, pPty);
        ASSERT_TRUE(WaitRunningEventLoop([&] { return pDlg->IsWaitingForDevice(); })) << nCycle;
        pPty = std::make_unique<CPtyPair>();
        if (nCycle % 25 == 0) {
            ExpectWaiting(*pDlg);
            EXPECT_LT(LeastCpuShare(300, 0.02, [](int nMs) { QTest::qWait(nMs); }), 0.02) << nCycle;
        }
        PointLink(strLink, pPty->SlavePath());
        ASSERT_TRUE(WaitRunningEventLoop([&] { return !pDlg->IsWaitingForDevice(); })) << nCycle;
        ExpectState(*pDlg, true);
    }
    EXPECT_EQ(CountOpenFds(), nFds);
    EXPECT_EQ(CountThreads(), nThreads);
    EXPECT_TRUE(m_arrMessages.empty());
    EXPECT_EQ(CountShown(*pDlg, kLost), kCycles + 1);
    EXPECT_EQ(CountShown(*pDlg, kBack), kCycles + 1);
    // Pressing the button while waiting stops waiting and closes.
    pPty.reset();
    ASSERT_TRUE(WaitRunningEventLoop([&] { return pDlg->IsWaitingForDevice(); }));
    Click(*pDlg, IDC_OPEN);
    ExpectState(*pDlg, false);
    EXPECT_FALSE(pDlg->IsWaitingForDevice());
}

// Unplugged and plugged in again as another node: the by-id name finds it, not the old node name,
// which another adapter took meanwhile.
TEST_F(ReconnectTest, ComesBackUnderAnotherNodeNameByItsByIdName) {
    const fs::path dev = fs::path(m_strDevRoot) / "dev";
    const fs::path byId = dev / "serial/by-id";
    fs::create_directories(byId);
    auto pFirst = std::make_unique<CPtyPair>();
    PointLink((dev / "ttyUSB0").string(), pFirst->SlavePath());
    PointLink((byId / "usb-FTDI_FT232R_A50285BI-if00-port0").string(), "../../ttyUSB0");
    auto pDlg = OpenWithReconnect((dev / "ttyUSB0").string());
    ExpectFlowing(*pDlg, *pFirst, 1);

    // Unplugged: the links go, then the node.
    fs::remove(byId / "usb-FTDI_FT232R_A50285BI-if00-port0");
    fs::remove(dev / "ttyUSB0");
    pFirst.reset();
    ASSERT_TRUE(WaitRunningEventLoop([&] { return pDlg->IsWaitingForDevice(); }));
    CPtyPair other;  // another adapter takes the old name
    PointLink((dev / "ttyUSB0").string(), other.SlavePath());
    CPtyPair back;
    PointLink((dev / "ttyUSB1").string(), back.SlavePath());
    PointLink((byId / "usb-FTDI_FT232R_A50285BI-if00-port0").string(), "../../ttyUSB1");
    ASSERT_TRUE(WaitRunningEventLoop([&] { return !pDlg->IsWaitingForDevice(); }));
    EXPECT_EQ(pDlg->Link().DevicePath(), back.SlavePath());
    ExpectFlowing(*pDlg, back, 2);
    EXPECT_TRUE(m_arrMessages.empty());
}

// The device returns held by another program: tried again and again, the holder named once, and
// opened once it is let go.
TEST_F(ReconnectTest, AHeldDeviceIsTriedAgainAndItsHolderNamedOnce) {
    const std::string strLink = m_dir.filePath(QStringLiteral("ttyBoard")).toStdString();
    auto pPty = std::make_unique<CPtyPair>();
    PointLink(strLink, pPty->SlavePath());
    auto pDlg = OpenWithReconnect(strLink);
    Unplug(strLink, pPty);
    ASSERT_TRUE(WaitRunningEventLoop([&] { return pDlg->IsWaitingForDevice(); }));
    pPty = std::make_unique<CPtyPair>();

    // Another program holds the device with flock, the way picocom and tio do.
    QProcess holder;
    holder.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import fcntl, os, sys, time\n"
                                 "fd = os.open(sys.argv[1], os.O_RDWR | os.O_NOCTTY)\n"
                                 "fcntl.flock(fd, fcntl.LOCK_EX)\n"
                                 "print('locked', flush=True)\n"
                                 "time.sleep(30)\n"),
                  QString::fromStdString(pPty->SlavePath())});
    ASSERT_TRUE(holder.waitForStarted());
    const int nWatch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(nWatch, 0);
    ASSERT_GE(inotify_add_watch(nWatch, pPty->SlavePath().c_str(), IN_OPEN), 0);
    ASSERT_TRUE(holder.waitForReadyRead(10000));
    const std::string strHolder = "python3 (PID " + std::to_string(holder.processId()) + ")";
    PointLink(strLink, pPty->SlavePath());

    // Each try opens the node: wait for four of them.
    int nOpens = 0;
    ASSERT_TRUE(WaitRunningEventLoop([&] {
        inotify_event events[16];
        const ssize_t n = read(nWatch, events, sizeof events);
        nOpens += n > 0 ? static_cast<int>(n / static_cast<ssize_t>(sizeof(inotify_event))) : 0;
        return nOpens >= 4;
    }));
    close(nWatch);
    EXPECT_TRUE(pDlg->IsWaitingForDevice());
    EXPECT_EQ(CountShown(*pDlg, kHeld), 1);
    EXPECT_EQ(CountShown(*pDlg, QString::fromStdString(strHolder)), 1);

    holder.kill();
    holder.waitForFinished();
    ASSERT_TRUE(WaitRunningEventLoop([&] { return !pDlg->IsWaitingForDevice(); }));
    ExpectFlowing(*pDlg, *pPty, 1);
    EXPECT_EQ(CountShown(*pDlg, kHeld), 1);
    EXPECT_TRUE(m_arrMessages.empty());
}

// Auto send goes on after the device is back; a file send ends at the loss, its sent part counted.
TEST_F(ReconnectTest, AutoSendGoesOnAndAFileSendEndsWithItsBytesCounted) {
    const std::string strLink = m_dir.filePath(QStringLiteral("ttyBoard")).toStdString();
    auto pPty = std::make_unique<CPtyPair>();
    PointLink(strLink, pPty->SlavePath());
    auto pDlg = OpenWithReconnect(strLink);

    // A file larger than the pseudo-terminal takes while nobody reads the far end.
    const std::string strFile = m_dir.filePath(QStringLiteral("big.bin")).toStdString();
    std::ofstream(strFile).close();
    fs::resize_file(strFile, 4 << 20);
    CFileDialog::SetInterceptor([&] { return QString::fromStdString(strFile); });
    Click(*pDlg, IDC_SEND_FILE);
    ASSERT_TRUE(WaitRunningEventLoop([&] { return Text(*pDlg, IDC_TX_COUNT) != "0"; }));
    Unplug(strLink, pPty);
    ASSERT_TRUE(WaitRunningEventLoop([&] { return pDlg->IsWaitingForDevice(); }));
    pPty = std::make_unique<CPtyPair>();
    const std::uint64_t nSent = Text(*pDlg, IDC_TX_COUNT).toULongLong();
    EXPECT_GT(nSent, 0u);
    EXPECT_LT(nSent, 4u << 20);
    PointLink(strLink, pPty->SlavePath());
    ASSERT_TRUE(WaitRunningEventLoop([&] { return !pDlg->IsWaitingForDevice(); }));
    EXPECT_EQ(Text(*pDlg, IDC_TX_COUNT).toULongLong(), nSent);  // the file does not go on

    // Auto send, lost, back: it sends again without a click.
    Ctl<CSendEdit>(*pDlg, IDC_SEND)->setPlainText(QStringLiteral("ping"));
    Ctl<QLineEdit>(*pDlg, IDC_PERIOD)->setText(QStringLiteral("20"));
    Click(*pDlg, IDC_AUTO_SEND);
    EXPECT_EQ(ReadWhileRunning(*pPty, 8), 8u);
    Unplug(strLink, pPty);
    ASSERT_TRUE(WaitRunningEventLoop([&] { return pDlg->IsWaitingForDevice(); }));
    pPty = std::make_unique<CPtyPair>();
    PointLink(strLink, pPty->SlavePath());
    ASSERT_TRUE(WaitRunningEventLoop([&] { return !pDlg->IsWaitingForDevice(); }));
    EXPECT_EQ(ReadWhileRunning(*pPty, 8), 8u);
    EXPECT_EQ(Ctl<QPushButton>(*pDlg, IDC_AUTO_SEND)->text(), QStringLiteral("停止发送"));
    EXPECT_TRUE(m_arrMessages.empty());
}

// Unticked, a loss closes the port with its box as before, and unticking while the window waits
// closes it too; the choice is kept in "PORT".
TEST_F(ReconnectTest, UntickedALossClosesWithTheBoxAndTheChoiceIsSaved) {
    const std::string strLink = m_dir.filePath(QStringLiteral("ttyBoard")).toStdString();
    auto pPty = std::make_unique<CPtyPair>();
    PointLink(strLink, pPty->SlavePath());
    auto pDlg = OpenWithReconnect(strLink);
    Ctl<QCheckBox>(*pDlg, IDC_AUTO_RECONNECT)->setChecked(false);
    pPty.reset();
    ASSERT_TRUE(WaitRunningEventLoop([&] { return !m_arrMessages.empty(); }));
    EXPECT_EQ(m_arrMessages[0].strText, kPortLost);
    ExpectState(*pDlg, false);
    EXPECT_EQ(CountShown(*pDlg, kLost), 0);

    // Unticked while waiting: the window stops waiting and closes, without a box.
    pPty = std::make_unique<CPtyPair>();
    PointLink(strLink, pPty->SlavePath());
    Ctl<QCheckBox>(*pDlg, IDC_AUTO_RECONNECT)->setChecked(true);
    Click(*pDlg, IDC_OPEN);
    Unplug(strLink, pPty);
    ASSERT_TRUE(WaitRunningEventLoop([&] { return pDlg->IsWaitingForDevice(); }));
    Ctl<QCheckBox>(*pDlg, IDC_AUTO_RECONNECT)->setChecked(false);
    ExpectState(*pDlg, false);
    EXPECT_FALSE(pDlg->IsWaitingForDevice());
    EXPECT_EQ(m_arrMessages.size(), 1u);
    pDlg->close();
    EXPECT_EQ(ReadIni("PORT", "AUTORECONNECT"), 0);

    auto pAgain = MakeDialog();
    EXPECT_FALSE(Ctl<QCheckBox>(*pAgain, IDC_AUTO_RECONNECT)->isChecked());
    Ctl<QCheckBox>(*pAgain, IDC_AUTO_RECONNECT)->setChecked(true);
    pAgain->close();
    EXPECT_EQ(ReadIni("PORT", "AUTORECONNECT"), 1);
}

}  // namespace
