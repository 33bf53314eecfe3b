#include "PortInfo.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "DeviceMap.h"
#include "NetAddress.h"
#include "PortLock.h"

namespace fs = std::filesystem;

namespace {

// The serial core puts a device of its own ("port", "ctrl" of the serial-base bus) between a
// tty and the hardware; the driver a user knows is the first one above those.
bool IsSerialCoreDriver(const std::string& strName) {
    return strName == "port" || strName == "ctrl";
}

// The name of the driver that <root>/proc/tty/drivers gives the device numbers, "" for none.
std::string DriverOfNumbers(const fs::path& drivers, unsigned nMajor, unsigned nMinor) {
    std::ifstream file(drivers);
    std::string strLine;
    while (std::getline(file, strLine)) {
        // "pty_slave            /dev/pts      136 0-1048575 pty:slave"
        std::istringstream fields(strLine);
        std::string strName, strNode, strMinors;
        unsigned nLineMajor = 0;
        if (!(fields >> strName >> strNode >> nLineMajor >> strMinors) || nLineMajor != nMajor) {
            continue;
        }
        unsigned nFirst = 0, nLast = 0;
        char cDash = 0;
        std::istringstream range(strMinors);
        range >> nFirst;
        nLast = (range >> cDash >> nLast) ? nLast : nFirst;
        if (nMinor >= nFirst && nMinor <= nLast) {
            return strName;
        }
    }
    return {};
}

}  // namespace

CPortInfo::CPortInfo(std::string strRoot) : m_strRoot(std::move(strRoot)) {}

SPortInfo CPortInfo::Describe(const std::string& strPath) const {
    SPortInfo info;
    info.strPath = strPath;
    if (IsNetAddress(strPath)) {
        // A port on another machine: the protocol that reaches it stands for the driver.
        if (const auto address = ParseNetAddress(strPath)) {
            info.strDriver = address->bComPort ? "rfc2217" : "tcp";
        }
        return info;
    }
    std::error_code ec;
    const fs::path real = fs::canonical(strPath, ec);
    if (strPath.empty() || ec) {
        return info;
    }
    info.strById = ByIdNameOf(m_strRoot, real.string());
    info.strDriver = Driver(real.string());
    info.strHolder = FindDeviceUser(strPath);
    return info;
}

std::string ByIdNameOf(const std::string& strRoot, const std::string& strReal) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(fs::path(strRoot) / "dev/serial/by-id", ec)) {
        std::error_code ecLink;
        if (fs::canonical(entry.path(), ecLink).string() == strReal && !ecLink) {
            return entry.path().filename().string();
        }
    }
    return {};
}

std::string CPortInfo::Driver(const std::string& strReal) const {
    const std::string strName = fs::path(strReal).filename().string();
    std::error_code ec;
    fs::path device = fs::canonical(fs::path(m_strRoot) / "sys/class/tty" / strName / "device", ec);
    for (int nLevel = 0; !ec && nLevel < 3; ++nLevel, device = device.parent_path()) {
        std::error_code ecDriver;
        const std::string strDriver =
            fs::read_symlink(device / "driver", ecDriver).filename().string();
        if (!ecDriver && !IsSerialCoreDriver(strDriver)) {
            return strDriver;
        }
    }
    // Devices without a bus behind them (pseudo-terminals) are known by their numbers.
    struct stat st {};
    if (::stat(strReal.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) {
        return {};
    }
    return DriverOfNumbers(fs::path(m_strRoot) / "proc/tty/drivers", major(st.st_rdev),
                           minor(st.st_rdev));
}

std::vector<SPortRow> CPortInfo::DescribePorts(
    const std::string& strIniPath, const std::map<unsigned, std::string>& mapRunDevices) const {
    const std::vector<std::string> arrConfigured = CDeviceMap::ReadConfigured(strIniPath);
    std::vector<std::string> arrWanted = arrConfigured;
    for (const auto& [nPort, strPath] : mapRunDevices) {
        if (nPort >= 1 && nPort <= arrWanted.size()) {
            arrWanted[nPort - 1] = strPath;
        }
    }
    const std::vector<std::string> arrMap = CDeviceMap(m_strRoot).Build(arrWanted);
    std::vector<SPortRow> arrRows;
    for (unsigned i = 0; i < arrMap.size(); ++i) {
        arrRows.push_back(SPortRow{i + 1, !arrConfigured[i].empty(), Describe(arrMap[i]),
                                   mapRunDevices.count(i + 1) != 0});
    }
    return arrRows;
}

unsigned EntryForDevice(const std::vector<std::string>& arrMap, const std::string& strPath) {
    std::error_code ec;
    const fs::path real = fs::weakly_canonical(strPath, ec);
    for (std::size_t i = 0; i < arrMap.size(); ++i) {
        std::error_code ecEntry;
        if (!arrMap[i].empty() && fs::weakly_canonical(arrMap[i], ecEntry) == real && !ec &&
            !ecEntry) {
            return static_cast<unsigned>(i + 1);
        }
    }
    for (std::size_t i = 0; i < arrMap.size(); ++i) {
        if (arrMap[i].empty()) {
            return static_cast<unsigned>(i + 1);
        }
    }
    return 0;
}
