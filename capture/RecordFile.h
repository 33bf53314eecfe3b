// CRecordFile: the file a recording writes to. Opened for appending or anew; only a regular file
// is taken (a folder, a device or a pipe is refused before anything is written to it). Each
// failure carries its reason as a Chinese line, for "记录失败：" and the reason.
#pragma once
#include <cstddef>
#include <string>

class CRecordFile {
public:
    CRecordFile() = default;
    CRecordFile(const CRecordFile&) = delete;
    CRecordFile& operator=(const CRecordFile&) = delete;
    ~CRecordFile() { Close(); }

    // False with Error() set when the file cannot be recorded to.
    bool Open(const std::string& strPath, bool bAppend);
    // Writes all of it or fails; what was written before a failure stays in the file.
    bool Write(const char* pData, std::size_t nCount);
    // Whether the file is still there and writable under its name (it can be removed, moved or
    // made read-only while open, which writing alone would not notice).
    bool Check();
    void Close();
    bool IsOpen() const { return m_fd >= 0; }
    const std::string& Error() const { return m_strError; }

private:
    bool Fail(int nErrno);

    std::string m_strPath;
    int m_fd = -1;
    std::string m_strError;
};

// The reason for an errno, in Chinese ("磁盘已满" for ENOSPC); unknown ones with their number.
std::string RecordErrorText(int nErrno);
