#include "IniText.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// Blanks inside a line; CR and LF never reach them since they end the line.
constexpr bool IsBlank(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

std::string_view TrimBlanks(std::string_view text) {
    std::size_t nBegin = 0;
    std::size_t nEnd = text.size();
    while (nBegin < nEnd && IsBlank(static_cast<unsigned char>(text[nBegin]))) {
        ++nBegin;
    }
    while (nEnd > nBegin && IsBlank(static_cast<unsigned char>(text[nEnd - 1]))) {
        --nEnd;
    }
    return text.substr(nBegin, nEnd - nBegin);
}

constexpr char FoldAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return FoldAscii(x) == FoldAscii(y);
           });
}

bool HasLineBreakOrNul(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

bool IsCleanName(std::string_view name) {
    return !name.empty() && TrimBlanks(name).size() == name.size() && !HasLineBreakOrNul(name);
}

// One line of the text: [nBegin, nEnd) is its content, nNext the start of the next line.
struct SLine {
    std::size_t nBegin = 0;
    std::size_t nEnd = 0;
    std::size_t nNext = 0;
};

enum class ELineKind { Blank, Section, Key, Other };

// What one line means; for a section or key, name holds its name, and for a key nValue is the
// offset of its value (after '=' and the blanks that follow).
struct SParsedLine {
    ELineKind eKind = ELineKind::Other;
    std::string_view name;
    std::size_t nValue = 0;
};

SParsedLine ParseLine(std::string_view content, const SLine& line) {
    const std::string_view text = content.substr(line.nBegin, line.nEnd - line.nBegin);
    const std::string_view trimmed = TrimBlanks(text);
    SParsedLine parsed;
    if (trimmed.empty()) {
        parsed.eKind = ELineKind::Blank;
    } else if (trimmed.front() == '[') {
        const std::size_t nClose = trimmed.find(']');
        if (nClose != std::string_view::npos) {
            parsed.eKind = ELineKind::Section;
            parsed.name = TrimBlanks(trimmed.substr(1, nClose - 1));
        }
    } else if (trimmed.front() != ';') {
        const std::size_t nEquals = text.find('=');
        if (nEquals != std::string_view::npos) {
            parsed.eKind = ELineKind::Key;
            parsed.name = TrimBlanks(text.substr(0, nEquals));
            std::size_t nValue = nEquals + 1;
            while (nValue < text.size() && IsBlank(static_cast<unsigned char>(text[nValue]))) {
                ++nValue;
            }
            parsed.nValue = line.nBegin + nValue;
        }
    }
    return parsed;
}

// Walks the lines of a text in order. The next LF and the next CR are each searched with memchr
// and remembered until passed, so a text with few CRs (or few LFs) costs one fast scan.
class CLineReader {
public:
    // Starts at the text's first line, or at the line that begins at nStart.
    explicit CLineReader(std::string_view content, std::size_t nStart = 0)
        : m_content(content),
          m_nPos(nStart == 0 && content.starts_with(kUtf8Bom) ? kUtf8Bom.size() : nStart),
          m_nNextLf(Find('\n')),
          m_nNextCr(Find('\r')) {}

    bool Next(SLine& line) {
        const std::size_t nSize = m_content.size();
        if (m_nPos >= nSize) {
            return false;
        }
        line.nBegin = m_nPos;
        const std::size_t nLf = NextOf('\n', m_nNextLf);
        const std::size_t nCr = NextOf('\r', m_nNextCr);
        std::size_t n = std::min(nLf, nCr);
        line.nEnd = n;
        if (n < nSize) {
            n += (n == nCr && n + 1 < nSize && m_content[n + 1] == '\n') ? 2 : 1;
        }
        line.nNext = m_nPos = n;
        return true;
    }

private:
    // The position of the next c at or after m_nPos (the text's size when there is none).
    std::size_t Find(char c) const {
        if (m_nPos >= m_content.size()) {
            return m_content.size();
        }
        const void* pFound = std::memchr(m_content.data() + m_nPos, c, m_content.size() - m_nPos);
        return pFound != nullptr
                   ? static_cast<std::size_t>(static_cast<const char*>(pFound) - m_content.data())
                   : m_content.size();
    }
    std::size_t NextOf(char c, std::size_t& nCached) const {
        if (nCached < m_nPos) {
            nCached = Find(c);
        }
        return nCached;
    }

    std::string_view m_content;
    std::size_t m_nPos;
    std::size_t m_nNextLf;
    std::size_t m_nNextCr;
};

// Where the lines of the first section named section begin (after its header line), or npos.
std::size_t SectionBodyOf(std::string_view content, std::string_view section) {
    std::size_t nFound = std::string_view::npos;
    CIniText::ForEachSection(content, true,
                             [&](std::size_t, std::size_t nBody, std::string_view name) {
                                 if (EqualNoCase(name, section)) {
                                     nFound = nBody;
                                     return false;
                                 }
                                 return true;
                             });
    return nFound;
}

}  // namespace

bool CIniText::SameName(std::string_view a, std::string_view b) {
    return EqualNoCase(a, b);
}

