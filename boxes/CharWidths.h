#pragma once
// CCharWidths: what the receive box needs to know of each character in its font, asked once per
// character and cached: its advance, so that the box can cut its text into screen lines itself
// (one document block per screen line keeps every update cheap: Qt lays out a block whole), and
// whether any font can draw it (for one that none can, Qt would search every fallback font each
// time it lays out a line).
#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <cstdint>
#include <vector>

class CCharWidths {
public:
    explicit CCharWidths(const QFont& font);

    // The advance of a character of the basic plane (the font's fallbacks included).
    qreal Advance(char16_t ch) {
        float& f = m_bmp[ch];
        if (f < 0) {
            f = static_cast<float>(m_fm.horizontalAdvance(QChar(ch)));
        }
        return f;
    }
    // The advance of a character outside the basic plane (a surrogate pair).
    qreal Advance(char32_t ch);
    // Whether the font or one of its fallbacks has the character.
    bool Drawable(char16_t ch) {
        std::int8_t& n = m_drawable[ch];
        if (n < 0) {
            n = m_fm.inFont(QChar(ch)) ? 1 : 0;
        }
        return n != 0;
    }
    bool Drawable(char32_t ch);

    // The distance between tab stops: eight blanks.
    qreal TabStop() const { return m_fTabStop; }
    // The width of the widest "XX" pair of hexadecimal digits, and of the blank after it.
    qreal HexPairWidth() const { return m_fHexPair; }
    qreal SpaceWidth() const { return m_fSpace; }

private:
    QFontMetricsF m_fm;
    std::vector<float> m_bmp;             // -1: not measured yet
    std::vector<std::int8_t> m_drawable;  // -1: not asked yet
    QHash<char32_t, qreal> m_astral;
    QHash<char32_t, bool> m_astralDrawable;
    qreal m_fTabStop = 0;
    qreal m_fHexPair = 0;
    qreal m_fSpace = 0;
};
