#pragma once
// CSendHistory: the last 20 distinct sends of the send box, newest first, kept in section
// "HISTORY" of the settings file so that they survive restarts.
//
// An entry is the box's text (UTF-8, line breaks as "\n") and its format. Adding an entry that is
// already there moves it to the top. The section is rewritten at each change, keys "1" to "20",
// each "T:" (text) or "H:" (hexadecimal) and the escaped text (EscapeHistoryText), an unused key
// empty; an entry that cannot be read back is skipped. No Qt.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct SHistoryEntry {
    std::string strText;
    bool bHex = false;
    bool operator==(const SHistoryEntry&) const = default;
};

class CSendHistory {
public:
    static constexpr std::size_t kMaxEntries = 20;

    explicit CSendHistory(std::string strIniPath);  // reads the section

    const std::vector<SHistoryEntry>& Entries() const { return m_arrEntries; }
    // Puts the entry at the top (an empty text is not a send and is ignored), drops the oldest
    // beyond 20, and writes the section when the list changed.
    void Add(SHistoryEntry entry);
    void Clear();

private:
    void Write() const;

    std::string m_strIniPath;
    std::vector<SHistoryEntry> m_arrEntries;
};

// Any text in a form that the settings file keeps exactly on one line: backslash, line ends,
// other control characters, the INI's own '=', '[', ']', ';' and '"', and blanks at either end
// become backslash escapes (\\, \r, \n, \t, \xHH); everything else, Chinese included, stays as
// it is.
std::string EscapeHistoryText(std::string_view text);
// The text back, or nullopt for a malformed escape.
std::optional<std::string> UnescapeHistoryText(std::string_view text);
