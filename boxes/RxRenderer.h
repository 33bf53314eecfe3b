#pragma once
// CRxRenderer: turns received bytes into the receive box's screen text, a piece at a time.
//
// The text is the codec's rendering (hexadecimal pairs, or the display text decoded with the code
// page), cut into screen lines separated by '\n': each line becomes one block of the document.
// Text mode: CR LF and CR CR LF end a line (a hard break); any other CR, a lone LF, the other C0
// controls and DEL show in caret notation ("^M", "^J", "^[", "^?"); TAB advances to the
// next tab stop; characters the document would take for structure (U+2028, U+2029, U+FDD0,
// U+FDD1, U+FFFC) and characters that no font can draw show as U+FFFD. Hexadecimal mode:
// nHexPerLine pairs a line, each line starting at a stream offset that is a multiple of
// nHexPerLine, so lines break between pairs.
//
// Text mode wraps (a soft break) between words, as readers of text expect: a reading such as
// "3.30V" stays whole. A line may break after a run of blanks, before a TAB, and on either side of
// an East Asian wide character (each one is a word of its own, as in Chinese text), except before
// closing punctuation (",", ")", "，", "。", "」") and after opening punctuation ("(", "（",
// "「"), which stay with their neighbour. Blanks (space, U+3000) at the end of a line may hang
// past the edge, as in any wrapped text; a TAB that would cross it starts the next line. A word
// longer than a whole line starts a line of its own and breaks at the edge. A caret pair ("^M")
// never splits.
//
// Rendering is a stream: rendering bytes in any number of pieces gives the same text as rendering
// them at once. What is not yet decided stays inside the renderer: CRs that an LF may still turn
// into a line break, and the first byte of a split double-byte character. A word that grows past
// the edge moves to the next line: when it began in text that an earlier Render() appended, the
// wrap point belongs in that earlier text, and Render() returns where (see Render()).
//
// A sync point is a line start after which the text does not depend on anything before it: in
// text mode every hard break, in hexadecimal mode every line start. The renderer reports each one
// with its absolute byte offset and absolute character position, so that the screen can drop
// old text from the front by rendering afresh only up to the next sync point.
//
// Text that goes on without hard breaks (a device that ends lines with CR alone, or never) still
// gets sync points: at each stream offset that is a multiple of kLineStartBytes, when no hard
// break came since the previous multiple, the next screen line starts afresh at the first byte
// after which nothing earlier matters: one that follows a control byte or a blank (or, from
// kWeakLineStartBytes on, a digit or ASCII punctuation; no double-byte character ends in a byte
// below 0x40), and that is neither CR nor LF. The line before it ends there, a little short, like
// a wrap between words. Since these places are chosen by stream offsets and bytes alone, a fresh
// rendering from any later byte comes to the same line starts within two multiples, and the
// columns stay put while the oldest bytes drop off (only the top line differs).
//
// Marks (ByteRing.h). With bStamps, each line begins with "[HH:MM:SS.mmm] ", the time of the read
// that brought its first byte: in text mode each line after a line break, in hexadecimal mode each
// line, or each frame when frames are split. With nFrameGapMs, a read that came at least that long
// after the previous one starts a new line (a frame); in hexadecimal mode a frame's lines then hold
// nHexPerLine pairs counted from its start (the first one fewer, by the timestamp's width; after a
// send in the middle of a frame, its lines go on on that grid, without a time), each a sync point
// (a fresh rendering learns where the frame began from the ring, ByteRing.h). With bEcho, each send
// is a line of its own: its time (with bStamps), "TX " and its bytes as the mode shows them (text:
// decoded, one line end at its end dropped, other control bytes in caret notation). A note (the
// window's own line) is a line of its own in either mode, its text as it is. A line that such a
// mark ends is a sync point when nothing waits to be decoded; a sync point also names the next
// mark, so that two of them at one stream offset stay apart. RenderRing reports the timestamps and
// sends it shows as spans.
#include <QString>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "CodePage.h"
#include "TimeStamp.h"

class CByteRing;
class CCharWidths;
struct SRxMark;

