// Ports on other machines through the engine, against Debian's ser2net in front of a
// pseudo-terminal pair, and against listeners that misbehave on purpose.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <random>
#include <thread>

#include "NetDevice.h"
#include "Ser2NetServer.h"
#include "SerialLink.h"
#include "SerialTestSupport.h"
#include "Telnet.h"

namespace {
constexpr std::size_t kStreamBytes = 16 * 1024 * 1024;

std::vector<std::uint8_t> RandomBytes(std::size_t nCount, unsigned nSeed) {
    std::mt19937 random(nSeed);
    std::vector<std::uint8_t> bytes(nCount);
    for (auto& by : bytes) {
        by = static_cast<std::uint8_t>(random());
    }
    return bytes;
}

class NetDevice : public ::testing::Test {
protected:
    void SetUp() override {
        if (!CSer2NetServer::IsInstalled()) {
            GTEST_SKIP() << "ser2net is missing";
        }
        ASSERT_TRUE(m_server.Pty().IsValid());
        ASSERT_TRUE(m_server.Start());
    }
    bool OpenAt(const std::string& strAddress, const PortSettings& settings = {}) {
        return m_link.OpenDevice(&m_owner, strAddress, settings) && m_link.StartWatcher();
    }
    void ExpectExactBothWays(const std::string& strAddress);
    termios FarEnd() {
        termios tio{};
        tcgetattr(m_server.Pty().MasterFd(), &tio);
        return tio;
    }

    CSer2NetServer m_server;
    CRecordingOwner m_owner;
    CSerialLink m_link;
};
}  // namespace

void NetDevice::ExpectExactBothWays(const std::string& strAddress) {
    ASSERT_TRUE(OpenAt(strAddress)) << DescribeOpenError(m_link.GetOpenError());
    // Out: engine to the pseudo-terminal.
    const std::vector<std::uint8_t> out = RandomBytes(kStreamBytes, 1);
    ASSERT_TRUE(m_link.Write(out.data(), out.size()));
    EXPECT_TRUE(m_server.Pty().ReadMaster(out.size(), std::chrono::seconds(120)) == out);
    // In: the pseudo-terminal to the engine, written on a thread of its own.
    const std::vector<std::uint8_t> in = RandomBytes(kStreamBytes, 2);
    m_owner.bTakeRuns = true;
    std::thread writer([&] { m_server.Pty().WriteMaster(in); });
    const bool bArrived = m_owner.PumpUntil(
        m_link, [&] { return m_owner.bytes.size() >= in.size(); }, 120000);
    EXPECT_TRUE(bArrived);
    if (!bArrived) {
        m_server.Pty().CloseMaster();  // ends the writer's wait for room
    }
    writer.join();
    EXPECT_TRUE(m_owner.bytes == in);
}

TEST_F(NetDevice, SixteenMebibytesEachWayArriveExactThroughRfc2217) {
    ExpectExactBothWays(m_server.ComAddress());
}

TEST_F(NetDevice, SixteenMebibytesEachWayArriveExactThroughRawTcp) {
    ExpectExactBothWays(m_server.RawAddress());
}

TEST_F(NetDevice, SettingsReachTheFarTermios) {
    const struct {
        std::uint32_t dwBaud;
        speed_t nSpeed;
        EStopBits eStop;
    } rows[] = {
        {115200, B115200, EStopBits::Two},
        {9600, B9600, EStopBits::One},
        {57600, B57600, EStopBits::Two},
    };
    for (const auto& row : rows) {
        PortSettings settings;
        settings.dwBaudRate = row.dwBaud;
        settings.eStopBits = row.eStop;
        ASSERT_TRUE(OpenAt(m_server.ComAddress(), settings))
            << DescribeOpenError(m_link.GetOpenError());
        // The server may answer before its own tcsetattr.
        EXPECT_TRUE(WaitPolling([&] {
            const termios tio = FarEnd();
            return cfgetospeed(&tio) == row.nSpeed &&
                   ((tio.c_cflag & CSTOPB) != 0) == (row.eStop == EStopBits::Two);
        })) << row.dwBaud;
        EXPECT_TRUE(m_link.GetSettingDifferences().empty())
            << testing::PrintToString(m_link.GetSettingDifferences());
        m_link.Close();
    }
}

