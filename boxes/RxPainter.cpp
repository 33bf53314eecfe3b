#include "RxPainter.h"

#include <QPainter>
#include <QTextDocument>
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "GlyphCache.h"
#include "RxDocumentLayout.h"

namespace {

// Qt's layout places text in 1/64 pixel.
std::int32_t Fixed(qreal f) {
    return static_cast<std::int32_t>(std::lround(f * 64));
}
qreal Real(std::int32_t n) {
    return n / 64.0;
}

}  // namespace

void CRxPainter::Paint(QPainter& painter, const QRect& rect, const SView& view,
                       CGlyphCache* pGlyphs) {
    const CRxDocumentLayout::CGeometryOnly geometry(*m_pLayout);
    QPointF offset = view.offset;
    QRect clip = rect;
    // The right margin stays clear of a full-width selection.
    const qreal fWidth = std::max<qreal>(view.viewport.width(), m_pLayout->documentSize().width());
    const int nMaxX = static_cast<int>(offset.x() + fWidth -
                                       m_pLayout->document()->documentMargin() + view.nCursorWidth);
    clip.setRight(std::min(clip.right(), nMaxX));
    painter.setBrushOrigin(offset);
    painter.setClipRect(clip);
    painter.setPen(view.context.palette.text().color());
    for (QTextBlock block = view.first; block.isValid(); block = block.next()) {
        const QRectF r = m_pLayout->blockBoundingRect(block).translated(offset);
        if (block.isVisible() && r.bottom() >= clip.top() && r.top() <= clip.bottom()) {
            const QList<QTextLayout::FormatRange> selections = Selections(block, view);
            const int nCursor = view.context.cursorPosition - block.position();
            const bool bCursor = view.bCursorShown && nCursor >= 0 && nCursor < block.length();
            if (!pGlyphs || !selections.isEmpty() || bCursor ||
                !DrawLines(painter, block, offset, view, *pGlyphs)) {
                QTextLayout* pBlockLayout = m_pLayout->LayOut(block);
                // The selection's colours go over the spans' colours.
                pBlockLayout->draw(&painter, offset, ColorRanges(block, view) + selections, clip);
                if (bCursor) {
                    pBlockLayout->drawCursor(&painter, offset, nCursor, view.nCursorWidth);
                }
            }
        }
        offset.ry() += r.height();
        if (offset.y() > view.viewport.height()) {
            break;
        }
    }
}

QList<QTextLayout::FormatRange> CRxPainter::ColorRanges(const QTextBlock& block,
                                                        const SView& view) const {
    QList<QTextLayout::FormatRange> ranges;
    const int nPos = block.position();
    const int nEnd = nPos + block.length();
    for (const SView::SColorSpan& span : view.spans) {
        if (span.nTo > nPos && span.nFrom < nEnd) {
            QTextCharFormat format;
            format.setForeground(span.color);
            const int nFrom = std::max(span.nFrom, nPos);
            ranges.append({nFrom - nPos, std::min(span.nTo, nEnd) - nFrom, format});
        }
    }
    return ranges;
}

QList<QTextLayout::FormatRange> CRxPainter::Selections(const QTextBlock& block, const SView& view) {
    QList<QTextLayout::FormatRange> selections;
    const int nPos = block.position();
    const int nLength = block.length();
    for (const QAbstractTextDocumentLayout::Selection& range : view.context.selections) {
        const int nStart = range.cursor.selectionStart() - nPos;
        const int nEnd = range.cursor.selectionEnd() - nPos;
        if (nStart < nLength && nEnd > 0 && nEnd > nStart) {
            selections.append({nStart, nEnd - nStart, range.format});
        } else if (!range.cursor.hasSelection() &&
                   range.format.hasProperty(QTextFormat::FullWidthSelection) &&
                   block.contains(range.cursor.position())) {
            // A full-width selection without a selection marks the line of its cursor.
            const QTextLine line =
                m_pLayout->LayOut(block)->lineForTextPosition(range.cursor.position() - nPos);
            QTextLayout::FormatRange whole{line.textStart(), line.textLength(), range.format};
            if (whole.start + whole.length == nLength - 1) {
                ++whole.length;  // the line break
            }
            selections.append(whole);
        }
    }
    return selections;
}

