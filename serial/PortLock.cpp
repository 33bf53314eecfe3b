#include "PortLock.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace {
// The PID in a lock file, or 0 when the file holds none.
int ReadLockPid(const std::string& strPath) {
    std::ifstream in(strPath);
    long nPid = 0;
    if (!(in >> nPid) || nPid <= 0 || nPid > INT_MAX) {
        return 0;
    }
    return static_cast<int>(nPid);
}

bool IsRunning(int nPid) {
    return kill(nPid, 0) == 0 || errno == EPERM;
}

// Any node of the same character device counts; other files must be the very same file.
bool IsSameFile(const struct stat& a, const struct stat& b) {
    if (S_ISCHR(a.st_mode) && S_ISCHR(b.st_mode)) {
        return a.st_rdev == b.st_rdev;
    }
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

std::string RealPathOf(const std::string& strPath) {
    char szReal[PATH_MAX];
    return realpath(strPath.c_str(), szReal) != nullptr ? std::string(szReal) : strPath;
}
}  // namespace

CPortLock::CPortLock(std::string strFolder, const std::string& strDevicePath)
    : m_strPath(std::move(strFolder) + "/" + LockNameFor(strDevicePath)) {}

CPortLock::~CPortLock() {
    Release();
}

std::string CPortLock::LockNameFor(const std::string& strDevicePath) {
    std::string strName = RealPathOf(strDevicePath);
    const std::string strDev = "/dev/";
    if (strName.compare(0, strDev.size(), strDev) == 0) {
        strName.erase(0, strDev.size());
    } else {
        strName.erase(0, strName.find_last_of('/') + 1);
    }
    for (char& c : strName) {
        if (c == '/') {
            c = '_';
        }
    }
    return "LCK.." + strName;
}

bool CPortLock::Acquire() {
    m_strHolder.clear();
    if (m_bHeld) {
        return true;
    }
    // Two rounds: the second follows the removal of a stale lock.
    for (int nRound = 0; nRound < 2; ++nRound) {
        const int nFd = open(m_strPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (nFd >= 0) {
            char szPid[16];
            const int nLen =
                std::snprintf(szPid, sizeof szPid, "%10d\n", static_cast<int>(getpid()));
            const bool bWritten = write(nFd, szPid, nLen) == nLen;
            close(nFd);
            if (!bWritten) {
                unlink(m_strPath.c_str());
                return true;  // a full disk: the convention cannot be kept here
            }
            m_bHeld = true;
            return true;
        }
        if (errno != EEXIST) {
            return true;  // no writable lock folder
        }
        const int nPid = ReadLockPid(m_strPath);
        if (nPid > 0 && IsRunning(nPid)) {
            m_strHolder = DescribeProcess(nPid);
            return false;
        }
        unlink(m_strPath.c_str());
    }
    return false;  // another program took the lock between our two rounds
}

void CPortLock::Release() {
    if (!m_bHeld) {
        return;
    }
    m_bHeld = false;
    if (ReadLockPid(m_strPath) == getpid()) {
        unlink(m_strPath.c_str());
    }
}

std::string DescribeProcess(int nPid) {
    std::ifstream in("/proc/" + std::to_string(nPid) + "/comm");
    std::string strName;
    std::getline(in, strName);
    const std::string strPid = "PID " + std::to_string(nPid);
    return strName.empty() ? strPid : strName + " (" + strPid + ")";
}

namespace {
// The process holding a flock on the file, from /proc/locks ("1: FLOCK  ADVISORY  WRITE 1234
// 00:1a:3 0 EOF": major and minor of the file system in hex, then the inode); 0 when none.
int FindFlockHolder(const struct stat& stFile) {
    std::ifstream locks("/proc/locks");
    std::string strLine;
    while (std::getline(locks, strLine)) {
        char szKind[16] = {};
        int nPid = 0;
        unsigned nMajor = 0;
        unsigned nMinor = 0;
        unsigned long nInode = 0;
        if (std::sscanf(strLine.c_str(), "%*s %15s %*s %*s %d %x:%x:%lu", szKind, &nPid, &nMajor,
                        &nMinor, &nInode) == 5 &&
            std::string(szKind) == "FLOCK" && nPid != getpid() &&
            makedev(nMajor, nMinor) == stFile.st_dev && nInode == stFile.st_ino) {
            return nPid;
        }
    }
    return 0;
}
}  // namespace

std::string FindDeviceUser(const std::string& strDevicePath) {
    struct stat stDevice {};
    if (stat(strDevicePath.c_str(), &stDevice) != 0) {
        return {};
    }
    // The flock's holder is the one that keeps us out; a process that merely has the device
    // open (perhaps inherited) comes second.
    if (const int nPid = FindFlockHolder(stDevice); nPid > 0) {
        return DescribeProcess(nPid);
    }
    DIR* pProc = opendir("/proc");
    if (pProc == nullptr) {
        return {};
    }
    const int nSelf = getpid();
    std::string strUser;
    while (dirent* pEntry = readdir(pProc)) {
        char* pEnd = nullptr;
        const long nPid = std::strtol(pEntry->d_name, &pEnd, 10);
        if (*pEnd != '\0' || nPid <= 0 || nPid == nSelf) {
            continue;
        }
        const std::string strFds = std::string("/proc/") + pEntry->d_name + "/fd";
        DIR* pFds = opendir(strFds.c_str());
        if (pFds == nullptr) {
            continue;
        }
        while (dirent* pFd = readdir(pFds)) {
            struct stat st {};
            if (pFd->d_name[0] != '.' && stat((strFds + "/" + pFd->d_name).c_str(), &st) == 0 &&
                IsSameFile(st, stDevice)) {
                strUser = DescribeProcess(static_cast<int>(nPid));
                break;
            }
        }
        closedir(pFds);
        if (!strUser.empty()) {
            break;
        }
    }
    closedir(pProc);
    return strUser;
}
