#include "RecordFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

bool CRecordFile::Open(const std::string& strPath, bool bAppend) {
    Close();
    m_strPath = strPath;
    m_strError.clear();
    // Without O_TRUNC until the file is known to be a regular one: truncating a device would
    // already act on it. O_NONBLOCK keeps a pipe or a terminal from holding the open up.
    m_fd = ::open(strPath.c_str(),
                  O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
    if (m_fd < 0) {
        return Fail(errno);
    }
    struct stat st {};
    if (::fstat(m_fd, &st) != 0) {
        return Fail(errno);
    }
    if (!S_ISREG(st.st_mode)) {
        Close();
        m_strError = S_ISDIR(st.st_mode) ? "所选的是文件夹，不是文件" : "所选的不是普通文件";
        return false;
    }
    if (!bAppend && ::ftruncate(m_fd, 0) != 0) {
        return Fail(errno);
    }
    return true;
}

bool CRecordFile::Write(const char* pData, std::size_t nCount) {
    while (nCount > 0) {
        const ssize_t n = ::write(m_fd, pData, nCount);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return Fail(errno);
        }
        pData += n;
        nCount -= static_cast<std::size_t>(n);
    }
    return true;
}

bool CRecordFile::Check() {
    struct stat stOpen {};
    struct stat stNamed {};
    if (::fstat(m_fd, &stOpen) != 0) {
        return Fail(errno);
    }
    if (::stat(m_strPath.c_str(), &stNamed) != 0 || stNamed.st_ino != stOpen.st_ino ||
        stNamed.st_dev != stOpen.st_dev) {
        m_strError = "记录文件已被删除或移走";
        return false;
    }
    if (::access(m_strPath.c_str(), W_OK) != 0) {
        m_strError = "记录文件已不可写入";
        return false;
    }
    return true;
}

void CRecordFile::Close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

bool CRecordFile::Fail(int nErrno) {
    m_strError = RecordErrorText(nErrno);
    return false;
}

std::string RecordErrorText(int nErrno) {
    switch (nErrno) {
        case ENOSPC:
            return "磁盘已满";
        case EDQUOT:
            return "超出磁盘配额";
        case EACCES:
        case EPERM:
            return "没有写入权限";
        case EROFS:
            return "只读文件系统";
        case ENOENT:
            return "文件夹不存在";
        case EISDIR:
            return "所选的是文件夹，不是文件";
        case ENXIO:
            return "所选的不是普通文件";
        case EFBIG:
            return "文件过大";
        case EIO:
            return "输入输出错误";
        case ENAMETOOLONG:
            return "文件名过长";
        default:
            return "错误 " + std::to_string(nErrno) + "（" + std::strerror(nErrno) + "）";
    }
}
