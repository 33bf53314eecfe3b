#include "PortLock.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <functional>
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

// Runs fnCheck in a child process as the user "nobody" when this one is root (root may write and
// delete anything) and says whether it held.
bool HoldsAsUnprivilegedUser(const std::function<bool()>& fnCheck) {
    const pid_t nChild = fork();
    if (nChild == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
            _exit(2);
        }
        _exit(fnCheck() ? 0 : 1);
    }
    int nStatus = 0;
    return nChild > 0 && waitpid(nChild, &nStatus, 0) == nChild && WIFEXITED(nStatus) &&
           WEXITSTATUS(nStatus) == 0;
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

// Other programs write the PID as text or as a 4-byte int; either way a live holder keeps the
// port and is named, and a dead one's lock is taken over.
TEST(PortLock, HoldersAreReadFromTextAndBinaryLocks) {
    CPeerProcess holder({"sleep", "30"});
    ASSERT_GT(holder.Pid(), 0);
    const std::string strName = "sleep (PID " + std::to_string(holder.Pid()) + ")";
    ASSERT_TRUE(WaitPolling([&] { return DescribeProcess(holder.Pid()) == strName; }));
    const auto text = [](int nPid) { return "     " + std::to_string(nPid) + " minicom root\n"; };
    const auto binary = [](int nPid) {
        const std::int32_t n = nPid;
        return std::string(reinterpret_cast<const char*>(&n), sizeof n);
    };
    const int nDead = DeadPid();
    const struct {
        std::string strContent;
        bool bHeld;
    } rows[] = {
        {text(holder.Pid()), true},
        {binary(holder.Pid()), true},
        {text(nDead), false},
        {binary(nDead), false},
    };
    for (const auto& row : rows) {
        CTempFolder folder;
        std::ofstream(folder.PathOf("LCK..ttyUSB0"), std::ios::binary) << row.strContent;
        CPortLock lock(folder.Path(), "/dev/ttyUSB0");
        EXPECT_EQ(lock.Acquire(), !row.bHeld) << row.strContent;
        EXPECT_EQ(lock.GetHolder(), row.bHeld ? strName : "");
        char szOurs[16];
        std::snprintf(szOurs, sizeof szOurs, "%10d\n", static_cast<int>(getpid()));
        EXPECT_EQ(Contents(folder.PathOf("LCK..ttyUSB0")), row.bHeld ? row.strContent : szOurs);
        EXPECT_EQ(folder.CountEntries(), 1u);
    }
}

// Nothing proves the owner of a lock without a readable PID gone, however old the lock: another
// program may not have written it yet, or writes a format of its own.
TEST(PortLock, LocksWithoutAReadablePidKeepThePortHeld) {
    for (const std::string& strContent : {std::string(), std::string("garbage\n"),
                                          std::string("12abc\n"), std::string("\0\0\0\0", 4)}) {
        for (const bool bOld : {false, true}) {
            CTempFolder folder;
            const std::string strLock = folder.PathOf("LCK..ttyS0");
            std::ofstream(strLock, std::ios::binary) << strContent;
            ASSERT_TRUE(!bOld || MakeOld(strLock));
            CPortLock lock(folder.Path(), "/dev/ttyS0");
            EXPECT_FALSE(lock.Acquire()) << strContent << bOld;
            EXPECT_EQ(lock.GetHolder(), "未知（锁文件 " + strLock + " 中没有可读的进程号）");
            lock.Release();
            EXPECT_EQ(Contents(strLock), strContent);
            EXPECT_EQ(folder.CountEntries(), 1u);
        }
    }
}

// A stale lock in a folder where this user may not delete it: the port stays closed and the
// engine's reason names the lock file. Root may delete anything, so the open runs as "nobody"
// then, in a child process.
TEST(PortLock, StaleLockThatCannotBeRemovedIsTheReason) {
    CTempFolder folder;
    const std::string strLocks = folder.PathOf("locks");
    const std::string strLock = strLocks + "/LCK..ttyS9";
    ASSERT_EQ(mkdir(strLocks.c_str(), 0755), 0);
    std::ofstream(strLock) << "      " << DeadPid() << "\n";
    std::ofstream(folder.PathOf("Vexor.ini")) << "[DEVICES]\nCOM1=/dev/ttyS9\n";
    ASSERT_EQ(chmod(strLocks.c_str(), 0555), 0);
    ASSERT_EQ(chmod(folder.Path().c_str(), 0755), 0);
    EXPECT_TRUE(HoldsAsUnprivilegedUser([&] {
        CSerialLink link;
        link.SetDeviceMapSource(folder.PathOf("Vexor.ini"), folder.PathOf("root"));
        link.SetLockFolder(strLocks);
        const bool bOpened = link.Open(nullptr, PortSettings{});
        const OpenError& error = link.GetOpenError();
        return !bOpened && error.eKind == EOpenError::LockFile && error.nErrno == EACCES &&
               DescribeOpenError(error) == "原因：锁文件 " + strLock +
                                               " 的所有者已退出，但无法删除它（Permission "
                                               "denied，errno 13），请手动删除";
    }));
}

// A lock folder this user may not write: the convention is not in force there, so the lock is
// granted without a file and without naming anyone (flock and TIOCEXCL still keep others out).
// Root may write anything, so the lock is taken as "nobody" then, in a child process.
TEST(PortLock, FolderNotWritableGrantsTheLockWithoutAFile) {
    CTempFolder folder;
    const std::string strLocks = folder.PathOf("locks");
    ASSERT_EQ(mkdir(strLocks.c_str(), 0555), 0);
    ASSERT_EQ(chmod(folder.Path().c_str(), 0755), 0);
    EXPECT_TRUE(HoldsAsUnprivilegedUser([&] {
        CPortLock lock(strLocks, "/dev/ttyS9");
        return lock.Acquire() && lock.GetHolder().empty();
    }));
    EXPECT_EQ(access((strLocks + "/LCK..ttyS9").c_str(), F_OK), -1);
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
