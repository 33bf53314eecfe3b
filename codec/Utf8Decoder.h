// CUtf8Decoder: UTF-8 bytes to UTF-16, for a stream that arrives in pieces.
//
// No Qt. Invalid input gives U+FFFD for each maximal invalid part (the WHATWG rule), so the text
// never depends on where the stream was cut; a byte-order mark is kept as U+FEFF (received data
// is data). A sequence cut at the end of a piece waits for the next piece.
#pragma once
#include <cstddef>
#include <cstdint>

class CUtf8Decoder {
public:
    // The most UTF-16 units that Append writes for nBytes bytes.
    static constexpr std::size_t RequiredSpace(std::size_t nBytes) { return 2 * nBytes + 2; }
    // Decodes the next piece into pOut; returns the end of what was written.
    char16_t* Append(char16_t* pOut, const char* pBytes, std::size_t nBytes);
    // A sequence waits for its continuation bytes.
    bool IsWaiting() const { return m_nNeeded > 0; }

private:
    // The code point so far, the continuation bytes still needed, and the range the next one
    // must lie in.
    char32_t m_cp = 0;
    int m_nNeeded = 0;
    std::uint8_t m_byLower = 0x80;
    std::uint8_t m_byUpper = 0xBF;
};
