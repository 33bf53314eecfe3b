#pragma once
// The UUCP lock file of a device, the convention of minicom and other serial programs:
// <folder>/LCK..<name>, where <name> is the device's path below /dev with '/' turned into '_'
// ("LCK..ttyUSB0", "LCK..pts_7"), holding the owner's PID as ten right-aligned digits and a
// newline. The file appears with the PID already in it (linked from a temporary file beside it).
// Other programs' locks are read in that text format and in the binary one (a 4-byte int). Only a
// lock whose PID runs no process is stale and taken over; one without a readable PID keeps the
// port held, since nothing proves its owner gone.
//
// Where the folder is missing or not writable the convention is not in force there: Acquire()
// succeeds without a file, and Release() has nothing to do.
#include <string>

class CPortLock {
public:
    CPortLock(std::string strFolder, const std::string& strDevicePath);
    ~CPortLock();  // Release()
    CPortLock(const CPortLock&) = delete;
    CPortLock& operator=(const CPortLock&) = delete;

    // False when a running process holds the lock, or may (no readable PID): GetHolder() then
    // names it, or says that the file names no one. False also when a stale lock cannot be
    // removed: GetRemoveError() then gives the errno.
    bool Acquire();
    // Removes the file if it still carries our PID.
    void Release();
    const std::string& GetHolder() const { return m_strHolder; }
    int GetRemoveError() const { return m_nRemoveError; }
    const std::string& GetPath() const { return m_strPath; }

    // "LCK..ttyUSB0" for "/dev/ttyUSB0" (symbolic links followed).
    static std::string LockNameFor(const std::string& strDevicePath);

private:
    std::string m_strPath;
    std::string m_strHolder;
    int m_nRemoveError = 0;
    bool m_bHeld = false;
};

// "minicom (PID 1234)" from /proc/<pid>/comm; "PID 1234" when the name cannot be read.
std::string DescribeProcess(int nPid);
// Another process that holds the device: the holder of its flock (/proc/locks), else a process
// that has it open (/proc/*/fd), described as above; "" when none is found or /proc may not be
// read.
std::string FindDeviceUser(const std::string& strDevicePath);
