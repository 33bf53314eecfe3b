#include "TerminalSettings.h"

#include <algorithm>
#include <string>
#include <vector>

#include "IniFile.h"

namespace {

struct SSettingKey {
    const char* pszSection;
    const char* pszKey;
    int STerminalSettings::*pnValue;
    int nDefault;
    int nCount;  // positions of its list; 0: any value is taken
};

// In the order in which they are read and written.
constexpr SSettingKey kKeys[] = {
    {"PORT", "COM", &STerminalSettings::nCom, 0, kPortCount},
    {"PORT", "DATABITS", &STerminalSettings::nDataBits, 2, static_cast<int>(kDataBits.size())},
    {"PORT", "STOPBITS", &STerminalSettings::nStopBits, 0, static_cast<int>(kStopBits.size())},
    {"PORT", "PARITY", &STerminalSettings::nParity, 0, static_cast<int>(kParities.size())},
    {"PORT", "BAUD", &STerminalSettings::nBaud, 0, static_cast<int>(kBaudRates.size())},
    {"PORT", "AUTORECONNECT", &STerminalSettings::nAutoReconnect, 0, 2},
    {"SYSTEM", "TXFORMAT", &STerminalSettings::nTxFormat, 0, 0},
    {"SYSTEM", "PERIOD", &STerminalSettings::nPeriod, 100, 0},
};

}  // namespace

int BaudRatePosition(std::uint32_t dwRate) {
    const auto it = std::find(kBaudRates.begin(), kBaudRates.end(), dwRate);
    return it != kBaudRates.end() ? static_cast<int>(it - kBaudRates.begin()) : -1;
}

ESendFormat SendFormatFromCode(int nCode) {
    return nCode == 0 ? ESendFormat::Text : (nCode == 1 ? ESendFormat::Hex : ESendFormat::None);
}

STerminalSettings STerminalSettings::Load(const std::string& strIniPath) {
    const CIniFile ini(strIniPath);
    STerminalSettings settings{};
    for (const SSettingKey& key : kKeys) {
        const int nValue = ini.ReadInt(key.pszSection, key.pszKey, key.nDefault);
        const bool bInList = nValue >= 0 && nValue < key.nCount;
        settings.*key.pnValue = key.nCount == 0 || bInList ? nValue : key.nDefault;
    }
    return settings;
}

void STerminalSettings::Save(const std::string& strIniPath) const {
    // One replacement of the file: another diVE closing at the same moment leaves either its
    // settings or ours, never a mixture.
    std::vector<SIniEntry> arrEntries;
    for (const SSettingKey& key : kKeys) {
        arrEntries.push_back({key.pszSection, key.pszKey, std::to_string(this->*key.pnValue)});
    }
    CIniFile(strIniPath).WriteEntries(arrEntries);
}
