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
#include <ctime>
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

// A lock without a PID younger than this is taken as one being written by its creator.
constexpr long kYoungLockSeconds = 2;

// True when the file was modified within kYoungLockSeconds of now. A time far in the future
// (a clock set back) counts as old, or such a lock would keep the port for good.
bool IsYoung(const std::string& strPath) {
    struct stat st {};
    timespec now{};
    if (stat(strPath.c_str(), &st) != 0 || clock_gettime(CLOCK_REALTIME, &now) != 0) {
        return false;
    }
    const long long nAgeMs = (static_cast<long long>(now.tv_sec) - st.st_mtim.tv_sec) * 1000 +
                             (now.tv_nsec - st.st_mtim.tv_nsec) / 1000000;
    return nAgeMs > -kYoungLockSeconds * 1000 && nAgeMs < kYoungLockSeconds * 1000;
}

bool WriteAll(int nFd, const std::string& strText) {
    return write(nFd, strText.data(), strText.size()) == static_cast<ssize_t>(strText.size());
}

enum class ECreate { Created, Exists, Unavailable, NoLink };

// The lock appears with its PID already in it: written to a temporary file beside it, then
// linked to the lock's name, which fails with EEXIST while another program holds it. NoLink
// when this cannot be done here (no hard links on the file system, no temporary file).
ECreate CreateByLink(const std::string& strPath, const std::string& strText) {
    std::string strTemp = strPath + ".XXXXXX";
    const int nFd = mkostemp(strTemp.data(), O_CLOEXEC);
    if (nFd < 0) {
        return ECreate::NoLink;
    }
    // mkostemp creates with 0600; other programs must be able to read the PID.
    const bool bWritten = fchmod(nFd, 0644) == 0 && WriteAll(nFd, strText);
    ECreate eResult = ECreate::Unavailable;  // a full disk: the convention cannot be kept here
    if (bWritten) {
        if (link(strTemp.c_str(), strPath.c_str()) == 0) {
            eResult = ECreate::Created;
        } else {
            const int nError = errno;
            struct stat st {};
            if (fstat(nFd, &st) == 0 && st.st_nlink == 2) {
                eResult = ECreate::Created;  // NFS may report a failure of a link it made
            } else {
                eResult = nError == EEXIST ? ECreate::Exists : ECreate::NoLink;
            }
        }
    }
    close(nFd);
    unlink(strTemp.c_str());
    return eResult;
}

// The older way, for file systems without hard links: the lock is empty until the write.
ECreate CreateExclusive(const std::string& strPath, const std::string& strText) {
    const int nFd = open(strPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (nFd < 0) {
        return errno == EEXIST ? ECreate::Exists : ECreate::Unavailable;
    }
    const bool bWritten = WriteAll(nFd, strText);
    close(nFd);
    if (!bWritten) {
        unlink(strPath.c_str());
        return ECreate::Unavailable;  // a full disk: the convention cannot be kept here
    }
    return ECreate::Created;
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
    char szPid[16];
    std::snprintf(szPid, sizeof szPid, "%10d\n", static_cast<int>(getpid()));
    // Two rounds: the second follows the removal of a stale lock.
    for (int nRound = 0; nRound < 2; ++nRound) {
        ECreate eResult = CreateByLink(m_strPath, szPid);
        if (eResult == ECreate::NoLink) {
            eResult = CreateExclusive(m_strPath, szPid);
        }
        if (eResult == ECreate::Created) {
            m_bHeld = true;
            return true;
        }
        if (eResult != ECreate::Exists) {
            return true;  // no writable lock folder, or no room in it
        }
        const int nPid = ReadLockPid(m_strPath);
        if (nPid > 0 && IsRunning(nPid)) {
            m_strHolder = DescribeProcess(nPid);
            return false;
        }
        // Without a PID, a young lock is most likely one that its creator has not written yet
        // (programs that create it empty and then write); its holder is unknown.
        if (nPid == 0 && IsYoung(m_strPath)) {
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
