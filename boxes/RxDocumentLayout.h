#pragma once
// CRxDocumentLayout: the layout of the receive box's document. It lays a block out only when
// something needs its lines: a hit test, the text cursor's rectangle, assistive tools, or a block
// that Qt draws (RxPainter.h). While the box only paints, scrolls or counts its lines
// (CGeometryOnly), a block of plain text is measured from its glyphs (GlyphCache.h) instead,
// giving the height that laying it out would give. A laid-out block keeps its shaping
// (QTextLayout's cache), so painting it again shapes nothing.
//
// A block may hold several screen lines joined by U+2028 line separators (RxScreen.h): it counts
// as those lines before it is laid out, so that the scroll bar is the same as for one block a
// line; no change lays a block out. Whoever writes the text can tell how many lines each block
// holds (SetBlockLines); else they are counted from it.
#include <QPlainTextDocumentLayout>
#include <functional>
#include <utility>

class CGlyphCache;
class QTextBlock;

class CRxDocumentLayout : public QPlainTextDocumentLayout {
    Q_OBJECT
public:
    explicit CRxDocumentLayout(QTextDocument* pDoc);

    // The glyphs of the box font, or nullptr (every block is laid out).
    void SetGlyphs(CGlyphCache* pGlyphs) { m_pGlyphs = pGlyphs; }
    // While one exists, blockBoundingRect measures a block of plain text without laying it out.
    class CGeometryOnly {
    public:
        explicit CGeometryOnly(const CRxDocumentLayout& layout) : m_layout(layout) {
            ++m_layout.m_nGeometryOnly;
        }
        ~CGeometryOnly() { --m_layout.m_nGeometryOnly; }
        CGeometryOnly(const CGeometryOnly&) = delete;
        CGeometryOnly& operator=(const CGeometryOnly&) = delete;

    private:
        const CRxDocumentLayout& m_layout;
    };
    QRectF blockBoundingRect(const QTextBlock& block) const override;
    // Lays the block out (if it is not) and keeps its shaping.
    QTextLayout* LayOut(const QTextBlock& block);
    // The same for a block of joined lines: the edit finds in the lines of its top block's layout
    // where the view starts.
    void LayOutJoined(const QTextBlock& block);
    // The lines of a block by its number, or -1 when they are to be counted from its text.
    void SetBlockLines(std::function<int(int)> fnBlockLines) {
        m_fnBlockLines = std::move(fnBlockLines);
    }
    // Counts every block's lines again (a new width laid out every block as one line).
    void CountJoinedLines();
    // How many lines at the end fit in a viewport nHeight high, as the edit's scroll bar counts
    // them.
    int LinesAtEnd(int nHeight) const;
    // Which line of the first visible block is at the top of the view, scrolled by fOffset.
    static int TopLine(const QTextBlock& first, qreal fOffset);

protected:
    void documentChanged(int nFrom, int nRemoved, int nAdded) override;

private:
    // Sets the block's line count; true when it changed.
    bool CountLines(QTextBlock block) const;

    CGlyphCache* m_pGlyphs = nullptr;
    mutable int m_nGeometryOnly = 0;
    int m_nBlocks = 1;  // the document's blocks after the last change
    std::function<int(int)> m_fnBlockLines;
};
