// dive-loopback as a user runs it: the device path on its first line, the settings entry, a
// 1 MiB round trip, the test data streams, and bad arguments.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "IniFile.h"
#include "LoopbackDevice.h"
#include "TempFolder.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
constexpr auto kLimit = 60s;

// The program running with its output in a pipe.
class CLoopbackProgram {
public:
    explicit CLoopbackProgram(std::vector<std::string> arrArgs) {
        arrArgs.insert(arrArgs.begin(), DIVE_LOOPBACK);
        std::vector<char*> argv;
        for (std::string& strArg : arrArgs) {
            argv.push_back(strArg.data());
        }
        argv.push_back(nullptr);
        int fds[2];
        EXPECT_EQ(::pipe2(fds, O_CLOEXEC), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        EXPECT_EQ(::posix_spawn(&m_nPid, argv[0], &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        m_nOut = fds[0];
    }
    ~CLoopbackProgram() {
        if (m_nPid > 0) {
            ::kill(m_nPid, SIGKILL);
            ::waitpid(m_nPid, nullptr, 0);
        }
        ::close(m_nOut);
    }

    // Everything the program wrote to its output until it ended or printed nLines lines.
    std::string ReadLines(int nLines) {
        std::string strText;
        char c = 0;
        while (nLines > 0 && ::read(m_nOut, &c, 1) == 1) {
            strText += c;
            nLines -= c == '\n' ? 1 : 0;
        }
        return strText;
    }
    // Stops it as Ctrl+C would; its exit status.
    int Stop(int nSignal = SIGINT) {
        ::kill(m_nPid, nSignal);
        return Wait();
    }
    int Wait() {
        int nStatus = 0;
        ::waitpid(m_nPid, &nStatus, 0);
        m_nPid = -1;
        return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : 128 + WTERMSIG(nStatus);
    }

private:
    pid_t m_nPid = -1;
    int m_nOut = -1;
};

// The device opened as a serial program opens it.
int OpenDevice(const std::string& strPath) {
    const int nFd = ::open(strPath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    EXPECT_GE(nFd, 0) << strPath;
    termios raw{};
    ::tcgetattr(nFd, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(nFd, TCSANOW, &raw);
    return nFd;
}

// Reads nWanted bytes (fewer when the time limit passes).
std::vector<std::uint8_t> ReadBytes(int nFd, std::size_t nWanted) {
    std::vector<std::uint8_t> arrData;
    std::vector<std::uint8_t> buffer(64 * 1024);
    const auto end = Clock::now() + kLimit;
    while (arrData.size() < nWanted && Clock::now() < end) {
        pollfd fd{nFd, POLLIN, 0};
        if (::poll(&fd, 1, 100) <= 0) {
            continue;
        }
        const ssize_t n =
            ::read(nFd, buffer.data(), std::min(buffer.size(), nWanted - arrData.size()));
        if (n > 0) {
            arrData.insert(arrData.end(), buffer.begin(), buffer.begin() + n);
        }
    }
    return arrData;
}

void WriteBytes(int nFd, const std::vector<std::uint8_t>& arrData) {
    std::size_t nDone = 0;
    const auto end = Clock::now() + kLimit;
    while (nDone < arrData.size() && Clock::now() < end) {
        const ssize_t n = ::write(nFd, arrData.data() + nDone, arrData.size() - nDone);
        if (n > 0) {
            nDone += static_cast<std::size_t>(n);
        } else {
            pollfd fd{nFd, POLLOUT, 0};
            ::poll(&fd, 1, 100);
        }
    }
    EXPECT_EQ(nDone, arrData.size());
}

std::string FirstLine(CLoopbackProgram& program) {
    std::string strLine = program.ReadLines(1);
    if (!strLine.empty() && strLine.back() == '\n') {
        strLine.pop_back();
    }
    return strLine;
}

TEST(Loopback, EchoesAMebibyteOfEveryByteValueAndNamesItselfInTheSettings) {
    CTempFolder folder;
    const std::string strIni = folder.PathOf("Vexor.ini");
    // COM1 names an earlier run's device, which is gone: its entry is reused.
    CIniFile(strIni).WriteString("DEVICES", "COM1", "/dev/pts/no-such-diVE");
    CIniFile(strIni).WriteString("DEVICES", "COM2", "/dev/null");
    CLoopbackProgram program({"--ini", strIni});
    const std::string strPath = FirstLine(program);
    ASSERT_EQ(strPath.rfind("/dev/", 0), 0u) << strPath;
    EXPECT_EQ(CIniFile(strIni).ReadString("DEVICES", "COM1", ""), strPath);
    EXPECT_EQ(CIniFile(strIni).ReadString("DEVICES", "COM2", ""), "/dev/null");

    const int nFd = OpenDevice(strPath);
    std::vector<std::uint8_t> arrSent(1024 * 1024);
    std::mt19937 random(11);
    for (std::uint8_t& byte : arrSent) {
        byte = static_cast<std::uint8_t>(random());
    }
    std::thread writer([&] { WriteBytes(nFd, arrSent); });
    const std::vector<std::uint8_t> arrBack = ReadBytes(nFd, arrSent.size());
    writer.join();
    ASSERT_EQ(arrBack.size(), arrSent.size());
    EXPECT_TRUE(arrBack == arrSent);
    ::close(nFd);
    EXPECT_EQ(program.Stop(), 0);
}

struct SStreamRow {
    const char* pszName;
    const char* pszStream;
    CLoopbackDevice::EStream stream;
};

class LoopbackStream : public testing::TestWithParam<SStreamRow> {};

// Whether arrData is a stretch of the test data: from a line start on for text.
bool IsStreamStretch(CLoopbackDevice::EStream stream, const std::vector<std::uint8_t>& arrData) {
    const std::string strData(arrData.begin(), arrData.end());
    std::size_t nStart = 0;
    std::uint64_t nOffset = arrData.empty() ? 0 : arrData.front();
    if (stream == CLoopbackDevice::EStream::Text) {
        nStart = strData.find("diVE loopback ");
        if (nStart == std::string::npos || nStart + 20 > strData.size()) {
            return false;
        }
        nOffset = std::stoull(strData.substr(nStart + 14, 6)) * 80;
    }
    const auto arrExpected = CLoopbackDevice::StreamData(stream, nOffset, arrData.size() - nStart);
    return std::equal(arrExpected.begin(), arrExpected.end(), arrData.begin() + nStart);
}

// The first user gets the test data from their start; the next one gets them flowing again.
TEST_P(LoopbackStream, SendsTheTestDataToEachUser) {
    const SStreamRow& row = GetParam();
    CLoopbackProgram program({"--stream", row.pszStream, "--rate", "200000"});
    const std::string strPath = FirstLine(program);
    int nFd = OpenDevice(strPath);
    EXPECT_TRUE(ReadBytes(nFd, 1000) == CLoopbackDevice::StreamData(row.stream, 0, 1000));
    ::close(nFd);
    nFd = OpenDevice(strPath);
    const std::vector<std::uint8_t> arrNext = ReadBytes(nFd, 1000);
    EXPECT_EQ(arrNext.size(), 1000u);
    EXPECT_TRUE(IsStreamStretch(row.stream, arrNext));
    ::close(nFd);
    EXPECT_EQ(program.Stop(SIGTERM), 0);
}

INSTANTIATE_TEST_SUITE_P(Loopback, LoopbackStream,
                         testing::Values(SStreamRow{"Text", "text", CLoopbackDevice::EStream::Text},
                                         SStreamRow{"Binary", "bin",
                                                    CLoopbackDevice::EStream::Binary}),
                         [](const auto& info) { return info.param.pszName; });

TEST(Loopback, TextDataAreNumberedLinesOfEightyBytes) {
    const std::vector<std::uint8_t> arrData =
        CLoopbackDevice::StreamData(CLoopbackDevice::EStream::Text, 80 * 41 + 5, 80);
    const std::string strText(arrData.begin(), arrData.end());
    EXPECT_EQ(strText.substr(75), "diVE ");
    EXPECT_EQ(strText.substr(0, 75),
              "loopback 000041: The quick brown fox jumps over the lazy dog - 0123456789\r\n");
}

struct SBadRow {
    const char* pszName;
    std::vector<std::string> arrArgs;
};

class LoopbackBadArguments : public testing::TestWithParam<SBadRow> {};

TEST_P(LoopbackBadArguments, AreRefusedWithStatusTwo) {
    CLoopbackProgram program(GetParam().arrArgs);
    EXPECT_EQ(program.ReadLines(1), "");  // no device path
    EXPECT_EQ(program.Wait(), 2);
}

INSTANTIATE_TEST_SUITE_P(
    Loopback, LoopbackBadArguments,
    testing::Values(SBadRow{"UnknownStream", {"--stream", "audio"}},
                    SBadRow{"RateNotANumber", {"--rate", "fast"}},
                    SBadRow{"RateZero", {"--rate", "0"}},
                    SBadRow{"ComOutOfRange", {"--ini", "/tmp/x.ini", "--com", "33"}},
                    SBadRow{"ComWithoutIni", {"--com", "3"}}, SBadRow{"MissingValue", {"--rate"}},
                    SBadRow{"UnknownOption", {"--fast"}}, SBadRow{"ExtraArgument", {"COM1"}}),
    [](const auto& info) { return info.param.pszName; });

}  // namespace
