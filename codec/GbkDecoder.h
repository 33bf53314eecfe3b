// CGbkDecoder: GBK bytes to UTF-16, for a stream that arrives in pieces.
//
// No Qt. Gives exactly what the system's own GBK converter (Qt's "GBK" decoder) gives for any
// input, so the receive box shows the same text whichever decodes it:
// - a byte below 0x80 is itself; 0x80 and 0xFF are single characters (the euro sign and a
//   private-use character);
// - a lead byte 0x81-0xFE with a trail byte 0x40-0x7E or 0x80-0xFE is one character;
// - a lead byte before any other byte is U+FFFD, and that byte is read afresh (it is never a lead
//   byte, so it stands alone).
// A lead byte at the end of a piece waits for the next piece; the text never depends on where the
// stream was cut. The end of the stream is never flushed: a waiting lead byte shows nothing.
//
// The state is one byte: constructing, copying and resetting cost nothing.
#pragma once
#include <cstddef>
#include <cstdint>

class CGbkDecoder {
public:
    // The most UTF-16 units that Append writes for nBytes bytes: a waiting lead byte and a bad
    // trail byte give two.
    static constexpr std::size_t RequiredSpace(std::size_t nBytes) { return nBytes + 1; }
    // Decodes the next piece into pOut; returns the end of what was written.
    char16_t* Append(char16_t* pOut, const char* pBytes, std::size_t nBytes);
    // Forgets a waiting lead byte: the next piece starts a new stream.
    void Reset() { m_byLead = 0; }
    // A lead byte waits for its trail.
    bool IsWaiting() const { return m_byLead != 0; }

private:
    std::uint8_t m_byLead = 0;  // the lead byte waiting for its trail, or 0
};

// The converter's characters, generated from it by scripts/gbk-table.sh (GbkTable.cpp).
// A lone byte: anything but a lead byte (whose entries are 0).
extern const char16_t kGbkSingle[256];
// A lead byte 0x81-0xFE and a trail byte 0x40-0x7E, 0x80-0xFE: one row of 190 per lead byte.
constexpr int kGbkTrails = 190;
extern const char16_t kGbkPairs[126 * kGbkTrails];
