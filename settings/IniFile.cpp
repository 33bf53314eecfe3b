#include "IniFile.h"

#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include <charconv>
#include <cstdlib>
#include <optional>

#include "FileContent.h"
#include "IniReadCache.h"
#include "IniText.h"

namespace {

constexpr std::string_view kFileName = "Vexor.ini";
constexpr std::string_view kConfigFolder = "diVE";

std::optional<std::string> ReadValue(const std::string& strPath, std::string_view section,
                                     std::string_view key) {
    EReadResult eResult = EReadResult::Ok;
    const std::shared_ptr<const CIniText> pText = ReadIniSection(strPath, section, eResult);
    if (!pText) {
        return std::nullopt;
    }
    const std::optional<std::string_view> value = pText->Find(section, key);
    if (!value) {
        return std::nullopt;
    }
    return std::string(*value);
}

// The whole of text as a decimal int, or nothing. Blanks have been trimmed by the reader.
std::optional<int> ParseDecimal(std::string_view text) {
    if (text.size() > 1 && text.front() == '+' && text[1] != '-') {
        text.remove_prefix(1);
    }
    int nValue = 0;
    const auto [pEnd, ec] = std::from_chars(text.data(), text.data() + text.size(), nValue);
    if (ec != std::errc() || pEnd != text.data() + text.size()) {
        return std::nullopt;
    }
    return nValue;
}

// The folders of an installed program (the system's, or an add-on package's under /opt): its
// settings go where the user's settings go, whoever runs it. Links are followed (/bin is /usr/bin
// on most systems); a folder that does not exist is taken as written.
bool IsSystemFolder(const std::string& strFolder) {
    std::string strReal = strFolder;
    if (char* pszReal = ::realpath(strFolder.c_str(), nullptr); pszReal != nullptr) {
        strReal = pszReal;
        std::free(pszReal);
    }
    if (!strReal.ends_with('/')) {
        strReal += '/';
    }
    for (std::string_view prefix : {"/usr/", "/bin/", "/sbin/", "/opt/", "/snap/"}) {
        if (strReal.starts_with(prefix)) {
            return true;
        }
    }
    return false;
}

std::string HomeFolder() {
    if (const char* pszHome = std::getenv("HOME"); pszHome != nullptr && *pszHome != '\0') {
        return pszHome;
    }
    if (const passwd* pEntry = ::getpwuid(::getuid()); pEntry != nullptr && pEntry->pw_dir) {
        return pEntry->pw_dir;
    }
    return ".";
}

}  // namespace

CIniFile::CIniFile(std::string strPath) : m_strPath(std::move(strPath)) {}

std::string CIniFile::SettingsPathFor(const char* pszArgv0, const FolderProbe& fnWritable) {
    const std::string_view argv0 = pszArgv0 != nullptr ? pszArgv0 : "";
    const std::size_t nSlash = argv0.rfind('/');
    if (nSlash != std::string_view::npos &&
        !IsSystemFolder(std::string(argv0.substr(0, nSlash + 1)))) {
        const std::string strFolder(argv0.substr(0, nSlash + 1));
        const std::string strBeside = strFolder + std::string(kFileName);
        const bool bWritable =
            fnWritable ? fnWritable(strFolder)
                       : ::faccessat(AT_FDCWD, strFolder.c_str(), W_OK, AT_EACCESS) == 0;
        if (bWritable || ::access(strBeside.c_str(), R_OK) == 0) {
            return strBeside;
        }
    }
    // The configuration folder, which the XDG rules take only when absolute.
    std::string strFolder;
    if (const char* pszXdg = std::getenv("XDG_CONFIG_HOME"); pszXdg != nullptr && *pszXdg == '/') {
        strFolder = pszXdg;
    } else {
        strFolder = HomeFolder() + "/.config";
    }
    return strFolder + "/" + std::string(kConfigFolder) + "/" + std::string(kFileName);
}

bool CIniFile::IsWritable() const {
    return CanReplaceFile(m_strPath);
}

int CIniFile::ReadInt(std::string_view section, std::string_view key, int nDefault) const {
    const std::optional<std::string> value = ReadValue(m_strPath, section, key);
    if (!value) {
        return nDefault;
    }
    return ParseDecimal(*value).value_or(nDefault);
}

bool CIniFile::WriteInt(std::string_view section, std::string_view key, int nValue) {
    return WriteString(section, key, std::to_string(nValue));
}

int CIniFile::ReadBool(std::string_view section, std::string_view key, int nDefault) const {
    const int nNormalised = nDefault != 0 ? 1 : 0;
    const int nValue = ReadInt(section, key, nNormalised);
    return (nValue == 0 || nValue == 1) ? nValue : nNormalised;
}

bool CIniFile::WriteBool(std::string_view section, std::string_view key, int bValue) {
    return WriteString(section, key, bValue != 0 ? "1" : "0");
}

std::string CIniFile::ReadString(std::string_view section, std::string_view key,
                                 std::string_view strDefault) const {
    return ReadValue(m_strPath, section, key).value_or(std::string(strDefault));
}

std::vector<std::string> CIniFile::ReadStrings(std::string_view section,
                                               const std::vector<std::string>& arrKeys,
                                               std::string_view strDefault) const {
    std::vector<std::string> arrValues(arrKeys.size(), std::string(strDefault));
    EReadResult eResult = EReadResult::Ok;
    const std::shared_ptr<const CIniText> pText = ReadIniSection(m_strPath, section, eResult);
    if (!pText) {
        return arrValues;
    }
    const std::vector<std::optional<std::string_view>> arrFound = pText->FindEach(section, arrKeys);
    for (std::size_t i = 0; i < arrKeys.size(); ++i) {
        if (arrFound[i]) {
            arrValues[i] = std::string(*arrFound[i]);
        }
    }
    return arrValues;
}

bool CIniFile::WriteString(std::string_view section, std::string_view key,
                           std::string_view strValue) {
    return WriteEntries({{section, key, std::string(strValue)}});
}

bool CIniFile::WriteEntries(const std::vector<SIniEntry>& arrEntries) {
    for (const SIniEntry& entry : arrEntries) {
        if (!CIniText::CanStore(entry.section, entry.key, entry.strValue)) {
            return false;
        }
    }
    const CFolderLock lock(m_strPath);
    std::string strContent;
    if (ReadFileContent(m_strPath, strContent) == EReadResult::Failed) {
        return false;  // rewriting what could not be read would lose it
    }
    CIniText text(std::move(strContent));
    for (const SIniEntry& entry : arrEntries) {
        text.Set(entry.section, entry.key, entry.strValue);
    }
    const bool bReplaced = ReplaceFileContent(m_strPath, text.GetContent());
    ForgetIniText(m_strPath);
    return bReplaced;
}
