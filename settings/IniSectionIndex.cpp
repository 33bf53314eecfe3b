#include "IniSectionIndex.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "IniText.h"

namespace {

// Read at a time: small enough to stay in the processor's cache, large enough for few calls.
constexpr std::size_t kChunk = 256 * 1024;

// The bytes read but not yet looked at; they always begin at a line start.
class CScanBuffer {
public:
    char* Data() { return m_pData.get(); }
    std::size_t Used() const { return m_nUsed; }
    // Room for at least kChunk more bytes after the used ones.
    char* Room(std::size_t& nRoom) {
        if (m_nCap - m_nUsed < kChunk) {
            const std::size_t nCap = std::max(2 * m_nCap, m_nUsed + kChunk);
            std::unique_ptr<char[]> pData(new char[nCap]);
            if (m_nUsed > 0) {
                std::memcpy(pData.get(), m_pData.get(), m_nUsed);
            }
            m_pData = std::move(pData);
            m_nCap = nCap;
        }
        nRoom = m_nCap - m_nUsed;
        return m_pData.get() + m_nUsed;
    }
    void Grow(std::size_t n) { m_nUsed += n; }
    // Drops the first n bytes.
    void Consume(std::size_t n) {
        std::memmove(m_pData.get(), m_pData.get() + n, m_nUsed - n);
        m_nUsed -= n;
    }

private:
    std::unique_ptr<char[]> m_pData;
    std::size_t m_nUsed = 0;
    std::size_t m_nCap = 0;
};

// The bytes of the lines that end in [0, nUsed), of which [0, nOld) hold no line end: up to and
// including the last CR or LF.
std::size_t CompleteLines(const char* pData, std::size_t nOld, std::size_t nUsed) {
    for (std::size_t n = nUsed; n > nOld; --n) {
        if (pData[n - 1] == '\n' || pData[n - 1] == '\r') {
            return n;
        }
    }
    return 0;
}

}  // namespace

CIniSectionIndex::EScan CIniSectionIndex::Scan(int nFd) {
    *this = CIniSectionIndex();
    CScanBuffer buffer;
    off_t nBase = 0;  // the file offset of the buffer's first byte
    bool bEnd = false;
    while (!bEnd) {
        std::size_t nRoom = 0;
        char* pRoom = buffer.Room(nRoom);
        const std::size_t nLeft = kMaxFileSize - static_cast<std::size_t>(nBase) - buffer.Used();
        const ssize_t n = ::read(nFd, pRoom, std::min(nRoom, nLeft));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return EScan::Failed;
        }
        const std::size_t nOld = buffer.Used();  // what is left over holds no line end
        buffer.Grow(static_cast<std::size_t>(n));
        bEnd = n == 0 || static_cast<std::size_t>(nBase) + buffer.Used() >= kMaxFileSize;
        // A CR at the end may be followed by the LF of the same line end: the LF then starts the
        // next piece as an empty line, which holds no header.
        const std::size_t nComplete =
            bEnd ? buffer.Used() : CompleteLines(buffer.Data(), nOld, buffer.Used());
        bool bFits = true;
        CIniText::ForEachSection(std::string_view(buffer.Data(), nComplete), nBase == 0,
                                 [&](std::size_t nLine, std::size_t, std::string_view name) {
                                     bFits = NoteHeader(nBase + static_cast<off_t>(nLine), name);
                                     return bFits;
                                 });
        if (!bFits) {
            return EScan::TooMany;
        }
        buffer.Consume(nComplete);
        nBase += static_cast<off_t>(nComplete);
    }
    if (m_nOpen) {
        m_arrEntries[*m_nOpen].span.nEnd = nBase;
    }
    return EScan::Ok;
}

bool CIniSectionIndex::NoteHeader(off_t nLine, std::string_view name) {
    if (m_nOpen) {
        m_arrEntries[*m_nOpen].span.nEnd = nLine;
        m_nOpen.reset();
    }
    if (++m_nHeaders > kMaxSections) {
        return false;
    }
    if (!Find(name)) {
        m_nNameBytes += name.size();
        if (m_nNameBytes > kMaxNameBytes) {
            return false;
        }
        m_arrEntries.push_back({std::string(name), {nLine, nLine}});
        m_nOpen = m_arrEntries.size() - 1;
    }
    return true;
}

std::optional<CIniSectionIndex::SSpan> CIniSectionIndex::Find(std::string_view section) const {
    for (const SEntry& entry : m_arrEntries) {
        if (CIniText::SameName(entry.strName, section)) {
            return entry.span;
        }
    }
    return std::nullopt;
}
