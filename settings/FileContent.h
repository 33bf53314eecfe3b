// Whole-file reads and atomic whole-file replacement, for the settings file.
//
// Failures are reported by the result and never thrown; nothing is printed.
#pragma once
#include <cstddef>
#include <string>

enum class EReadResult { Ok, Missing, Failed };

// Larger files are not read (EReadResult::Failed), so that a stray huge file cannot exhaust memory.
constexpr std::size_t kMaxFileSize = std::size_t{256} << 20;

// Reads a whole regular file. Missing: no such file (or a folder on the way is missing). Failed:
// anything else (not a regular file, unreadable, larger than kMaxFileSize, read error).
EReadResult ReadFileContent(const std::string& strPath, std::string& strContent);
// The same in two steps: opens for ReadOpenFile (-1 and errno on failure), and reads an open file
// whole from where it stands.
int OpenForReading(const std::string& strPath);
EReadResult ReadOpenFile(int nFd, std::string& strContent);

// Closes a descriptor when leaving scope.
class CFd {
public:
    explicit CFd(int nFd) : m_nFd(nFd) {}
    ~CFd();
    CFd(const CFd&) = delete;
    CFd& operator=(const CFd&) = delete;
    int Get() const { return m_nFd; }
    int Release() {
        const int nFd = m_nFd;
        m_nFd = -1;
        return nFd;
    }

private:
    int m_nFd;
};

// Replaces the file's content atomically: writes a temporary file in the same folder, flushes it to
// disk and renames it over the file, so readers see either the old or the new content. Creates the
// missing folders of the path. An existing file keeps its permission bits (and owner, where the
// process may set it); a symbolic link is followed and its target replaced. Refused (false, the
// file untouched, no temporary file left) when the file or its folder is read-only - has no write
// permission bit, or the process may not write it - or on any error.
bool ReplaceFileContent(const std::string& strPath, const std::string& strContent);
// Whether ReplaceFileContent would pass its checks now: the file (if it exists) and its folder, or
// the nearest folder that exists on the way, may be written. Nothing is created.
bool CanReplaceFile(const std::string& strPath);

// Holds an advisory lock (flock) on the folder of a settings file from a read to the replacement
// that follows, so that programs updating the same file one key each do not lose each other's
// change. Waits at most kLockWaitMs for another holder and then goes on without the lock, so a
// program that never lets go cannot hang this one; a folder that cannot be opened is not locked.
class CFolderLock {
public:
    static constexpr int kLockWaitMs = 2000;
    explicit CFolderLock(const std::string& strFilePath);
    ~CFolderLock();
    CFolderLock(const CFolderLock&) = delete;
    CFolderLock& operator=(const CFolderLock&) = delete;
    bool IsHeld() const { return m_bHeld; }

private:
    int m_nFd = -1;
    bool m_bHeld = false;
};
