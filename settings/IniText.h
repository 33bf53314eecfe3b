// The text of an INI file held in memory: lookups and single-key edits on its raw bytes.
//
// Format: a line whose first non-blank character is '[' and that holds a ']' opens the section
// named by the text between them; a line "key=value" holds a value; a line whose first non-blank
// character is ';' is a comment; any other line is kept but means nothing. Line ends are LF, CR LF
// or a lone CR, and the last line needs none. Names and values are trimmed of blanks and tabs;
// names match without regard to ASCII case. Only the first section of a name counts, and in it only
// the first key of a name. Keys before the first section belong to no section and are never found.
// A UTF-8 byte-order mark at the start is skipped. Any bytes (NUL included) are accepted; every
// operation is linear in the size of the text.
#pragma once
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class CIniText {
public:
    explicit CIniText(std::string strContent) : m_strContent(std::move(strContent)) {}

    const std::string& GetContent() const { return m_strContent; }

    // The value of a key (trimmed), or nothing when the section or the key is missing. The value
    // points into this object, so a temporary cannot be asked.
    std::optional<std::string_view> Find(std::string_view section, std::string_view key) const&;
    std::optional<std::string_view> Find(std::string_view section,
                                         std::string_view key) && = delete;

    // The values of several keys of one section, in one pass over the text: element i is what
    // Find(section, arrKeys[i]) gives.
    std::vector<std::optional<std::string_view>> FindEach(
        std::string_view section, const std::vector<std::string>& arrKeys) const&;
    std::vector<std::optional<std::string_view>> FindEach(
        std::string_view section, const std::vector<std::string>& arrKeys) && = delete;

    // Whether Set can store the name pair and value so that Find returns them again: names must be
    // non-empty, without surrounding blanks, line ends or NUL, a section without ']', a key without
    // '=' and not starting with '[' or ';'; a value without line ends. Blanks at either end of a
    // value are stored but not read back: Find trims them.
    static bool CanStore(std::string_view section, std::string_view key, std::string_view value);

    // Whether two section or key names match (ASCII letters without regard to case).
    static bool SameName(std::string_view a, std::string_view b);

    // Calls fnHeader(nLine, nBody, name) for each section header line of text in order, until it
    // returns false: nLine is where the header line begins, nBody where the line after it begins.
    // text must begin at a line start; bFileStart: it begins a file, so a byte-order mark is
    // skipped. Only the '[' that open a line are looked at, so the other lines cost no more than a
    // memchr over their bytes.
    using HeaderVisitor =
        std::function<bool(std::size_t nLine, std::size_t nBody, std::string_view name)>;
    static void ForEachSection(std::string_view text, bool bFileStart,
                               const HeaderVisitor& fnHeader);

    // Sets a value (which CanStore must accept), changing only the key's line: the text after the
    // key's '=' and its following blanks is replaced. A missing key is added after the last
    // non-blank line of its section, a missing section at the end of the text (after a line end
    // when the last line lacks one). New lines take the line end of the line they follow, else that
    // of the text's first line, else LF.
    void Set(std::string_view section, std::string_view key, std::string_view value);

private:
    struct SLocation;
    SLocation Locate(std::string_view section, std::string_view key) const;
    std::string_view LineEndAt(std::size_t nInsert) const;
    bool EndsOpen() const;

    std::string m_strContent;
};
