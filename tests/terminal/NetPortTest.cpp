// The window on ports on other machines: ser2net in front of a pseudo-terminal, opened from
// section "DEVICES" and from the command line; refusals in the box; a slow connect never holds
// the window.
#include <termios.h>
#include <unistd.h>

#include "Ser2NetServer.h"
#include "TerminalFixture.h"

namespace {
class NetPortTest : public TerminalDlgTest {
protected:
    void MapCom5(const std::string& strAddress) { WriteIni("COM5=" + strAddress + "\n"); }
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
