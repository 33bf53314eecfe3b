// The window on ports on other machines: ser2net in front of a pseudo-terminal, opened from
// section "DEVICES" and from the command line; refusals in the box; a slow connect never holds
// the window; a lost port is reconnected without holding the window while its server is silent;
// the server's modem lines on the lamps.
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <QCheckBox>
#include <QElapsedTimer>
#include <algorithm>

#include "FakeComPortServer.h"
#include "ReceiveView.h"

#include "Ser2NetServer.h"
#include "TerminalFixture.h"

namespace {
const QString kLost = QStringLiteral("串口已断开");
const QString kBack = QStringLiteral("已重新连接");

class NetPortTest : public TerminalDlgTest {
protected:
    void MapCom5(const std::string& strAddress) { WriteIni("COM5=" + strAddress + "\n"); }

    // A window with "自动重连" ticked, open on tcp://127.0.0.1:PORT of listener; returns the
    // server's end of the connection.
    int OpenWithReconnect(std::unique_ptr<CTerminalDlg>& pDlg, const CLocalListener& listener) {
        WriteIni("COM5=tcp://127.0.0.1:" + std::to_string(listener.Port()) +
                 "\n[PORT]\nAUTORECONNECT=1\n");
        pDlg = MakeDialog();
        SelectPort(*pDlg, 5);
        Click(*pDlg, IDC_OPEN);
        EXPECT_TRUE(WaitRunningEventLoop([&] { return pDlg->IsPortOpen(); }));
        return AcceptWhileRunning(listener);
    }

    static int AcceptWhileRunning(const CLocalListener& listener, int nLimitMs = 10000) {
        int nFd = -1;
        WaitRunningEventLoop(
            [&] {
                pollfd ready{listener.Fd(), POLLIN, 0};
                return poll(&ready, 1, 0) == 1 &&
                       (nFd = accept(listener.Fd(), nullptr, nullptr)) >= 0;
            },
            nLimitMs);
        return nFd;
    }

    static int CountShown(const CTerminalDlg& dlg, const QString& strWhat) {
        auto* pBox = Ctl<CReceiveView>(dlg, IDC_RECEIVE);
        pBox->Refresh();
        return static_cast<int>(pBox->ShownText().count(strWhat));
    }

    // The server goes and its address stops answering (a full queue): the window waits, and its
    // first try is under way. Returns the connections that fill the queue.
    static std::vector<int> LoseToSilence(const CTerminalDlg& dlg, const CLocalListener& listener,
                                          int nServer) {
        std::vector<int> arrQueued = listener.FillQueue();
        const int nSilent = ConnectsUnderWay(listener.Port());
        close(nServer);
        EXPECT_TRUE(WaitRunningEventLoop([&] { return CountShown(dlg, kLost) == 1; }));
        EXPECT_TRUE(
            WaitRunningEventLoop([&] { return ConnectsUnderWay(listener.Port()) > nSilent; }));
        return arrQueued;
    }

    // The server empties its queue (the connections that filled it end) and takes the window's
    // next connection, which its silence held back.
    static int TakeWindowsConnection(const CLocalListener& listener,
                                     const std::vector<int>& arrQueued) {
        std::vector<int> arrFillPorts;
        for (int nFd : arrQueued) {
            sockaddr_in address{};
            socklen_t nLen = sizeof address;
            getsockname(nFd, reinterpret_cast<sockaddr*>(&address), &nLen);
            arrFillPorts.push_back(ntohs(address.sin_port));
            close(nFd);
        }
        int nWindow = -1;
        WaitRunningEventLoop(
            [&] {
                pollfd ready{listener.Fd(), POLLIN, 0};
                while (nWindow < 0 && poll(&ready, 1, 0) == 1) {
                    sockaddr_in peer{};
                    socklen_t nLen = sizeof peer;
                    const int nFd =
                        accept(listener.Fd(), reinterpret_cast<sockaddr*>(&peer), &nLen);
                    if (nFd < 0) {
                        break;
                    }
                    if (std::find(arrFillPorts.begin(), arrFillPorts.end(), ntohs(peer.sin_port)) !=
                        arrFillPorts.end()) {
                        close(nFd);
                    } else {
                        nWindow = nFd;
                    }
                }
                return nWindow >= 0;
            },
            20000);
        return nWindow;
    }

    static void Send(int nFd, char ch) { ASSERT_EQ(write(nFd, &ch, 1), 1); }
};
}  // namespace

