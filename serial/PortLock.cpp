#include "PortLock.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string_view>

namespace {
// The PID in a lock file, or 0 when the file holds none that can be read. Two formats exist: text
// (blanks, decimal digits, then a line end or more text after a blank; ours is "%10d\n") and
// binary, four bytes of a native int. A PID below 2^24 has a zero byte, which text never holds.
int ReadLockPid(const std::string& strPath) {
    char szText[64];
    const int nFd = open(strPath.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (nFd < 0) {
        return 0;
    }
    const ssize_t nRead = read(nFd, szText, sizeof szText - 1);
    close(nFd);
    if (nRead <= 0) {
        return 0;
    }
    const std::string_view text(szText, static_cast<std::size_t>(nRead));
    if (text.size() == sizeof(std::int32_t) && text.find('\0') != std::string_view::npos) {
        std::int32_t nPid = 0;
        std::memcpy(&nPid, szText, sizeof nPid);
        return nPid > 0 ? nPid : 0;
    }
    std::size_t nPos = text.find_first_not_of(" \t");
    int nPid = 0;
    int nDigits = 0;
    for (; nPos < text.size() && std::isdigit(static_cast<unsigned char>(text[nPos])); ++nPos) {
        if (++nDigits > 9) {
            return 0;
        }
        nPid = nPid * 10 + (text[nPos] - '0');
    }
    const bool bEnded = nPos >= text.size() || std::isspace(static_cast<unsigned char>(text[nPos]));
    return nDigits > 0 && bEnded ? nPid : 0;
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
    m_nRemoveError = 0;
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
        // Only a lock whose owner is provably gone is taken over. Without a readable PID that
        // cannot be known: its creator may not have written it yet, or writes a format of its own.
        const int nPid = ReadLockPid(m_strPath);
        if (nPid == 0) {
            m_strHolder = "未知（锁文件 " + m_strPath + " 中没有可读的进程号）";
            return false;
        }
        if (IsRunning(nPid)) {
            m_strHolder = DescribeProcess(nPid);
            return false;
        }
        if (unlink(m_strPath.c_str()) != 0 && errno != ENOENT) {
            m_nRemoveError = errno;
            return false;
        }
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
