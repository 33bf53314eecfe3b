#include "GlyphCache.h"

#include <QGlyphRun>
#include <QTextLayout>
#include <cmath>

namespace {

std::int32_t Fixed(qreal f) {
    return static_cast<std::int32_t>(std::lround(f * 64));
}

// Scripts that Qt draws one glyph a character, left to right, without shaping.
bool IsSimpleScript(QChar::Script script) {
    switch (script) {
        case QChar::Script_Common:
        case QChar::Script_Latin:
        case QChar::Script_Greek:
        case QChar::Script_Cyrillic:
        case QChar::Script_Han:
        case QChar::Script_Hiragana:
        case QChar::Script_Katakana:
        case QChar::Script_Bopomofo:
            return true;
        default:
            return false;
    }
}

bool IsLeftToRightOrNeutral(QChar::Direction dir) {
    switch (dir) {
        case QChar::DirL:
        case QChar::DirEN:
        case QChar::DirES:
        case QChar::DirET:
        case QChar::DirCS:
        case QChar::DirWS:
        case QChar::DirON:
            return true;
        default:
            return false;
    }
}

bool NeedsLayout(QChar ch) {
    if (ch.isSurrogate() || !ch.isPrint() || ch.isMark() || !IsSimpleScript(ch.script()) ||
        !IsLeftToRightOrNeutral(ch.direction())) {
        return true;
    }
    // Conjoining jamo and the like combine with their neighbours.
    return ch.category() == QChar::Other_Format || ch.joiningType() != QChar::Joining_None;
}

}  // namespace

CGlyphCache::CGlyphCache(const QFont& font) : m_font(font), m_glyphs(0x10000) {
    FontIndex(QRawFont::fromFont(font));
}

void CGlyphCache::Decide(char16_t ch, SGlyph& glyph) {
    glyph.nFont = kLaidOut;
    if (ch == QChar::LineSeparator) {
        glyph.nFont = kBlank;
        return;
    }
    if (ch == u'\t') {
        glyph.nFont = kTab;
        return;
    }
    const QChar qch(ch);
    if (NeedsLayout(qch)) {
        return;
    }
    // Qt draws a character with the box font whenever the font has it.
    QRawFont raw = m_fonts[kPrimary].raw;
    const quint32 nPrimary = raw.supportsCharacter(qch) ? raw.glyphIndexesForString(qch)[0] : 0;
    if (nPrimary != 0) {
        glyph.nIndex = nPrimary;
    } else if (!LastGlyph(QString(qch), raw, glyph.nIndex)) {
        return;
    } else {
        // Qt picks a fallback font by the script of the text around: it must be the same one
        // after Latin and after Chinese text.
        for (const char16_t* pszBefore : {u"a", u"\u4E2D"}) {
            QRawFont rawThere;
            quint32 nIndexThere = 0;
            if (!LastGlyph(QString::fromUtf16(pszBefore) + qch, rawThere, nIndexThere) ||
                rawThere != raw || nIndexThere != glyph.nIndex) {
                return;
            }
        }
    }
    const QList<QPointF> advances = raw.advancesForGlyphIndexes(QList<quint32>{glyph.nIndex});
    glyph.nAdvance = Fixed(advances.value(0).x());
    glyph.nFont = FontIndex(raw);
    // A blank of the box font costs a lookup in the glyph cache to draw nothing.
    if (glyph.nFont == kPrimary && qch.isSpace() && raw.boundingRect(glyph.nIndex).isEmpty()) {
        glyph.nFont = kBlank;
    }
}

bool CGlyphCache::Measure(QStringView strLine, SLine& line) {
    const SFont& primary = m_fonts[kPrimary];
    line = {primary.nAscent, primary.nDescent, primary.nLeading};
    int nLastFont = kPrimary;
    for (QChar ch : strLine) {
        const std::int16_t nFont = Glyph(ch.unicode()).nFont;
        if (nFont == kLaidOut) {
            return false;
        }
        if (nFont >= 0 && nFont != nLastFont) {
            const SFont& font = m_fonts[static_cast<std::size_t>(nFont)];
            line.nAscent = std::max(line.nAscent, font.nAscent);
            line.nDescent = std::max(line.nDescent, font.nDescent);
            line.nLeading = std::max(line.nLeading, font.nLeading);
            nLastFont = nFont;
        }
    }
    return true;
}

bool CGlyphCache::LastGlyph(const QString& str, QRawFont& raw, quint32& nIndex) const {
    QTextLayout layout(str, m_font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    const QList<QGlyphRun> runs = layout.glyphRuns(static_cast<int>(str.size()) - 1, 1);
    if (runs.size() != 1 || runs[0].glyphIndexes().size() != 1) {
        return false;
    }
    raw = runs[0].rawFont();
    nIndex = runs[0].glyphIndexes()[0];
    return true;
}

bool CGlyphCache::MeasureBlock(QStringView strBlock, int& nHeight) {
    nHeight = 0;
    for (qsizetype nStart = 0;;) {
        const qsizetype nEnd = strBlock.indexOf(QChar::LineSeparator, nStart);
        SLine line;
        if (!Measure(strBlock.mid(nStart, nEnd < 0 ? -1 : nEnd - nStart), line)) {
            return false;
        }
        if (nEnd < 0) {
            nHeight += line.Height();
            return true;
        }
        nHeight += line.Step();
        nStart = nEnd + 1;
    }
}

std::int16_t CGlyphCache::FontIndex(const QRawFont& raw) {
    for (std::size_t i = 0; i < m_fonts.size(); ++i) {
        if (m_fonts[i].raw == raw) {
            return static_cast<std::int16_t>(i);
        }
    }
    m_fonts.push_back({raw, Fixed(raw.ascent()), Fixed(raw.descent()), Fixed(raw.leading())});
    return static_cast<std::int16_t>(m_fonts.size() - 1);
}
