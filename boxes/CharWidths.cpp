#include "CharWidths.h"

#include <algorithm>

CCharWidths::CCharWidths(const QFont& font)
    : m_fm(font), m_bmp(0x10000, -1.0f), m_drawable(0x10000, -1) {
    m_fSpace = m_fm.horizontalAdvance(QChar(u' '));
    m_fTabStop = 8 * m_fSpace;
    qreal fDigit = 0;
    for (char16_t ch : u"0123456789ABCDEF") {
        if (ch != 0) {
            fDigit = std::max(fDigit, Advance(ch));
        }
    }
    m_fHexPair = 2 * fDigit;
}

qreal CCharWidths::Advance(char32_t ch) {
    auto it = m_astral.find(ch);
    if (it == m_astral.end()) {
        const char32_t text[] = {ch};
        it = m_astral.insert(ch, m_fm.horizontalAdvance(QString::fromUcs4(text, 1)));
    }
    return *it;
}

bool CCharWidths::Drawable(char32_t ch) {
    auto it = m_astralDrawable.find(ch);
    if (it == m_astralDrawable.end()) {
        it = m_astralDrawable.insert(ch, m_fm.inFontUcs4(ch));
    }
    return *it;
}
