// CIniFile: the program's settings file, "Vexor.ini", in the Windows INI text format.
//
// Every call reads or rewrites the file and no file stays open, so a short-lived object per group
// of calls is the normal use; reads of a file that has not changed share one read of it
// (IniReadCache.h). Section and key names match without regard to ASCII
// case; where one appears twice, the first wins (see IniText.h for the format).
//
// Reads never fail: a missing or unreadable file, a missing key, or a value that is not what was
// asked for gives the default. Writes change only the key's line and keep every other byte of the
// file; they replace the file atomically and return false, leaving the file as it was, when it
// cannot be written (a read-only file or folder, a disk error) or when the names or the value
// cannot be stored (empty names, line ends in them); callers may ignore the result. A write holds
// a lock on the file's folder from its read to the replacement (CFolderLock), so two programs
// writing the same file at once each keep the other's values.
#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// One value of a write of several (CIniFile::WriteEntries).
struct SIniEntry {
    std::string_view section;
    std::string_view key;
    std::string strValue;
};

class CIniFile {
public:
    explicit CIniFile(std::string strPath);  // the full path of the settings file
    const std::string& GetPath() const { return m_strPath; }

    // Whether the program may create files in a folder ("" for none).
    using FolderProbe = std::function<bool(const std::string& strFolder)>;

    // The settings path for a program invoked as argv0: a program run from its build or unpacked
    // folder keeps its settings beside itself: argv0 cut after its last '/', plus "Vexor.ini",
    // when that folder is writable or a Vexor.ini there can be read. A program installed in the
    // system's folders (/usr, /bin, /sbin, /opt, /snap, links followed), a folder that is neither,
    // and an invocation without '/' (found through PATH) or none keep them where the user's
    // settings go: $XDG_CONFIG_HOME/diVE/Vexor.ini, else ~/.config/diVE/Vexor.ini; writes create
    // that folder. fnWritable replaces the check of the folder (the default asks access(2) with
    // the effective ids).
    static std::string SettingsPathFor(const char* pszArgv0, const FolderProbe& fnWritable = {});
    // Whether a write could replace the file now (the checks of ReplaceFileContent): false for a
    // read-only file or folder, which would keep every change from being saved.
    bool IsWritable() const;

    // A decimal integer: optional blanks, an optional sign, digits, optional blanks ("-1" is -1).
    // Anything else - "12abc", "0x10", "1.5", an empty value, a number outside int - gives
    // nDefault.
    int ReadInt(std::string_view section, std::string_view key, int nDefault) const;
    // Writes the value as "%d".
    bool WriteInt(std::string_view section, std::string_view key, int nValue);
    // 0 or 1: a stored 0 or 1 as it is; anything else, or nothing, gives nDefault normalised to
    // 0/1.
    int ReadBool(std::string_view section, std::string_view key, int nDefault) const;
    // Writes "1" for a non-zero bValue, else "0".
    bool WriteBool(std::string_view section, std::string_view key, int bValue);
    // The value as stored, without its surrounding blanks; strDefault when the key is missing.
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view strDefault) const;
    // Several values of one section from one read of the file: element i is what
    // ReadString(section, arrKeys[i], strDefault) gives.
    std::vector<std::string> ReadStrings(std::string_view section,
                                         const std::vector<std::string>& arrKeys,
                                         std::string_view strDefault) const;
    // Writes the value as it is (blanks at its ends are not read back); a value holding a line end
    // is refused.
    bool WriteString(std::string_view section, std::string_view key, std::string_view strValue);
    // Writes several values in one replacement of the file, in order, so that a reader sees all of
    // them or none. Refused as a whole when one of them cannot be stored.
    bool WriteEntries(const std::vector<SIniEntry>& arrEntries);

private:
    std::string m_strPath;
};
