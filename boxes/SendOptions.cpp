#include "SendOptions.h"

#include "IniFile.h"

namespace {

constexpr const char* kSection = "TX";

int ReadIndex(const CIniFile& ini, const char* pszKey, int nCount) {
    const int n = ini.ReadInt(kSection, pszKey, 0);
    return n >= 0 && n < nCount ? n : 0;
}

}  // namespace

SSendOptions SSendOptions::Read(const std::string& strIniPath) {
    const CIniFile ini(strIniPath);
    SSendOptions options;
    options.eLineEnd = static_cast<ELineEnd>(ReadIndex(ini, "EOL", kLineEndCount));
    options.eChecksum = static_cast<EChecksum>(ReadIndex(ini, "CHECKSUM", kChecksumCount));
    options.eFileMode = static_cast<EFileSendMode>(ReadIndex(ini, "FILEMODE", 2));
    return options;
}

void SSendOptions::Write(const std::string& strIniPath) const {
    CIniFile(strIniPath)
        .WriteEntries({
            {kSection, "EOL", std::to_string(static_cast<int>(eLineEnd))},
            {kSection, "CHECKSUM", std::to_string(static_cast<int>(eChecksum))},
            {kSection, "FILEMODE", std::to_string(static_cast<int>(eFileMode))},
        });
}