TEST_F(NetPortTest, Rfc2217PortFromTheDeviceMapCarriesDataAndItsLoss) {
    CSer2NetServer server;
    if (!CSer2NetServer::IsInstalled()) {
        GTEST_SKIP() << "ser2net is missing";
    }
    ASSERT_TRUE(server.Start());
    MapCom5(server.ComAddress());
    auto pDlg = MakeDialog();
    SelectPort(*pDlg, 5);
    Click(*pDlg, IDC_OPEN);
    ASSERT_TRUE(WaitRunningEventLoop([&] { return pDlg->IsPortOpen(); }));
    EXPECT_TRUE(m_arrMessages.empty());
    const std::uint8_t abyHello[] = {'h', 'i', 0xFF};
    server.Pty().WriteMaster(abyHello, sizeof abyHello);
    EXPECT_TRUE(WaitRunningEventLoop([&] { return Text(*pDlg, IDC_RX_COUNT) == "3"; }));
    server.Stop();
    ASSERT_TRUE(WaitRunningEventLoop([&] { return !m_arrMessages.empty(); }));
    EXPECT_EQ(m_arrMessages[0].strText, kPortLost);
}

TEST_F(NetPortTest, CommandLineOpensItWithItsBaudRate) {
    CSer2NetServer server;
    if (!CSer2NetServer::IsInstalled()) {
        GTEST_SKIP() << "ser2net is missing";
    }
    ASSERT_TRUE(server.Start());
    WriteIni();
    auto pDlg =
        MakeDialog({}, {QString::fromStdString(server.ComAddress()), "-b", "115200", "--open"});
    ASSERT_TRUE(WaitRunningEventLoop([&] { return pDlg->IsPortOpen(); }));
    EXPECT_TRUE(WaitRunningEventLoop([&] {
        termios tio{};
        tcgetattr(server.Pty().MasterFd(), &tio);
        return cfgetospeed(&tio) == B115200;
    }));
}

TEST_F(NetPortTest, RefusedAndUnansweredConnectsEndInTheBoxWhileTheWindowRuns) {
    CLocalListener full(0);
    const std::vector<int> arrQueued = full.FillQueue();
    const struct {
        std::string strAddress;
        QString strReason;
    } rows[] = {
        {"rfc2217://127.0.0.1:" + std::to_string(FreeLocalPort()),
         QStringLiteral("原因：连接被拒绝")},
        {"tcp://127.0.0.1:" + std::to_string(full.Port()), QStringLiteral("超时")},
    };
    for (const auto& row : rows) {
        MapCom5(row.strAddress);
        auto pDlg = MakeDialog();
        SelectPort(*pDlg, 5);
        m_arrMessages.clear();
        Click(*pDlg, IDC_OPEN);
        // The click came back before the connect ended: no answer yet, the button waits.
        EXPECT_TRUE(m_arrMessages.empty());
        EXPECT_FALSE(Ctl<QAbstractButton>(*pDlg, IDC_OPEN)->isEnabled());
        ASSERT_TRUE(WaitRunningEventLoop([&] { return !m_arrMessages.empty(); }, 20000));
        EXPECT_TRUE(m_arrMessages[0].strText.startsWith(kOpenFailed + '\n'));
        EXPECT_TRUE(m_arrMessages[0].strText.contains(row.strReason))
            << m_arrMessages[0].strText.toStdString();
        EXPECT_FALSE(pDlg->IsPortOpen());
        EXPECT_TRUE(Ctl<QAbstractButton>(*pDlg, IDC_OPEN)->isEnabled());
    }
    for (int nFd : arrQueued) {
        close(nFd);
    }
}

TEST_F(NetPortTest, LostPortIsReconnectedWhileTheWindowRunsOnThroughASilentServer) {
    CLocalListener listener(0);
    std::unique_ptr<CTerminalDlg> pDlg;
    int nServer = OpenWithReconnect(pDlg, listener);
    ASSERT_GE(nServer, 0);
    Send(nServer, 'x');
    ASSERT_TRUE(WaitRunningEventLoop([&] { return Text(*pDlg, IDC_RX_COUNT) == "1"; }));
    const std::vector<int> arrQueued = LoseToSilence(*pDlg, listener, nServer);
    // A try waits up to 5 s for the silent server; the window's loop turns on meanwhile.
    QElapsedTimer clkSpan;
    QElapsedTimer clkGap;
    qint64 nLongestGapMs = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout,
                     [&] { nLongestGapMs = std::max(nLongestGapMs, clkGap.restart()); });
    clkSpan.start();
    clkGap.start();
    tick.start(0);
    WaitRunningEventLoop([&] { return clkSpan.elapsed() >= 1500; });
    tick.stop();
    EXPECT_LT(nLongestGapMs, 1000);
    EXPECT_TRUE(pDlg->IsWaitingForDevice());
    // The server answers again: the window is open on it again.
    nServer = TakeWindowsConnection(listener, arrQueued);
    ASSERT_GE(nServer, 0);
    EXPECT_TRUE(WaitRunningEventLoop([&] { return CountShown(*pDlg, kBack) == 1; }));
    EXPECT_FALSE(pDlg->IsWaitingForDevice());
    Send(nServer, 'y');
    EXPECT_TRUE(WaitRunningEventLoop([&] { return Text(*pDlg, IDC_RX_COUNT) == "2"; }));
    EXPECT_TRUE(m_arrMessages.empty());
    close(nServer);
}