struct SRxLayout {
    bool bHex = false;
    bool bLfToCrLf = true;
    int nCodePage = 936;
    int nHexPerLine = 16;            // hexadecimal: pairs a line, >= 1
    CCharWidths* pWidths = nullptr;  // text: the font's advances
    qreal fLineWidth = 0;            // text: the usable width of a line
    bool bStamps = false;            // each line begins with its time
    int nFrameGapMs = 0;             // > 0: a silence this long starts a new line
    bool bEcho = false;              // sends show as lines of their own
};

// A character that no font can draw, shown as U+FFFD at absolute position nChar.
struct SRxUndrawable {
    std::uint64_t nChar;
    char32_t ch;
};

struct SRxSyncPoint {
    std::uint64_t nByte;       // absolute offset of the first byte after the break
    std::uint64_t nChar;       // absolute position of the first character of the line
    bool bWrap = false;        // a screen line started afresh in a long line, not a line break
    std::uint64_t nMark = 0;   // the number of the next mark (ByteRing.h) at this point
    std::uint64_t nFrame = 0;  // hexadecimal, frames split: where the frame began
};

// Text shown in a colour of its own: a timestamp, or a send after its timestamp.
struct SRxSpan {
    std::uint64_t nChar;  // absolute position
    std::uint32_t nLength;
    bool bSent;
};

class CRxRenderer {
public:
    // Starts at stream offset nStartByte, with its first character at absolute position
    // nStartChar, and in a fresh state (no pending CR, no split character, at a line start).
    CRxRenderer(const SRxLayout& layout, std::uint64_t nStartByte, std::uint64_t nStartChar);

    static constexpr std::uint64_t kNoLateWrap = UINT64_MAX;
    static constexpr std::uint64_t kLineStartBytes = 1024;
    static constexpr std::uint64_t kWeakLineStartBytes = 128;

    // Appends the text of the next nCount bytes to strOut and the sync points they complete to
    // syncs. NextChar() tells the absolute position of the next character appended. Returns
    // kNoLateWrap, or the absolute position before strOut where a '\n' is to be inserted into the
    // text given out earlier (at most one, always on the last line, so no sync point moves);
    // strOut's positions already count it.
    std::uint64_t Render(const std::uint8_t* pBytes, std::size_t nCount, QString& strOut,
                         std::deque<SRxSyncPoint>& syncs);

    // From now on, each character shown as U+FFFD because no font can draw it is listed in
    // *pList, with its final position (later wrap points counted), so that copying can give it.
    void ListUndrawable(std::vector<SRxUndrawable>* pList) { m_pUndrawable = pList; }

    // The same for the ring's bytes and marks up to stream offset nTo (the marks at nTo too when
    // nTo is the ring's end); the spans of the timestamps and sends go to spans.
    std::uint64_t RenderRing(const CByteRing& ring, std::uint64_t nTo, QString& strOut,
                             std::deque<SRxSyncPoint>& syncs, std::deque<SRxSpan>& spans);

    std::uint64_t NextByte() const { return m_nByte; }
    std::uint64_t NextChar() const { return m_nChar; }
    // The number of the next mark RenderRing takes; kNoMark before the first RenderRing.
    static constexpr std::uint64_t kNoMark = UINT64_MAX;
    std::uint64_t NextMark() const { return m_nNextMark; }

private:
    // The pairs a timestamp's width takes from a hexadecimal line: "[HH:MM:SS.mmm] " is 15
    // characters, five pairs.
    static constexpr int kStampPairs = 5;

    void FindFirstMark(const CByteRing& ring);
    void RenderMark(const SRxMark& mark, QString& strOut, std::deque<SRxSyncPoint>& syncs);
    // Ends the line before a mark's line (pending CRs shown); a sync point when the line was used
    // and nothing waits to be decoded.
    void EndLineForMark(QString& strOut, std::deque<SRxSyncPoint>& syncs, std::uint64_t nMark);
    void RenderSent(const SRxMark& mark, QString& strOut);
    void RenderNote(const SRxMark& mark, QString& strOut);
    void PutStamp();
    void HexStamp(std::uint64_t nOutBase);
    void AddSpan(std::uint64_t nChar, std::uint64_t nEnd, bool bSent);
    // strOut grows by nExtra for writing in place through m_pOut; Commit cuts it to what was
    // written.
    void Reserve(QString& strOut, qsizetype nExtra);
    void Commit(QString& strOut);
    // One decoded character (a surrogate pair, a TAB, a character shown otherwise) at p.
    void PutDecoded(const QChar*& p, const QChar* pEnd);
    void StartPiece(const QString& strOut) {
        m_nCharBase = m_nChar - static_cast<std::uint64_t>(strOut.size());
    }
    void EndPiece(const QString& strOut) {
        m_nChar = m_nCharBase + static_cast<std::uint64_t>(strOut.size());
    }

