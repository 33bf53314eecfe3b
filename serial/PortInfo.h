#pragma once
// What a user wants to know of a serial device before picking it: its stable name under
// /dev/serial/by-id, the kernel driver behind it, and the program that holds it, if any.
//
// Everything below the root folder ("/" normally) is read from the file system: tests hand in a
// folder of their own. The holder is looked up in the real /proc (PortLock.h).
#include <map>
#include <string>
#include <vector>

struct SPortInfo {
    std::string strPath;    // the device path; "" for a port without a device
    std::string strById;    // its name in <root>/dev/serial/by-id, "" when none leads to it
    std::string strDriver;  // e.g. "ftdi_sio", "cdc_acm", "serial", "pty_slave"; "rfc2217" or
                            // "tcp" for a port on another machine; "" unknown
    std::string strHolder;  // e.g. "minicom (PID 1234)"; "" when no other program holds it
};

// One entry of the port list: COM<nPort>, whether section "DEVICES" assigns its device (else it
// is one of the devices present), whether a device named for this run only stands in for that
// (the command line), and the device's facts.
struct SPortRow {
    unsigned nPort = 0;
    bool bAssigned = false;
    SPortInfo info;
    bool bRunOnly = false;
};

class CPortInfo {
public:
    explicit CPortInfo(std::string strRoot = "/");

    // The facts of one device path (as a port map names it); a path that is not there yields
    // only the path.
    SPortInfo Describe(const std::string& strPath) const;

    // All entries COM1 to COM32 as the settings file strIniPath and the devices present map them
    // (DeviceMap.h); mapRunDevices (entry number to path) overrides entries for this run.
    std::vector<SPortRow> DescribePorts(
        const std::string& strIniPath,
        const std::map<unsigned, std::string>& mapRunDevices = {}) const;

private:
    std::string Driver(const std::string& strReal) const;

    std::string m_strRoot;
};

// The name in <strRoot>/dev/serial/by-id of the link that leads to the device strReal (a path
// with its links followed), "" when none does.
std::string ByIdNameOf(const std::string& strRoot, const std::string& strReal);

// The entry (1-based) a device given by path takes in a port map (element 0 is COM1): the first
// that already leads to the same device (links followed), else the first without a device; 0
// when every entry holds another device.
unsigned EntryForDevice(const std::vector<std::string>& arrMap, const std::string& strPath);