TEST_F(NetDevice, DataBitsAndParityReachTheServer) {
    // A pseudo-terminal keeps CS8 and clears PARENB whatever it is told, and ser2net answers with
    // the values it was asked for: the request shows in its answers, not on the termios.
    PortSettings settings;
    settings.byDataBits = 7;
    settings.eParity = EParity::Even;
    ASSERT_TRUE(OpenAt(m_server.ComAddress(), settings));
    EXPECT_EQ(FarEnd().c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_TRUE(m_link.GetSettingDifferences().empty());
}

TEST_F(NetDevice, RawPortSendsNoSettingsAndSaysSo) {
    PortSettings settings;
    settings.dwBaudRate = 115200;
    ASSERT_TRUE(OpenAt(m_server.RawAddress(), settings));
    // The line keeps the server's own configuration (9600).
    const std::uint8_t byProbe = 'p';
    ASSERT_TRUE(m_link.Write(&byProbe, 1));
    ASSERT_EQ(m_server.Pty().ReadMaster(1, std::chrono::seconds(10)).size(), 1u);
    const termios tio = FarEnd();
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B9600));
    ASSERT_EQ(m_link.GetSettingDifferences().size(), 1u);
    EXPECT_NE(m_link.GetSettingDifferences()[0].find("不会发送到设备"), std::string::npos);
}

TEST_F(NetDevice, ServerGoingAwayIsALostPort) {
    ASSERT_TRUE(OpenAt(m_server.ComAddress()));
    const std::uint8_t abyHello[] = {'h', 0xFF, 'i'};
    m_server.Pty().WriteMaster(abyHello, sizeof abyHello);
    ASSERT_TRUE(m_owner.PumpUntil(m_link, [&] { return m_owner.bytes.size() == 3; }));
    m_server.Stop();
    EXPECT_TRUE(m_owner.PumpUntil(m_link, [&] { return m_owner.Count(SN_PORT_LOST) == 1; }));
    EXPECT_TRUE(ClosesPromptly(m_link));
}

namespace {
struct CRefusalCase {
    const char* pszName;
    std::string strAddress;
    EOpenError eKind;
    const char* pszReason;
};

void ExpectRefusal(const CRefusalCase& row) {
    CSerialLink link;
    CRecordingOwner owner;
    const auto tStart = std::chrono::steady_clock::now();
    EXPECT_FALSE(link.OpenDevice(&owner, row.strAddress, {})) << row.pszName;
    EXPECT_LT(std::chrono::steady_clock::now() - tStart, std::chrono::seconds(8)) << row.pszName;
    EXPECT_EQ(link.GetOpenError().eKind, row.eKind) << row.pszName;
    EXPECT_NE(DescribeOpenError(link.GetOpenError()).find(row.pszReason), std::string::npos)
        << row.pszName << ": " << DescribeOpenError(link.GetOpenError());
}
}  // namespace

TEST(NetDeviceRefusals, EachHasItsReason) {
    const std::string strFree = std::to_string(FreeLocalPort());
    const CRefusalCase rows[] = {
        {"refused", "rfc2217://127.0.0.1:" + strFree, EOpenError::Refused, "原因：连接被拒绝"},
        {"refused on IPv6", "tcp://[::1]:" + strFree, EOpenError::Refused, "原因：连接被拒绝"},
        {"unresolved", "rfc2217://no-such-host.invalid:2001", EOpenError::NameUnresolved,
         "原因：无法解析主机名"},
        {"malformed", "rfc2217://127.0.0.1", EOpenError::BadAddress, "格式不对"},
    };
    for (const CRefusalCase& row : rows) {
        ExpectRefusal(row);
    }
}

