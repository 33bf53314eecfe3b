#pragma once
// The UUCP lock file of a device, the convention of minicom and other serial programs:
// <folder>/LCK..<name>, where <name> is the device's path below /dev with '/' turned into '_'
// ("LCK..ttyUSB0", "LCK..pts_7"), holding the owner's PID as ten right-aligned digits and a
// newline. The file appears with the PID already in it (linked from a temporary file beside it).
// A lock whose PID is no longer running is stale and taken over; so is one without a PID, unless
// it is a few seconds young: another program may have created it and not yet written to it.
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

    // False when a running process holds the lock; GetHolder() then names it, or is empty for a
    // young lock that names no one yet.
    bool Acquire();
    // Removes the file if it still carries our PID.
    void Release();
    const std::string& GetHolder() const { return m_strHolder; }

    // "LCK..ttyUSB0" for "/dev/ttyUSB0" (symbolic links followed).
    static std::string LockNameFor(const std::string& strDevicePath);

private:
    std::string m_strPath;
    std::string m_strHolder;
    bool m_bHeld = false;
};

// "minicom (PID 1234)" from /proc/<pid>/comm; "PID 1234" when the name cannot be read.
std::string DescribeProcess(int nPid);
// Another process that holds the device: the holder of its flock (/proc/locks), else a process
// that has it open (/proc/*/fd), described as above; "" when none is found or /proc may not be
// read.
std::string FindDeviceUser(const std::string& strDevicePath);
