#include "PortLock.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "SerialTestSupport.h"

namespace {
std::string Contents(const std::string& strPath) {
    std::ifstream in(strPath);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// A PID that runs no process: a child that has ended and been reaped.
int DeadPid() {
    CPeerProcess child({"true"});
    const int nPid = child.Pid();
    child.WaitExit(10000);
    return nPid;
}

// Sets the file's times a minute back, beyond the age of a lock still being written.
bool MakeOld(const std::string& strPath) {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    now.tv_sec -= 60;
    const timespec times[2] = {now, now};
    return utimensat(AT_FDCWD, strPath.c_str(), times, 0) == 0;
}
}  // namespace

TEST(PortLock, NamesFollowTheUucpConvention) {
    EXPECT_EQ(CPortLock::LockNameFor("/dev/ttyUSB0"), "LCK..ttyUSB0");
    EXPECT_EQ(CPortLock::LockNameFor("/dev/pts/7"), "LCK..pts_7");
    EXPECT_EQ(CPortLock::LockNameFor("/elsewhere/ttyFAKE1"), "LCK..ttyFAKE1");
}

TEST(PortLock, WritesOurPidRightAlignedAndRemovesItOnRelease) {
    CTempFolder folder;
    CPortLock lock(folder.Path(), "/dev/ttyUSB0");
    ASSERT_TRUE(lock.Acquire());
    char szExpected[16];
    std::snprintf(szExpected, sizeof szExpected, "%10d\n", static_cast<int>(getpid()));
    EXPECT_EQ(Contents(folder.PathOf("LCK..ttyUSB0")), szExpected);
    // The temporary file the lock was linked from is gone.
    EXPECT_EQ(folder.CountEntries(), 1u);
    lock.Release();
    EXPECT_NE(access((folder.PathOf("LCK..ttyUSB0")).c_str(), F_OK), 0);
    EXPECT_EQ(folder.CountEntries(), 0u);
}

TEST(PortLock, LiveHolderIsNamedAndItsLockKept) {
    CTempFolder folder;
    CPeerProcess holder({"sleep", "30"});
    ASSERT_GT(holder.Pid(), 0);
    const std::string strExpected = "sleep (PID " + std::to_string(holder.Pid()) + ")";
    ASSERT_TRUE(WaitFor([&] { return DescribeProcess(holder.Pid()) == strExpected; }));
    std::ofstream(folder.PathOf("LCK..ttyUSB0")) << std::string(5, ' ') << holder.Pid() << "\n";
    CPortLock lock(folder.Path(), "/dev/ttyUSB0");
    EXPECT_FALSE(lock.Acquire());
    EXPECT_EQ(lock.GetHolder(), strExpected);
    lock.Release();
    EXPECT_EQ(access((folder.PathOf("LCK..ttyUSB0")).c_str(), F_OK), 0);
}

TEST(PortLock, DeadHoldersLocksAreTakenOver) {
    CTempFolder folder;
    std::ofstream(folder.PathOf("LCK..ttyS0")) << "      " << DeadPid() << "\n";
    CPortLock lock(folder.Path(), "/dev/ttyS0");
    EXPECT_TRUE(lock.Acquire());
    EXPECT_EQ(std::stoi(Contents(folder.PathOf("LCK..ttyS0"))), getpid());
    EXPECT_EQ(folder.CountEntries(), 1u);
}

TEST(PortLock, OldLocksWithoutAPidAreTakenOver) {
    for (const std::string& strContent : {std::string("garbage\n"), std::string()}) {
        CTempFolder folder;
        std::ofstream(folder.PathOf("LCK..ttyS0")) << strContent;
        ASSERT_TRUE(MakeOld(folder.PathOf("LCK..ttyS0")));
        CPortLock lock(folder.Path(), "/dev/ttyS0");
        EXPECT_TRUE(lock.Acquire()) << strContent;
        EXPECT_EQ(std::stoi(Contents(folder.PathOf("LCK..ttyS0"))), getpid());
        EXPECT_EQ(folder.CountEntries(), 1u);
    }
}

TEST(PortLock, YoungLocksWithoutAPidKeepThePortHeld) {
    // Another program may have created the file and not yet written its PID.
    for (const std::string& strContent : {std::string("garbage\n"), std::string()}) {
        CTempFolder folder;
        std::ofstream(folder.PathOf("LCK..ttyS0")) << strContent;
        CPortLock lock(folder.Path(), "/dev/ttyS0");
        EXPECT_FALSE(lock.Acquire()) << strContent;
        EXPECT_EQ(lock.GetHolder(), "");
        lock.Release();
        EXPECT_EQ(Contents(folder.PathOf("LCK..ttyS0")), strContent);
        EXPECT_EQ(folder.CountEntries(), 1u);
    }
}

TEST(PortLock, MissingFolderMeansNoLockFileConvention) {
    CTempFolder folder;
    CPortLock lock(folder.PathOf("missing"), "/dev/ttyUSB0");
    EXPECT_TRUE(lock.Acquire());
    EXPECT_EQ(lock.GetHolder(), "");
}

TEST(PortLock, ReleaseLeavesALockThatIsNoLongerOurs) {
    CTempFolder folder;
    CPortLock lock(folder.Path(), "/dev/ttyUSB0");
    ASSERT_TRUE(lock.Acquire());
    std::ofstream(folder.PathOf("LCK..ttyUSB0"), std::ios::trunc) << "         1\n";
    lock.Release();
    EXPECT_EQ(Contents(folder.PathOf("LCK..ttyUSB0")), "         1\n");
}