TEST(NetDeviceRefusals, ServerThatNeverSpeaksTelnetIsRefusedWithAReason) {
    CLocalListener silent;  // accepts (the kernel does) and never says a word
    ExpectRefusal({"silent", "rfc2217://127.0.0.1:" + std::to_string(silent.Port()),
                   EOpenError::NoComPort, "不支持 RFC 2217"});
}

TEST(NetDeviceRefusals, UnansweredConnectEndsWithinItsLimit) {
    // A listener whose queue is full: the kernel drops further connection requests unanswered.
    CLocalListener full(0);
    const std::vector<int> arrQueued = full.FillQueue();
    ExpectRefusal({"unanswered", "tcp://127.0.0.1:" + std::to_string(full.Port()),
                   EOpenError::TimedOut, "超时"});
    for (int nFd : arrQueued) {
        close(nFd);
    }
}

namespace {
// A server that agrees to everything and answers every setting with 9600 8N1 and no flow
// control, and reports CTS and DSR on.
void PlayStubbornServer(int nListenFd, std::atomic<bool>& bStop) {
    const int nFd = accept(nListenFd, nullptr, nullptr);
    using namespace telnet;
    const std::vector<std::uint8_t> hello = {IAC,        DO,  OPT_COM_PORT, IAC,       DO,
                                             OPT_BINARY, IAC, WILL,         OPT_BINARY};
    const std::vector<std::uint8_t> answers = {
        IAC, SB,  44,  101, 0,   0,   0x25, 0x80, IAC, SE,  IAC, SB,  44,   102, 8,
        IAC, SE,  IAC, SB,  44,  103, 1,    IAC,  SE,  IAC, SB,  44,  104,  1,   IAC,
        SE,  IAC, SB,  44,  105, 1,   IAC,  SE,   IAC, SB,  44,  107, 0x30, IAC, SE};
    send(nFd, hello.data(), hello.size(), MSG_NOSIGNAL);
    std::uint8_t abyBuf[4096];
    while (!bStop) {
        pollfd fd{nFd, POLLIN, 0};
        if (poll(&fd, 1, 50) > 0) {
            if (recv(nFd, abyBuf, sizeof abyBuf, 0) <= 0) {
                break;
            }
            send(nFd, answers.data(), answers.size(), MSG_NOSIGNAL);
        }
    }
    close(nFd);
}
}  // namespace

TEST(NetDeviceAnswers, SettingsTheServerDidNotTakeAndItsLinesAreReported) {
    CLocalListener listener;
    std::atomic<bool> bStop{false};
    std::thread server(PlayStubbornServer, listener.Fd(), std::ref(bStop));
    CSerialLink link;
    CRecordingOwner owner;
    PortSettings settings;
    settings.dwBaudRate = 115200;
    settings.byDataBits = 7;
    settings.eParity = EParity::Mark;
    settings.eStopBits = EStopBits::Two;
    ASSERT_TRUE(link.OpenDevice(&owner, "rfc2217://127.0.0.1:" + std::to_string(listener.Port()),
                                settings));
    EXPECT_EQ(link.GetSettingDifferences(),
              (std::vector<std::string>{"波特率：请求 115200，实际 9600", "数据位：请求 7，实际 8",
                                        "校验位：请求 Mark，实际 None", "停止位：请求 2，实际 1"}));
    std::uint32_t dwLines = 0;
    EXPECT_TRUE(link.GetModemStatus(dwLines));
    EXPECT_EQ(dwLines, MS_CTS_ON | MS_DSR_ON);
    link.SetFlowControl(EFlowControl::CtsRts);
    EXPECT_EQ(link.GetSettingDifferences().back(), "流控：请求 CTS/RTS，实际 None");
    link.Close();
    bStop = true;
    server.join();
}