bool CRxPainter::DrawLines(QPainter& painter, const QTextBlock& block, QPointF offset,
                           const SView& view, CGlyphCache& glyphs) {
    // A block that Qt laid out in several lines is drawn from its layout.
    if (block.layout()->lineCount() > 1 ||
        (block.layout()->lineCount() == 1 && block.lineCount() > 1)) {
        return false;
    }
    const QString strText = block.text();
    int nHeight = 0;
    if (!glyphs.MeasureBlock(strText, nHeight)) {
        return false;
    }
    std::int32_t nTop = Fixed(offset.y());
    for (qsizetype nStart = 0; nStart <= strText.size();) {
        qsizetype nEnd = strText.indexOf(QChar::LineSeparator, nStart);
        nEnd = nEnd < 0 ? strText.size() : nEnd;
        const QStringView strLine = QStringView(strText).mid(nStart, nEnd - nStart);
        CGlyphCache::SLine line;
        glyphs.Measure(strLine, line);
        DrawLine(painter, strLine, block.position() + static_cast<int>(nStart),
                 QPointF(offset.x(), Real(nTop + line.nAscent)), view, glyphs);
        nTop += 64 * line.Step();
        nStart = nEnd + 1;
    }
    return true;
}

void CRxPainter::DrawLine(QPainter& painter, QStringView strLine, int nDocPos, QPointF baseline,
                          const SView& view, CGlyphCache& glyphs) {
    const std::int32_t nLeft = Fixed(baseline.x()) + Fixed(m_pLayout->document()->documentMargin());
    const std::int32_t nTab = view.fTabStop > 0 ? Fixed(view.fTabStop) : 80 * 64;
    std::int32_t nX = 0;
    int nFont = CGlyphCache::kPrimary;
    const QColor text = view.context.palette.text().color();
    auto itSpan = view.spans.begin();
    const QColor* pColor = &text;
    for (qsizetype i = 0; i < strLine.size(); ++i) {
        const QChar ch = strLine[i];
        if (!view.spans.empty()) {
            // A run of glyphs has one colour: a new colour ends it.
            const int nPos = nDocPos + static_cast<int>(i);
            while (itSpan != view.spans.end() && itSpan->nTo <= nPos) {
                ++itSpan;
            }
            const QColor* pNow =
                itSpan != view.spans.end() && itSpan->nFrom <= nPos ? &itSpan->color : &text;
            if (*pNow != *pColor) {
                DrawRun(painter, glyphs, nFont);
                painter.setPen(*pNow);
                pColor = pNow;
            }
        }
        const CGlyphCache::SGlyph& glyph = glyphs.Glyph(ch.unicode());
        if (glyph.nFont == CGlyphCache::kTab) {
            nX = (nX / nTab + 1) * nTab;  // stops measured from the line's start
            continue;
        }
        if (glyph.nFont >= 0) {
            if (glyph.nFont != nFont) {
                DrawRun(painter, glyphs, nFont);
                nFont = glyph.nFont;
            }
            m_indexes.push_back(glyph.nIndex);
            m_positions.emplace_back(Real(nLeft + nX), baseline.y());
        }
        nX += glyph.nAdvance;
    }
    DrawRun(painter, glyphs, nFont);
    if (*pColor != text) {
        painter.setPen(text);
    }
}

void CRxPainter::DrawRun(QPainter& painter, CGlyphCache& glyphs, int nFont) {
    if (m_indexes.empty()) {
        return;
    }
    m_run.setRawFont(glyphs.Font(nFont).raw);
    m_run.setRawData(m_indexes.data(), m_positions.data(), static_cast<int>(m_indexes.size()));
    painter.drawGlyphRun(QPointF(0, 0), m_run);
    m_indexes.clear();
    m_positions.clear();
}