void CIniText::ForEachSection(std::string_view text, bool bFileStart,
                              const HeaderVisitor& fnHeader) {
    const std::size_t nFirst = bFileStart && text.starts_with(kUtf8Bom) ? kUtf8Bom.size() : 0;
    for (std::size_t nPos = text.find('[', nFirst); nPos != std::string_view::npos;
         nPos = text.find('[', nPos + 1)) {
        std::size_t nBegin = nPos;
        while (nBegin > nFirst && IsBlank(static_cast<unsigned char>(text[nBegin - 1]))) {
            --nBegin;
        }
        if (nBegin > nFirst && text[nBegin - 1] != '\n' && text[nBegin - 1] != '\r') {
            continue;  // inside a line
        }
        // The line's end is looked for in this line only: a search for the next CR or LF across
        // the rest of the text at every '[' would make a text of many such lines quadratic.
        SLine line;
        line.nBegin = nBegin;
        line.nEnd = std::min(text.find_first_of("\r\n", nPos), text.size());
        line.nNext = line.nEnd;
        if (line.nNext < text.size()) {
            line.nNext += text.substr(line.nNext).starts_with("\r\n") ? 2 : 1;
        }
        const SParsedLine parsed = ParseLine(text, line);
        if (parsed.eKind == ELineKind::Section && !fnHeader(line.nBegin, line.nNext, parsed.name)) {
            return;
        }
        nPos = line.nEnd > 0 ? line.nEnd - 1 : 0;  // on to the next line
    }
}

// Where a key is, or where it would go.
struct CIniText::SLocation {
    bool bSectionFound = false;
    bool bKeyFound = false;
    std::size_t nValueBegin = 0;  // key found: its value runs from here ...
    std::size_t nValueEnd = 0;    // ... to the end of its line
    std::size_t nInsert = 0;      // section found, key missing: where the new line goes
};

CIniText::SLocation CIniText::Locate(std::string_view section, std::string_view key) const {
    SLocation location;
    CLineReader reader(m_strContent);
    SLine line;
    while (reader.Next(line)) {
        const SParsedLine parsed = ParseLine(m_strContent, line);
        if (parsed.eKind == ELineKind::Section) {
            if (location.bSectionFound) {
                break;  // the end of the first section of that name
            }
            if (EqualNoCase(parsed.name, section)) {
                location.bSectionFound = true;
                location.nInsert = line.nNext;
            }
        } else if (location.bSectionFound) {
            if (parsed.eKind == ELineKind::Key && EqualNoCase(parsed.name, key)) {
                location.bKeyFound = true;
                location.nValueBegin = parsed.nValue;
                location.nValueEnd = line.nEnd;
                break;
            }
            if (parsed.eKind != ELineKind::Blank) {
                location.nInsert = line.nNext;
            }
        }
    }
    return location;
}

std::optional<std::string_view> CIniText::Find(std::string_view section,
                                               std::string_view key) const& {
    return FindEach(section, {std::string(key)}).front();
}

std::vector<std::optional<std::string_view>> CIniText::FindEach(
    std::string_view section, const std::vector<std::string>& arrKeys) const& {
    std::vector<std::optional<std::string_view>> arrValues(arrKeys.size());
    const std::string_view content = m_strContent;
    const std::size_t nBody = SectionBodyOf(content, section);
    if (nBody == std::string_view::npos) {
        return arrValues;
    }
    CLineReader reader(content, nBody);
    SLine line;
    while (reader.Next(line)) {
        const SParsedLine parsed = ParseLine(content, line);
        if (parsed.eKind == ELineKind::Section) {
            break;  // the end of the first section of that name
        }
        for (std::size_t i = 0; parsed.eKind == ELineKind::Key && i < arrKeys.size(); ++i) {
            if (!arrValues[i] && EqualNoCase(parsed.name, arrKeys[i])) {
                arrValues[i] = TrimBlanks(content.substr(parsed.nValue, line.nEnd - parsed.nValue));
            }
        }
    }
    return arrValues;
}

bool CIniText::CanStore(std::string_view section, std::string_view key, std::string_view value) {
    return IsCleanName(section) && section.find(']') == std::string_view::npos &&
           IsCleanName(key) && key.find('=') == std::string_view::npos && key.front() != '[' &&
           key.front() != ';' && value.find_first_of("\r\n") == std::string_view::npos;
}

// The line end for lines inserted at nInsert: that of the line they follow, so that a lone CR
// is never joined with a following LF; after an open last line, that of the first line; else LF.
std::string_view CIniText::LineEndAt(std::size_t nInsert) const {
    std::size_t nBreak = std::string::npos;
    if (nInsert > 0 && (m_strContent[nInsert - 1] == '\n' || m_strContent[nInsert - 1] == '\r')) {
        nBreak =
            m_strContent[nInsert - 1] == '\n' && nInsert > 1 && m_strContent[nInsert - 2] == '\r'
                ? nInsert - 2
                : nInsert - 1;
    } else {
        nBreak = m_strContent.find_first_of("\r\n");
    }
    if (nBreak == std::string::npos || m_strContent[nBreak] == '\n') {
        return "\n";
    }
    return (nBreak + 1 < m_strContent.size() && m_strContent[nBreak + 1] == '\n') ? "\r\n" : "\r";
}

// Whether the text's last line lacks its line end (so something appended needs one first).
bool CIniText::EndsOpen() const {
    if (m_strContent.empty() || m_strContent == kUtf8Bom) {
        return false;
    }
    const char cLast = m_strContent.back();
    return cLast != '\n' && cLast != '\r';
}

void CIniText::Set(std::string_view section, std::string_view key, std::string_view value) {
    const SLocation location = Locate(section, key);
    if (location.bKeyFound) {
        m_strContent.replace(location.nValueBegin, location.nValueEnd - location.nValueBegin,
                             value);
        return;
    }
    const std::size_t nInsert = location.bSectionFound ? location.nInsert : m_strContent.size();
    const std::string_view lineEnd = LineEndAt(nInsert);
    std::string strLines;
    if (nInsert == m_strContent.size() && EndsOpen()) {
        strLines += lineEnd;
    }
    if (!location.bSectionFound) {
        strLines += '[';
        strLines += section;
        strLines += ']';
        strLines += lineEnd;
    }
    strLines += key;
    strLines += '=';
    strLines += value;
    strLines += lineEnd;
    m_strContent.insert(nInsert, strLines);
}
