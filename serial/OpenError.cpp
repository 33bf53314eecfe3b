#include "OpenError.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "NetAddress.h"

namespace {
std::string UserName(uid_t nUid) {
    const passwd* pUser = getpwuid(nUid);
    return pUser != nullptr ? pUser->pw_name : std::to_string(nUid);
}

std::string GroupName(gid_t nGid) {
    const group* pGroup = getgrgid(nGid);
    return pGroup != nullptr ? pGroup->gr_name : std::to_string(nGid);
}

// Whether this process counts as a member of the group (its own or a supplementary group). A
// user added to the group keeps the old list until the next login.
bool InGroup(gid_t nGid) {
    if (getegid() == nGid) {
        return true;
    }
    const int nCount = getgroups(0, nullptr);
    std::vector<gid_t> arrGroups(nCount > 0 ? static_cast<std::size_t>(nCount) : 0);
    const int nGot = getgroups(nCount, arrGroups.data());
    for (int i = 0; i < nGot; ++i) {
        if (arrGroups[static_cast<std::size_t>(i)] == nGid) {
            return true;
        }
    }
    return false;
}

std::string DescribePermission(const std::string& strPath) {
    struct stat st {};
    const std::string strUser = UserName(geteuid());
    if (stat(strPath.c_str(), &st) != 0) {
        return "原因：当前用户 " + strUser + " 没有打开 " + strPath + " 的权限";
    }
    const std::string strGroup = GroupName(st.st_gid);
    // The usual case: the device belongs to a group (dialout, uucp) that may read and write it.
    if ((st.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP) && !InGroup(st.st_gid)) {
        return "原因：当前用户不在 " + strGroup + " 组，可执行 sudo usermod -aG " + strGroup + " " +
               strUser + " 后重新登录";
    }
    char szMode[8];
    std::snprintf(szMode, sizeof szMode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
    return "原因：当前用户 " + strUser + " 没有读写 " + strPath + " 的权限（属主 " +
           UserName(st.st_uid) + "，组 " + strGroup + "，权限 " + szMode + "）";
}

std::string ErrnoText(int nErrno) {
    return std::string(std::strerror(nErrno)) + "，errno " + std::to_string(nErrno);
}

EOpenError NetErrorKind(int nErrno) {
    switch (nErrno) {
        case EINVAL:
            return EOpenError::BadAddress;
        case ENOENT:
            return EOpenError::NameUnresolved;
        case ECONNREFUSED:
            return EOpenError::Refused;
        case ETIMEDOUT:
            return EOpenError::TimedOut;
        case EHOSTUNREACH:
        case ENETUNREACH:
            return EOpenError::Unreachable;
        case EPROTONOSUPPORT:
            return EOpenError::NoComPort;
        case ECONNRESET:
        case EPIPE:
            return EOpenError::ConnectionLost;
        default:
            return EOpenError::Io;
    }
}
}  // namespace

OpenError OpenErrorFromErrno(int nErrno, std::string strPath) {
    if (IsNetAddress(strPath)) {
        return {NetErrorKind(nErrno), nErrno, std::move(strPath)};
    }
    EOpenError eKind = EOpenError::Io;
    switch (nErrno) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
            eKind = EOpenError::NoDevice;
            break;
        case EACCES:
        case EPERM:
            eKind = EOpenError::PermissionDenied;
            break;
        case EBUSY:
            eKind = EOpenError::Busy;
            break;
        case ENOTTY:
            eKind = EOpenError::NotTerminal;
            break;
        default:
            break;
    }
    return {eKind, nErrno, std::move(strPath)};
}

std::string DescribeOpenError(const OpenError& error) {
    switch (error.eKind) {
        case EOpenError::None:
            return {};
        case EOpenError::NoDevice:
            return error.strPath.empty()
                       ? "原因：该端口号没有对应的设备（可在 Vexor.ini 的 [DEVICES] 节中指定）"
                       : "原因：设备 " + error.strPath + " 不存在";
        case EOpenError::PermissionDenied:
            return DescribePermission(error.strPath);
        case EOpenError::Busy:
            return "原因：" + error.strPath + " 正被其他程序使用";
        case EOpenError::LockFile:
            return "原因：锁文件 " + error.strPath + " 的所有者已退出，但无法删除它（" +
                   ErrnoText(error.nErrno) + "），请手动删除";
        case EOpenError::NotTerminal:
            return "原因：" + error.strPath + " 不是终端设备";
        case EOpenError::BadAddress:
            return "原因：地址 " + error.strPath +
                   " 的格式不对，应为 rfc2217://主机:端口 或 tcp://主机:端口（IPv6 "
                   "地址写在方括号中）";
        case EOpenError::NameUnresolved:
            return "原因：无法解析主机名（" + error.strPath + "）";
        case EOpenError::Refused:
            return "原因：连接被拒绝（" + error.strPath + " 上没有服务在监听）";
        case EOpenError::TimedOut:
            return "原因：连接 " + error.strPath + " 超时，服务器没有应答";
        case EOpenError::Unreachable:
            return "原因：无法到达 " + error.strPath + "（没有通往该主机的路由）";
        case EOpenError::NoComPort:
            return "原因：" + error.strPath +
                   " 的服务器不支持 RFC 2217（COM-PORT-OPTION），只传送数据的端口可改用 tcp:// "
                   "地址";
        case EOpenError::ConnectionLost:
            return "原因：连接 " + error.strPath + " 时服务器断开了连接";
        case EOpenError::Io:
            break;
    }
    return "原因：打开 " + error.strPath + " 时出错（" +
           (error.nErrno != 0 ? ErrnoText(error.nErrno) : std::string("未知错误")) + "）";
}
