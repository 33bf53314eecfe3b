// Exclusive use against the programs that share the conventions: picocom (flock) and minicom
// (UUCP lock file in /var/lock). Both run headless under script(1), which gives them a terminal.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "PortLock.h"
#include "PtyPair.h"
#include "SerialLink.h"
#include "SerialTestSupport.h"

namespace {
bool HaveProgram(const std::string& strName) {
    for (const char* pszDir : {"/usr/bin/", "/bin/", "/usr/local/bin/"}) {
        if (access((pszDir + strName).c_str(), X_OK) == 0) {
            return true;
        }
    }
    return false;
}

// A process whose name starts with strName holds a flock (as /proc/locks lists them).
bool FlockHeldBy(const std::string& strName) {
    std::ifstream locks("/proc/locks");
    std::string strLine;
    while (std::getline(locks, strLine)) {
        std::istringstream fields(strLine);
        std::string strNumber, strKind, strMode, strAccess;
        int nPid = 0;
        if (fields >> strNumber >> strKind >> strMode >> strAccess >> nPid && strKind == "FLOCK" &&
            DescribeProcess(nPid).rfind(strName, 0) == 0) {
            return true;
        }
    }
    return false;
}

std::unique_ptr<CPeerProcess> RunHeadless(const std::string& strCommand) {
    return std::make_unique<CPeerProcess>(
        std::vector<std::string>{"env", "TERM=xterm", "script", "-qefc", strCommand, "/dev/null"});
}

class SerialPeers : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveProgram("script")) {
            GTEST_SKIP() << "script(1) is missing";
        }
        ASSERT_TRUE(m_pty.IsValid());
        MapCom1(m_link, m_folder, m_pty.SlavePath());
    }
    // minicom keeps its lock files in /var/lock; our lock must meet it there.
    void UseSystemLockFolder() {
        if (access("/var/lock", W_OK) != 0) {
            GTEST_SKIP() << "/var/lock is not writable";
        }
        m_link.SetLockFolder("/var/lock");
    }
    std::string LockFile() const {
        return "/var/lock/" + CPortLock::LockNameFor(m_pty.SlavePath());
    }

    CPtyPair m_pty;
    CTempFolder m_folder;
    CRecordingOwner m_owner;
    CSerialLink m_link;
};
}  // namespace

TEST_F(SerialPeers, PortHeldByPicocomFailsAndNamesIt) {
    if (!HaveProgram("picocom")) {
        GTEST_SKIP() << "picocom is missing";
    }
    auto pPeer = RunHeadless("picocom -q " + m_pty.SlavePath());
    ASSERT_TRUE(WaitPolling([] { return FlockHeldBy("picocom"); }));
    EXPECT_FALSE(m_link.Open(&m_owner, {}));
    EXPECT_EQ(m_link.GetHolder().rfind("picocom (PID ", 0), 0u) << m_link.GetHolder();
    pPeer.reset();
    EXPECT_TRUE(WaitPolling([&] { return m_link.Open(&m_owner, {}); }));
}

TEST_F(SerialPeers, PicocomCannotOpenAPortWeHold) {
    if (!HaveProgram("picocom")) {
        GTEST_SKIP() << "picocom is missing";
    }
    ASSERT_TRUE(m_link.Open(&m_owner, {}));
    auto pPeer = RunHeadless("picocom -q " + m_pty.SlavePath());
    const int nStatus = pPeer->WaitExit(10000);
    EXPECT_NE(nStatus, -1) << "picocom still runs";
    EXPECT_NE(nStatus, 0);
}

TEST_F(SerialPeers, PortHeldByMinicomFailsAndNamesIt) {
    if (!HaveProgram("minicom")) {
        GTEST_SKIP() << "minicom is missing";
    }
    UseSystemLockFolder();
    auto pPeer = RunHeadless("minicom -D " + m_pty.SlavePath());
    std::string strHolder;
    ASSERT_TRUE(WaitPolling([&] {
        std::ifstream lock(LockFile());
        int nPid = 0;
        return lock >> nPid && (strHolder = DescribeProcess(nPid)).rfind("minicom", 0) == 0;
    }));
    EXPECT_FALSE(m_link.Open(&m_owner, {}));
    EXPECT_EQ(m_link.GetHolder(), strHolder);
    pPeer.reset();
    // Whether minicom removed its lock or left it stale, the port is ours again.
    EXPECT_TRUE(WaitPolling([&] { return m_link.Open(&m_owner, {}); }));
    m_link.Close();
    EXPECT_NE(access(LockFile().c_str(), F_OK), 0);
}

TEST_F(SerialPeers, MinicomCannotOpenAPortWeHold) {
    if (!HaveProgram("minicom")) {
        GTEST_SKIP() << "minicom is missing";
    }
    UseSystemLockFolder();
    ASSERT_TRUE(m_link.Open(&m_owner, {}));
    auto pPeer = RunHeadless("minicom -D " + m_pty.SlavePath());
    const int nStatus = pPeer->WaitExit(10000);
    EXPECT_NE(nStatus, -1) << "minicom still runs";
    EXPECT_NE(nStatus, 0);
}

// A second diVE process holds the port: its lock file, flock and TIOCEXCL keep us out, the holder
// is named as that process, and the port opens once it has let go.
TEST_F(SerialPeers, PortHeldByAnotherDiveProcessFailsAndNamesIt) {
    int toParent[2];
    int toChild[2];
    ASSERT_EQ(pipe(toParent), 0);
    ASSERT_EQ(pipe(toChild), 0);
    const pid_t nChild = fork();
    ASSERT_GE(nChild, 0);
    if (nChild == 0) {
        CSerialLink link;
        MapCom1(link, m_folder, m_pty.SlavePath());
        char c = link.Open(nullptr, PortSettings{}) ? '1' : '0';
        _exit(write(toParent[1], &c, 1) == 1 && read(toChild[0], &c, 1) >= 0 ? 0 : 1);
    }
    char c = 0;
    ASSERT_EQ(read(toParent[0], &c, 1), 1);
    ASSERT_EQ(c, '1');
    EXPECT_FALSE(m_link.Open(&m_owner, {}));
    EXPECT_EQ(m_link.GetHolder(), DescribeProcess(nChild));
    EXPECT_EQ(m_link.GetOpenError().eKind, EOpenError::Busy);
    ASSERT_EQ(write(toChild[1], "x", 1), 1);
    int nStatus = 0;
    ASSERT_EQ(waitpid(nChild, &nStatus, 0), nChild);
    EXPECT_TRUE(WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0);
    EXPECT_TRUE(m_link.Open(&m_owner, {}));
    for (int fd : {toParent[0], toParent[1], toChild[0], toChild[1]}) {
        close(fd);
    }
}
