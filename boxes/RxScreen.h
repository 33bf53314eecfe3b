#pragma once
// CRxScreen: keeps a QTextDocument showing the rendering (RxRenderer.h) of the bytes held in a
// CByteRing, at a cost that follows what changed.
//
// Update() appends the text of the bytes that arrived since the previous update and removes the
// text of the bytes that left the ring: up to the first sync point at or after the ring's new
// start, the front is rendered afresh from that start, so the document always equals a fresh
// rendering of the ring's bytes (the renderer's fresh state at the ring's first byte). It renders
// the ring whole instead when the layout changed, when more than a ring's worth arrived, or when
// no sync point follows the new start.
//
// The document holds two kinds of line boundaries: line breaks of the data and wrap points of
// the screen. LogicalText() removes the wrap points, which is what copying gives. Each screen line
// ends in a block separator or, where lines are joined into one block, in a U+2028 line
// separator: the newest lines, those that can be in view while the box follows the end, are a
// block each, and the older lines of an update share blocks of up to kJoinedLines lines, so that
// an update adds and drops a few blocks rather than one per line (the document's layout counts a
// joined block as its lines, RxDocumentLayout.h). The screen knows how many lines each block
// holds and tells the layout (BlockLines), which then need not read the text to count them.
//
// The ring's marks (timestamps, frames, sends) are part of the rendering: the screen keeps the
// spans of the timestamps and sends it shows (Spans), and renders the front afresh when the oldest
// sends drop out of the ring as it does when bytes do.
#include <QString>
#include <algorithm>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "ByteRing.h"
#include "RxRenderer.h"

class QTextDocument;

class CRxScreen {
public:
    explicit CRxScreen(QTextDocument* pDoc);
    ~CRxScreen();

    // The next Update() renders the ring whole with this layout.
    void SetLayout(const SRxLayout& layout);
    // Brings the document up to date with the ring; true when it was replaced whole.
    bool Update(const CByteRing& ring);
    // Empties the document; the ring was emptied too.
    void Clear();
    // How many of the newest lines stay a block each: at least the lines in view.
    void SetLinesInView(int nLines) { m_nLinesInView = std::max(1, nLines); }
    static constexpr int kJoinedLines = 64;
    // The screen lines in the document's block nBlock; -1 while the document is in the middle
    // of an edit that does not yet have the blocks counted.
    int BlockLines(int nBlock) const;

    // The text between two document positions with the wrap points removed and line breaks as
    // '\n'.
    QString LogicalText(int nFrom, int nTo) const { return LogicalText(nFrom, nTo, {}); }
    // The same text as copying gives it: a character that no font can draw, shown as U+FFFD,
    // is itself again. The ring holds the bytes the document shows.
    QString CopiedText(int nFrom, int nTo, const CByteRing& ring) const;
    // Positions that stay put while text is added and dropped: the absolute position of a
    // document position, and back (-1 when that text is no longer in the document).
    std::uint64_t AbsolutePos(int nDocPos) const {
        return m_nFirstChar + static_cast<std::uint64_t>(nDocPos);
    }
    int DocPosOf(std::uint64_t nAbsolutePos) const;
    // Text from this absolute position on came through the last Update() unchanged (UINT64_MAX:
    // the document was replaced whole)...
    std::uint64_t StableFrom() const { return m_nStableFrom; }
    // ...up to this one, where the text that the last Update() added or moved begins.
    std::uint64_t TailFrom() const { return m_nTailFrom; }
    // Whether the last Update() changed how many blocks come before the text it kept: a block
    // number (by which the edit remembers its top line) then names other text.
    bool BlocksRenumbered() const { return m_bBlocksRenumbered; }
    // Where text that was at this absolute position before the last Update() is now: a word
    // moved to a new line comes one wrap point later.
    std::uint64_t Carried(std::uint64_t nAbsolutePos) const {
        return nAbsolutePos >= m_nMovedFrom ? nAbsolutePos + 1 : nAbsolutePos;
    }

    // The spans (RxRenderer.h) from the one that holds or follows document position nDocPos on, at
    // most nMax, in document positions: colours of their own.
    struct SDocSpan {
        int nFrom;
        int nTo;
        bool bSent;
    };
    void SpansFrom(int nDocPos, std::size_t nMax, std::vector<SDocSpan>& spans) const;

    // Document position to position in the logical text, and back.
    int LogicalPos(int nDocPos) const;
    int DocPos(int nLogicalPos) const;

private:
    QString LogicalText(int nFrom, int nTo, const std::vector<SRxUndrawable>& undrawable) const;
    void RenderAll(const CByteRing& ring);
    void Append(const CByteRing& ring);
    bool TrimFront(const CByteRing& ring);
    // The blocks' lines once the text before nTo is replaced by text whose blocks have these
    // line separators (JoinOlderLines).
    void DropFrontBlocks(int nTo, const std::vector<int>& arrSeparators);
    bool IsLineBreakBefore(std::uint64_t nAbsChar) const;
    int HardBreaksUpTo(std::uint64_t nAbsChar) const;
    // Turns all but the last m_nLinesInView line breaks of str into line separators, except
    // every kJoinedLines-th; gives the line separators of each block str makes (one more than
    // its line breaks).
    std::vector<int> JoinOlderLines(QString& str) const;

    QTextDocument* m_pDoc;
    SRxLayout m_layout;
    std::unique_ptr<CRxRenderer> m_pRenderer;  // continues at the end of the document
    bool m_bStale = true;
    std::deque<SRxSyncPoint> m_syncs;    // sync points within the document, in order
    std::deque<SRxSpan> m_spans;         // timestamps and sends within the document, in order
    std::uint64_t m_nFirstMark = 0;      // the first mark of the ring the document shows
    std::deque<int> m_arrBlockLines{1};  // the screen lines of each block of the document
    std::uint64_t m_nFirstByte = 0;      // the stream offset of the document's first byte
    std::uint64_t m_nFirstChar = 0;      // the absolute position of the document's position 0
    std::uint64_t m_nStableFrom = 0;
    std::uint64_t m_nTailFrom = 0;
    std::uint64_t m_nMovedFrom = UINT64_MAX;  // where the last Update() put a late wrap point
    bool m_bBlocksRenumbered = false;
    int m_nLinesInView = 64;
    QString m_strScratch;
};
