#pragma once
// Why a port could not be opened, kept from the failing system call up to the window, and the
// Chinese line that tells the user, e.g. "原因：设备 /dev/ttyUSB0 不存在".
#include <string>

enum class EOpenError {
    None,
    NoDevice,          // the port number has no device, or the device is missing
    PermissionDenied,  // the user may not read and write the device
    Busy,              // another program holds it (lock file, flock, TIOCEXCL)
    LockFile,          // its owner is gone, but the lock file cannot be removed
    NotTerminal,       // the path is no terminal device
    Io,                // any other failure; nErrno says which
    // A port on another machine (rfc2217://, tcp://):
    BadAddress,      // not HOST:PORT
    NameUnresolved,  // the host name does not resolve
    Refused,         // nothing listens at the port
    TimedOut,        // no answer within the time limit
    Unreachable,     // no route to the host or its network
    NoComPort,       // the server does not speak RFC 2217
    ConnectionLost,  // the server closed the connection while it was being set up
};

struct OpenError {
    EOpenError eKind = EOpenError::None;
    int nErrno = 0;       // the system's error number, 0 when there is none
    std::string strPath;  // the device; for LockFile the lock file; "" when the number has none
};

// The error of a failed open(2) of a device, or of a later step of taking it.
OpenError OpenErrorFromErrno(int nErrno, std::string strPath);

// One line naming the reason; "" for None. For permission denied it names the device's group and
// the way into it: "原因：当前用户不在 dialout 组，可执行 sudo usermod -aG dialout alice
// 后重新登录".
std::string DescribeOpenError(const OpenError& error);
