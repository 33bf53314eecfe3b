#pragma once
// CRxPainter: paints the receive box's visible lines as the edit's own paint would, but draws a
// line of plain text from cached glyphs (GlyphCache.h) instead of laying it out, so that a
// stream's new lines are never shaped just to be shown. The geometry is the edit's: block tops
// from the blocks' heights (RxDocumentLayout.h), lines at the document margin, baselines at their
// fonts' ascent, tabs to the next stop from the line's start. A block that Qt has laid out, or
// that holds a character needing Qt's layout, the selection or the text cursor, is drawn by Qt's
// layout, exactly as the edit draws it.
#include <QAbstractTextDocumentLayout>
#include <QColor>
#include <QGlyphRun>
#include <QList>
#include <QPointF>
#include <QRect>
#include <QTextBlock>
#include <QTextLayout>
#include <vector>

class CGlyphCache;
class CRxDocumentLayout;
class QPainter;

class CRxPainter {
public:
    explicit CRxPainter(CRxDocumentLayout* pLayout) : m_pLayout(pLayout) {}

    // What the edit shows and where: its first visible block at offset, in the viewport.
    struct SView {
        QTextBlock first;
        QPointF offset;
        QRect viewport;
        QAbstractTextDocumentLayout::PaintContext context;
        int nCursorWidth = 1;
        bool bCursorShown = false;  // the edit draws its text cursor at context.cursorPosition
        qreal fTabStop = 0;         // in pixels, the screen's resolution applied
        // Text in colours of its own (timestamps, sends): document positions, in order.
        struct SColorSpan {
            int nFrom;
            int nTo;
            QColor color;
        };
        std::vector<SColorSpan> spans;
    };
    // Paints the part rect of the viewport; nullptr glyphs: every block is drawn by Qt's layout.
    void Paint(QPainter& painter, const QRect& rect, const SView& view, CGlyphCache* pGlyphs);

private:
    // The edit's selections that touch the block, as its paint hands them to the block's layout.
    QList<QTextLayout::FormatRange> Selections(const QTextBlock& block, const SView& view);
    // Draws the lines of a block from the glyphs; false (nothing drawn) when Qt must lay it out.
    bool DrawLines(QPainter& painter, const QTextBlock& block, QPointF offset, const SView& view,
                   CGlyphCache& glyphs);
    // The colour spans that touch the block, as formats for its layout.
    QList<QTextLayout::FormatRange> ColorRanges(const QTextBlock& block, const SView& view) const;
    // A line whose baseline starts at the given point, short of the document margin; its first
    // character is at document position nDocPos.
    void DrawLine(QPainter& painter, QStringView strLine, int nDocPos, QPointF baseline,
                  const SView& view, CGlyphCache& glyphs);
    void DrawRun(QPainter& painter, CGlyphCache& glyphs, int nFont);

    CRxDocumentLayout* m_pLayout;
    QGlyphRun m_run;
    std::vector<quint32> m_indexes;  // the run being gathered
    std::vector<QPointF> m_positions;
};
