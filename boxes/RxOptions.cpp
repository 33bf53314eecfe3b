#include "RxOptions.h"

#include <algorithm>

#include "IniFile.h"

namespace {

constexpr const char* kSection = "RX";

}  // namespace

SRxOptions SRxOptions::Read(const std::string& strIniPath) {
    const CIniFile ini(strIniPath);
    auto readFlag = [&ini](const char* pszKey) { return ini.ReadInt(kSection, pszKey, 0) == 1; };
    SRxOptions options;
    options.bTimeStamps = readFlag("TIMESTAMP");
    options.bEcho = readFlag("ECHO");
    const int nGap = ini.ReadInt(kSection, "FRAMEGAP", 0);
    const bool bKnown = std::find(kFrameGaps.begin(), kFrameGaps.end(), nGap) != kFrameGaps.end();
    options.nFrameGapMs = bKnown ? nGap : 0;
    return options;
}

void SRxOptions::Write(const std::string& strIniPath) const {
    CIniFile(strIniPath)
        .WriteEntries({
            {kSection, "TIMESTAMP", bTimeStamps ? "1" : "0"},
            {kSection, "FRAMEGAP", std::to_string(nFrameGapMs)},
            {kSection, "ECHO", bEcho ? "1" : "0"},
        });
}
