#pragma once
// CRxRenderer: turns received bytes into the receive box's screen text, a piece at a time.
//
// The text is the codec's rendering (hexadecimal pairs, or the display text decoded with the code
// page), cut into screen lines separated by '\n': each line becomes one block of the document.
// Text mode: CR LF and CR CR LF end a line (a hard break); any other CR, a lone LF, the other C0
// controls and DEL show in caret notation ("^M", "^J", "^[", "^?"); TAB advances to the
// next tab stop; characters the document would take for structure (U+2028, U+2029, U+FDD0,
// U+FDD1, U+FFFC) and characters that no font can draw show as U+FFFD. A line wraps (a soft break)
// before the character that would cross the line width. Hexadecimal mode: nHexPerLine pairs a line,
// each line starting at a stream offset that is a multiple of nHexPerLine.
//
// Rendering is a stream: rendering bytes in any number of pieces gives the same text as rendering
// them at once. What is not yet decided stays inside the renderer: CRs that an LF may still turn
// into a line break, and the first byte of a split double-byte character.
//
// A sync point is a line start after which the text does not depend on anything before it: in
// text mode every hard break, in hexadecimal mode every line start. The renderer reports each one
// with its absolute byte offset and absolute character position, so that the screen can drop
// old text from the front by rendering afresh only up to the next sync point.
#include <QString>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "CodePage.h"

class CCharWidths;

struct SRxLayout {
    bool bHex = false;
    bool bLfToCrLf = true;
    int nCodePage = 936;
    int nHexPerLine = 16;            // hexadecimal: pairs a line, >= 1
    CCharWidths* pWidths = nullptr;  // text: the font's advances
    qreal fLineWidth = 0;            // text: the usable width of a line
};

struct SRxSyncPoint {
    std::uint64_t nByte;  // absolute offset of the first byte after the break
    std::uint64_t nChar;  // absolute position of the first character of the line
};

class CRxRenderer {
public:
    // Starts at stream offset nStartByte, with its first character at absolute position
    // nStartChar, and in a fresh state (no pending CR, no split character, at a line start).
    CRxRenderer(const SRxLayout& layout, std::uint64_t nStartByte, std::uint64_t nStartChar);

    // Appends the text of the next nCount bytes to strOut and the sync points they complete to
    // syncs. nNextChar() tells the absolute position of the next character appended.
    void Render(const std::uint8_t* pBytes, std::size_t nCount, QString& strOut,
                std::deque<SRxSyncPoint>& syncs);

    std::uint64_t NextByte() const { return m_nByte; }
    std::uint64_t NextChar() const { return m_nChar; }

private:
    void RenderHex(const std::uint8_t* pBytes, std::size_t nCount, QString& strOut,
                   std::deque<SRxSyncPoint>& syncs);
    void RenderText(const std::uint8_t* pBytes, std::size_t nCount, QString& strOut,
                    std::deque<SRxSyncPoint>& syncs);
    // One shown character (or surrogate pair) of width fWidth, wrapping first when needed.
    void Put(QString& strOut, const QChar* pChars, int nChars, qreal fWidth);
    // A character shown otherwise than as itself (see the top of this file).
    void PutSubstitute(QString& strOut, char16_t ch);
    void FlushPendingCr(QString& strOut);

    SRxLayout m_layout;
    CStreamDecoder m_decoder;
    std::string m_strDisplay;      // scratch: the codec's rendering of a piece
    std::vector<QChar> m_decoded;  // scratch: its decoding
    std::uint64_t m_nByte;
    std::uint64_t m_nChar;
    std::uint64_t m_nCharBase = 0;  // during Render: absolute position of strOut[0]
    int m_nPendingCr = 0;           // CRs that the next LF may turn into a line break (at most 2)
    qreal m_fX = 0;                 // text: width used on the current line
    bool m_bLineUsed = false;
};
