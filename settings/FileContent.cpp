#include "FileContent.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <system_error>
#include <thread>

namespace {

constexpr mode_t kAnyWriteBit = S_IWUSR | S_IWGRP | S_IWOTH;
constexpr mode_t kNewFileMode = 0666;  // narrowed by the umask, as any new file
constexpr int kTempNameAttempts = 100;
constexpr int kMaxLinkHops = 40;  // as the kernel allows

bool WriteAll(int nFd, const char* pData, std::size_t nSize) {
    while (nSize > 0) {
        const ssize_t nWritten = ::write(nFd, pData, nSize);
        if (nWritten < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        pData += nWritten;
        nSize -= static_cast<std::size_t>(nWritten);
    }
    return true;
}

// Read-only means: no write bit at all (which stops even a privileged process), or no permission.
bool IsWritable(const std::string& strPath, const struct stat& st) {
    return (st.st_mode & kAnyWriteBit) != 0 && ::access(strPath.c_str(), W_OK) == 0;
}

// The path whose file is replaced: a symbolic link, or a chain of them, is followed to the file it
// names, which need not exist yet. A loop is left as it is (reading through it fails first).
std::filesystem::path TargetOf(const std::string& strPath) {
    std::filesystem::path path(strPath);
    std::error_code ec;
    for (int nHop = 0; nHop < kMaxLinkHops && std::filesystem::is_symlink(path, ec); ++nHop) {
        const std::filesystem::path link = std::filesystem::read_symlink(path, ec);
        if (ec) {
            break;
        }
        path = link.is_absolute() ? link : path.parent_path() / link;
    }
    return path;
}

// Creates a new, empty temporary file beside strTarget; strTemp receives its name.
int CreateTempBeside(const std::filesystem::path& target, std::string& strTemp) {
    static std::atomic<unsigned> s_nCounter{0};
    const std::filesystem::path folder = target.parent_path();
    for (int nAttempt = 0; nAttempt < kTempNameAttempts; ++nAttempt) {
        const std::string strName = "." + target.filename().string() + "." +
                                    std::to_string(::getpid()) + "." +
                                    std::to_string(s_nCounter.fetch_add(1)) + ".tmp";
        strTemp = (folder / strName).string();
        const int nFd =
            ::open(strTemp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kNewFileMode);
        if (nFd >= 0 || errno != EEXIST) {
            return nFd;
        }
    }
    return -1;
}

}  // namespace

CFd::~CFd() {
    if (m_nFd >= 0) {
        ::close(m_nFd);
    }
}

EReadResult ReadFileContent(const std::string& strPath, std::string& strContent) {
    strContent.clear();
    const CFd fd(OpenForReading(strPath));
    if (fd.Get() < 0) {
        return (errno == ENOENT || errno == ENOTDIR) ? EReadResult::Missing : EReadResult::Failed;
    }
    return ReadOpenFile(fd.Get(), strContent);
}

int OpenForReading(const std::string& strPath) {
    // Non-blocking, so that a FIFO in the file's place cannot hang the caller.
    return ::open(strPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
}

EReadResult ReadOpenFile(int nFd, std::string& strContent) {
    strContent.clear();
    struct stat st {};
    if (::fstat(nFd, &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<unsigned long long>(st.st_size) > kMaxFileSize) {
        return EReadResult::Failed;
    }
    strContent.resize(static_cast<std::size_t>(st.st_size));
    std::size_t nRead = 0;
    char szMore[4096];
    for (;;) {
        // The file may have grown since fstat: read on until its end. What comes after the
        // expected size goes through a small buffer, so that the whole text is never copied to
        // learn that nothing followed.
        const bool bFull = nRead == strContent.size();
        if (bFull && strContent.size() >= kMaxFileSize) {
            break;
        }
        char* pDest = bFull ? szMore : strContent.data() + nRead;
        const std::size_t nCap = bFull ? std::min(sizeof szMore, kMaxFileSize - strContent.size())
                                       : strContent.size() - nRead;
        const ssize_t n = ::read(nFd, pDest, nCap);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            strContent.clear();
            return EReadResult::Failed;
        }
        if (n == 0) {
            break;
        }
        if (bFull) {
            strContent.append(szMore, static_cast<std::size_t>(n));
        }
        nRead += static_cast<std::size_t>(n);
    }
    strContent.resize(nRead);
    return EReadResult::Ok;
}

bool ReplaceFileContent(const std::string& strPath, const std::string& strContent) {
    const std::filesystem::path target = TargetOf(strPath);
    std::filesystem::path folder = target.parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    struct stat stFolder {};
    if (ec || ::stat(folder.c_str(), &stFolder) != 0 || !S_ISDIR(stFolder.st_mode) ||
        !IsWritable(folder.string(), stFolder)) {
        return false;
    }
    struct stat stFile {};
    const bool bExists = ::stat(target.c_str(), &stFile) == 0;
    if (bExists && (!S_ISREG(stFile.st_mode) || !IsWritable(target.string(), stFile))) {
        return false;
    }

    std::string strTemp;
    CFd fd(CreateTempBeside(folder / target.filename(), strTemp));
    if (fd.Get() < 0) {
        return false;
    }
    bool bOk = WriteAll(fd.Get(), strContent.data(), strContent.size());
    if (bOk && bExists) {
        bOk = ::fchmod(fd.Get(), stFile.st_mode & 07777) == 0;
        if (stFile.st_uid != ::geteuid() || stFile.st_gid != ::getegid()) {
            // Only a privileged process may hand the file back; failing that is no reason to stop.
            [[maybe_unused]] const int nIgnored = ::fchown(fd.Get(), stFile.st_uid, stFile.st_gid);
        }
    }
    bOk = bOk && ::fsync(fd.Get()) == 0;
    bOk = (::close(fd.Release()) == 0) && bOk;
    bOk = bOk && ::rename(strTemp.c_str(), target.c_str()) == 0;
    if (!bOk) {
        ::unlink(strTemp.c_str());
    }
    return bOk;
}

bool CanReplaceFile(const std::string& strPath) {
    const std::filesystem::path target = TargetOf(strPath);
    std::filesystem::path folder = target.parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    struct stat st {};
    while (::stat(folder.c_str(), &st) != 0) {
        if (errno != ENOENT || !folder.has_relative_path()) {
            return false;
        }
        folder = folder.parent_path().empty() ? "." : folder.parent_path();
    }
    if (!S_ISDIR(st.st_mode) || !IsWritable(folder.string(), st)) {
        return false;
    }
    if (::stat(target.c_str(), &st) != 0) {
        return errno == ENOENT;
    }
    return S_ISREG(st.st_mode) && IsWritable(target.string(), st);
}

CFolderLock::CFolderLock(const std::string& strFilePath) {
    std::filesystem::path folder = TargetOf(strFilePath).parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    m_nFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_nFd < 0) {
        return;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLockWaitMs);
    while (!(m_bHeld = ::flock(m_nFd, LOCK_EX | LOCK_NB) == 0) &&
           (errno == EWOULDBLOCK || errno == EINTR) &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

CFolderLock::~CFolderLock() {
    if (m_nFd >= 0) {
        ::close(m_nFd);  // releases the lock
    }
}
