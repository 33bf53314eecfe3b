// Helpers shared by the settings tests: a scratch folder and whole-file access.
#pragma once
#include <string>
#include <string_view>

// A fresh folder under the temporary folder, removed with everything in it (read-only parts
// included) when the object goes.
class CTempFolder {
public:
    CTempFolder();
    ~CTempFolder();
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;

    const std::string& GetPath() const { return m_strPath; }
    std::string PathOf(std::string_view name) const { return m_strPath + "/" + std::string(name); }
    std::size_t CountEntries() const;

private:
    std::string m_strPath;
};

void WriteWholeFile(const std::string& strPath, const std::string& strContent);
std::string ReadWholeFile(const std::string& strPath);

// Empty when after differs from before in one stretch whose bytes of before hold no line end, so
// that every other line of before is kept byte for byte; else a description of the damage.
std::string DescribeDamage(const std::string& strBefore, const std::string& strAfter);
