// Where the sections of a settings file are, learnt in one pass through a small buffer, so that a
// file of many megabytes is neither copied whole nor scanned again for each key asked.
#pragma once
#include <sys/types.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "FileContent.h"

class CIniSectionIndex {
public:
    // A section's bytes in the file: its header line up to the next header line or the end.
    struct SSpan {
        off_t nBegin = 0;
        off_t nEnd = 0;
    };

    // Beyond these the index is not made (Scan gives TooMany): the file is better kept whole.
    static constexpr std::size_t kMaxSections = 1024;
    static constexpr std::size_t kMaxNameBytes = 64 * 1024;

    enum class EScan { Ok, TooMany, Failed };

    // Reads nFd from its start to its end (at most kMaxFileSize bytes), noting the first section of
    // each name.
    EScan Scan(int nFd);
    // The first section of that name (ASCII letters without regard to case), or nothing.
    std::optional<SSpan> Find(std::string_view section) const;

private:
    struct SEntry {
        std::string strName;
        SSpan span;
    };
    // Notes a header line at nLine (a file offset); false once the index would grow too large.
    bool NoteHeader(off_t nLine, std::string_view name);

    std::vector<SEntry> m_arrEntries;    // first sections of their names, in file order
    std::optional<std::size_t> m_nOpen;  // the entry whose end is the next header line
    std::size_t m_nHeaders = 0;
    std::size_t m_nNameBytes = 0;
};
