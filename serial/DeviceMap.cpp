#include "DeviceMap.h"

#include <linux/serial.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

#include "IniFile.h"

namespace fs = std::filesystem;

namespace {
// Names in strDir that start with strPrefix followed by digits only, in number order.
std::vector<std::string> NumberedNames(const fs::path& dir, const std::string& strPrefix) {
    std::vector<std::pair<unsigned long, std::string>> found;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir, ec)) {
        const std::string strName = entry.path().filename().string();
        if (strName.size() <= strPrefix.size() || strName.compare(0, strPrefix.size(), strPrefix)) {
            continue;
        }
        const std::string strDigits = strName.substr(strPrefix.size());
        if (strDigits.size() > 9 || !std::all_of(strDigits.begin(), strDigits.end(),
                                                 [](char c) { return c >= '0' && c <= '9'; })) {
            continue;
        }
        found.emplace_back(std::stoul(strDigits), strName);
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> arrNames;
    for (auto& [nNumber, strName] : found) {
        arrNames.push_back(std::move(strName));
    }
    return arrNames;
}

std::string RealPathOf(const std::string& strPath) {
    char szReal[PATH_MAX];
    return realpath(strPath.c_str(), szReal) != nullptr ? std::string(szReal) : strPath;
}

// The serial core's port type of the tty, PORT_UNKNOWN (0) when there is no UART behind it. The
// device itself is never opened to ask: opening a UART raises DTR and RTS, which resets many
// boards. A port whose type cannot be read is left out; a DEVICES entry still reaches it.
bool ProbeUart(const std::string& strRoot, const std::string& strName) {
    std::ifstream type(fs::path(strRoot) / "sys/class/tty" / strName / "type");
    int nType = PORT_UNKNOWN;
    return type >> nType && nType != PORT_UNKNOWN;
}
}  // namespace

CDeviceMap::CDeviceMap(std::string strRoot, UartProbe fnProbe)
    : m_strRoot(std::move(strRoot)), m_fnProbe(std::move(fnProbe)) {}

bool CDeviceMap::HasUart(const std::string& strPath, const std::string& strName) const {
    return m_fnProbe ? m_fnProbe(strPath, strName) : ProbeUart(m_strRoot, strName);
}

std::vector<std::string> CDeviceMap::PresentDevices() const {
    const fs::path dev = fs::path(m_strRoot) / "dev";
    std::vector<std::string> arrPaths;

    std::vector<std::string> arrById;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dev / "serial/by-id", ec)) {
        arrById.push_back(entry.path().string());
    }
    std::sort(arrById.begin(), arrById.end());
    arrPaths.insert(arrPaths.end(), arrById.begin(), arrById.end());

    for (const char* pszPrefix : {"ttyACM", "ttyUSB", "ttyS", "ttyAMA", "rfcomm"}) {
        for (const std::string& strName : NumberedNames(dev, pszPrefix)) {
            const std::string strPath = (dev / strName).string();
            if (std::string(pszPrefix) != "ttyS" || HasUart(strPath, strName)) {
                arrPaths.push_back(strPath);
            }
        }
    }

    // Keep the first path that reaches each device.
    std::set<std::string> seen;
    std::vector<std::string> arrUnique;
    for (std::string& strPath : arrPaths) {
        if (seen.insert(RealPathOf(strPath)).second) {
            arrUnique.push_back(std::move(strPath));
        }
    }
    return arrUnique;
}

std::vector<std::string> CDeviceMap::Build(const std::vector<std::string>& arrConfigured) const {
    std::vector<std::string> arrMap(kPortCount);
    std::set<std::string> taken;
    for (unsigned i = 0; i < kPortCount && i < arrConfigured.size(); ++i) {
        if (!arrConfigured[i].empty()) {
            arrMap[i] = arrConfigured[i];
            taken.insert(RealPathOf(arrConfigured[i]));
        }
    }
    unsigned nFree = 0;
    for (const std::string& strPath : PresentDevices()) {
        if (taken.count(RealPathOf(strPath)) != 0) {
            continue;
        }
        while (nFree < kPortCount && !arrMap[nFree].empty()) {
            ++nFree;
        }
        if (nFree == kPortCount) {
            break;
        }
        arrMap[nFree] = strPath;
    }
    return arrMap;
}

std::vector<std::string> CDeviceMap::ReadConfigured(const std::string& strIniPath) {
    if (strIniPath.empty()) {
        return std::vector<std::string>(kPortCount);
    }
    std::vector<std::string> arrKeys;
    for (unsigned i = 0; i < kPortCount; ++i) {
        arrKeys.push_back("COM" + std::to_string(i + 1));
    }
    return CIniFile(strIniPath).ReadStrings("DEVICES", arrKeys, "");
}