TEST_F(NetPortTest, ATryUnderWayEndsWithThePort) {
    const struct {
        const char* szHow;
        std::function<void(CTerminalDlg&)> fnEnd;
    } rows[] = {
        {"unticked", [](CTerminalDlg& dlg) { Ctl<QCheckBox>(dlg, IDC_AUTO_RECONNECT)->click(); }},
        {"closed", [](CTerminalDlg& dlg) { Click(dlg, IDC_OPEN); }},
        {"window closed", [](CTerminalDlg& dlg) { dlg.close(); }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.szHow);
        CLocalListener listener(0);
        std::unique_ptr<CTerminalDlg> pDlg;
        const int nServer = OpenWithReconnect(pDlg, listener);
        ASSERT_GE(nServer, 0);
        const std::vector<int> arrQueued = LoseToSilence(*pDlg, listener, nServer);
        const int nUnderWay = ConnectsUnderWay(listener.Port());
        row.fnEnd(*pDlg);
        EXPECT_FALSE(pDlg->IsPortOpen());
        // The try's socket is gone with it, and no late answer reopens the port.
        EXPECT_EQ(ConnectsUnderWay(listener.Port()), nUnderWay - 1);
        for (int nFd : arrQueued) {
            close(nFd);
        }
        QCoreApplication::processEvents();
        EXPECT_FALSE(pDlg->IsPortOpen());
        EXPECT_EQ(CountShown(*pDlg, kBack), 0);
        EXPECT_TRUE(m_arrMessages.empty());
    }
}

// ser2net in front of a pseudo-terminal reports its lines as all off (a pty has none): a scripted
// server plays the lines' changes. Each NOTIFY-MODEMSTATE reaches the four lamps, deltas ignored;
// closing puts them out.
TEST_F(NetPortTest, ModemStateFromTheServerDrivesTheLamps) {
    CFakeComPortServer server;
    MapCom5(server.Address());
    auto pDlg = MakeDialog();
    SelectPort(*pDlg, 5);
    Click(*pDlg, IDC_OPEN);
    ASSERT_TRUE(WaitRunningEventLoop([&] { return pDlg->IsPortOpen(); }));
    EXPECT_TRUE(m_arrMessages.empty());
    const struct {
        std::uint8_t byState;  // CTS 0x10, DSR 0x20, RI 0x40, CD 0x80; deltas in the low bits
        int nCts, nDsr, nRing, nCd;
    } rows[] = {
        {0x10 | 0x20 | 0x01 | 0x02, 141, 143, 136, 138},
        {0x40 | 0x80 | 0x01 | 0x02 | 0x04 | 0x08, 140, 142, 137, 139},
        {0x80, 140, 142, 136, 139},
        {0xF0, 141, 143, 137, 139},
        {0x00, 140, 142, 136, 138},
    };
    for (const auto& row : rows) {
        ASSERT_TRUE(server.NotifyModemState(row.byState));
        EXPECT_TRUE(WaitRunningEventLoop([&] {
            return Bitmap(*pDlg, IDC_LAMP_CTS) == row.nCts &&
                   Bitmap(*pDlg, IDC_LAMP_DSR) == row.nDsr &&
                   Bitmap(*pDlg, IDC_LAMP_RING) == row.nRing &&
                   Bitmap(*pDlg, IDC_LAMP_CD) == row.nCd;
        })) << int(row.byState);
    }
    ASSERT_TRUE(server.NotifyModemState(0x80));
    ASSERT_TRUE(WaitRunningEventLoop([&] { return Bitmap(*pDlg, IDC_LAMP_CD) == 139; }));
    Click(*pDlg, IDC_OPEN);
    ExpectState(*pDlg, false);
}
