// The settings file reader and writer on any file: reads agree with the text parser, and a write
// of one key changes only that key's line (or adds one) and keeps every other byte.
#include <fuzzer/FuzzedDataProvider.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "FuzzCheck.h"
#include "IniFile.h"
#include "IniText.h"

namespace {

// A file on a memory file system when there is one: every write is an atomic replace with fsync.
const std::string& FilePath() {
    static const std::string strPath = [] {
        std::string strTemplate =
            std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + "/dive-fuzz-XXXXXX";
        FUZZ_CHECK(mkdtemp(strTemplate.data()) != nullptr);
        return strTemplate + "/Vexor.ini";
    }();
    return strPath;
}

void WriteRaw(const std::string& strContent) {
    std::ofstream file(FilePath(), std::ios::binary | std::ios::trunc);
    file.write(strContent.data(), static_cast<std::streamsize>(strContent.size()));
    FUZZ_CHECK(file.good());
}

std::string ReadRaw() {
    std::ifstream file(FilePath(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

bool EqualNoCase(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return std::toupper(x) == std::toupper(y); });
}

std::optional<std::string> Find(const std::string& strContent, const std::string& strSection,
                                const std::string& strKey) {
    const CIniText text(strContent);
    const auto value = text.Find(strSection, strKey);
    return value ? std::optional<std::string>(*value) : std::nullopt;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize) {
    FuzzedDataProvider input(pData, nSize);
    const std::string strSection = input.ConsumeRandomLengthString(12);
    const std::string strKey = input.ConsumeRandomLengthString(12);
    const std::string strValue = input.ConsumeRandomLengthString(16);
    const std::string strOtherKey = input.ConsumeRandomLengthString(12);
    const std::string strOld = input.ConsumeRemainingBytesAsString();
    WriteRaw(strOld);

    CIniFile ini(FilePath());
    const std::optional<std::string> found = Find(strOld, strSection, strKey);
    FUZZ_CHECK(ini.ReadString(strSection, strKey, "\n") == found.value_or("\n"));
    const int nRead = ini.ReadInt(strSection, strKey, 12345);
    FUZZ_CHECK(found || nRead == 12345);
    const int nBool = ini.ReadBool(strSection, strKey, 7);
    FUZZ_CHECK(nBool == (nRead == 0 || nRead == 1 ? nRead : 1));

    const bool bWritten = ini.WriteString(strSection, strKey, strValue);
    FUZZ_CHECK(bWritten == CIniText::CanStore(strSection, strKey, strValue));
    const std::string strNew = ReadRaw();
    if (!bWritten) {
        FUZZ_CHECK(strNew == strOld);
        return 0;
    }
    // Values read back without the blanks at their ends.
    const std::size_t nFirst = strValue.find_first_not_of(" \t\v\f");
    const std::string strTrimmed =
        nFirst == std::string::npos
            ? std::string()
            : strValue.substr(nFirst, strValue.find_last_not_of(" \t\v\f") - nFirst + 1);
    FUZZ_CHECK(Find(strNew, strSection, strKey) == strTrimmed);
    if (found) {
        // The old value, up to its line end, gives way to the new one; nothing else changes.
        const CIniText text(strOld);
        const std::size_t nValue = text.Find(strSection, strKey)->data() - text.GetContent().data();
        const std::size_t nLineEnd = std::min(strOld.find_first_of("\r\n", nValue), strOld.size());
        FUZZ_CHECK(strNew == strOld.substr(0, nValue) + strValue + strOld.substr(nLineEnd));
    } else {
        // A line (and maybe a section header) is inserted in one place; every old byte is kept.
        FUZZ_CHECK(strNew.size() > strOld.size());
        std::size_t nPrefix = 0;
        while (nPrefix < strOld.size() && strOld[nPrefix] == strNew[nPrefix]) {
            ++nPrefix;
        }
        FUZZ_CHECK(strNew.compare(strNew.size() - (strOld.size() - nPrefix), std::string::npos,
                                  strOld, nPrefix) == 0);
    }
    // Another key of the section reads as before.
    if (!EqualNoCase(strOtherKey, strKey)) {
        FUZZ_CHECK(Find(strNew, strSection, strOtherKey) == Find(strOld, strSection, strOtherKey));
    }
    return 0;
}