    void RenderHex(const std::uint8_t* pBytes, std::size_t nCount, QString& strOut,
                   std::deque<SRxSyncPoint>& syncs);
    void RenderText(const std::uint8_t* pBytes, std::size_t nCount, QString& strOut,
                    std::deque<SRxSyncPoint>& syncs);
    // Bytes up to the next multiple of kLineStartBytes or the next fresh line start.
    void RenderRun(const std::uint8_t* pBytes, std::size_t nCount, QString& strOut,
                   std::deque<SRxSyncPoint>& syncs);
    // How many of the nCount bytes come before the first place where a fresh line may start
    // (nCount when none does).
    std::size_t FindLineStart(const std::uint8_t* pBytes, std::size_t nCount) const;
    // Ends the line here (after the CRs still pending, which the next byte shows are not part of
    // a line break) and reports the sync point.
    void StartLineHere(QString& strOut, std::deque<SRxSyncPoint>& syncs);
    // One shown character (or surrogate pair, or caret pair) of width fWidth and of a kind of
    // RxRenderer.cpp, wrapping first when needed.
    void Put(const QChar* pChars, int nChars, qreal fWidth, unsigned nKind);
    // Ends the line before a character of width fWidth: at the last break opportunity of the
    // line, and at the edge as well when the word is longer than a line.
    void Wrap(qreal fWidth);
    std::uint64_t Here() const { return m_nCharBase + static_cast<std::uint64_t>(m_nOut); }
    // A character shown otherwise than as itself (see the top of this file).
    void PutSubstitute(char16_t ch);
    void PutUndrawable(char32_t ch);
    void FlushPendingCr();

    SRxLayout m_layout;
    CStreamDecoder m_decoder;      // text mode
    std::string m_strDisplay;      // scratch: the codec's rendering of a piece
    std::vector<QChar> m_decoded;  // scratch: its decoding
    std::uint64_t m_nByte;
    std::uint64_t m_nChar;
    std::uint64_t m_nCharBase = 0;  // during Render: absolute position of strOut[0]
    QChar* m_pOut = nullptr;        // text mode, during Render: strOut's characters...
    qsizetype m_nOut = 0;           // ...and how many of them are written
    int m_nPendingCr = 0;           // CRs that the next LF may turn into a line break (at most 2)
    int m_nLastByte = -1;           // the byte before m_nByte, -1 before the first
    // Text mode: fresh line starts in long lines (see the top of this file).
    std::uint64_t m_nCheckedAt;        // the last multiple of kLineStartBytes looked at
    bool m_bHardBreakSince = false;    // a hard break came since that multiple
    bool m_bSeekingLineStart = false;  // a fresh line starts at the next place that allows it
    std::uint64_t m_nSeekingFrom = 0;  // the multiple where the search began
    std::uint64_t m_nLateWrap = kNoLateWrap;
    std::vector<SRxUndrawable>* m_pUndrawable = nullptr;
    qreal m_fX = 0;  // text: width used on the current line
    bool m_bLineUsed = false;
    unsigned m_nPrevKind = 0;  // the kind of the line's last character
    // The line's last break opportunity, if any: its absolute position and the width before it.
    bool m_bBreakable = false;
    std::uint64_t m_nBreakPos = 0;
    qreal m_fBreakX = 0;
    // Marks.
    std::uint64_t m_nNextMark = kNoMark;
    ReadTime m_tRead{};               // the read that brought the bytes being rendered
    bool m_bStampDue;                 // the next character starts a line that shows its time
    int m_nHexInLine = 0;             // hexadecimal: pairs on the current line
    bool m_bHexBreakDue = false;      // hexadecimal: the current line is full
    std::uint64_t m_nFrameStart = 0;  // frames split: the stream offset of the current frame
    std::string m_strStamp;           // scratch
    std::deque<SRxSpan>* m_pSpans = nullptr;  // during RenderRing
};
