#pragma once
// CCharWidths: the advance of each character in a font, cached, so that the receive box can cut
// its text into screen lines itself (one document block per screen line keeps every update
// cheap: Qt lays out a block whole).
#include <QFont>
#include <QFontMetricsF>
#include <QHash>
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

    // The distance between tab stops: eight blanks.
    qreal TabStop() const { return m_fTabStop; }
    // The width of the widest "XX" pair of hexadecimal digits, and of the blank after it.
    qreal HexPairWidth() const { return m_fHexPair; }
    qreal SpaceWidth() const { return m_fSpace; }

private:
    QFontMetricsF m_fm;
    std::vector<float> m_bmp;  // -1: not measured yet
    QHash<char32_t, qreal> m_astral;
    qreal m_fTabStop = 0;
    qreal m_fHexPair = 0;
    qreal m_fSpace = 0;
};
