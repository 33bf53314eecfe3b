#pragma once
// CGlyphCache: how the receive box draws each character, decided once per character: the raw
// font that Qt's own layout draws it with (the box font, or the fallback font Qt picks for it),
// its glyph and its advance, so that a line of plain text can be drawn as glyph runs without
// laying it out. A character that needs Qt's layout to look right (a combining mark, right-to-left
// text, a script that needs OpenType shaping, a character outside the basic plane, a fallback font
// that depends on the text around it) is marked so: a line holding one is left to Qt.
#include <QFont>
#include <QRawFont>
#include <QStringView>
#include <algorithm>
#include <cstdint>
#include <vector>

class CGlyphCache {
public:
    static constexpr std::int16_t kLaidOut = -1;  // only Qt's layout draws it
    static constexpr std::int16_t kBlank = -2;    // draws nothing: a blank, U+2028 at a line's end
    static constexpr std::int16_t kTab = -3;      // advances to the next tab stop
    struct SGlyph {
        quint32 nIndex = 0;
        std::int32_t nAdvance = 0;      // in 1/64 pixel, as Qt's layout adds it up
        std::int16_t nFont = kUnknown;  // index into Font(), or kLaidOut, kBlank
    };
    // A font's line metrics in 1/64 pixel.
    struct SFont {
        QRawFont raw;
        std::int32_t nAscent = 0;
        std::int32_t nDescent = 0;
        std::int32_t nLeading = 0;
    };

    explicit CGlyphCache(const QFont& font);

    const SGlyph& Glyph(char16_t ch) {
        SGlyph& glyph = m_glyphs[ch];
        if (glyph.nFont == kUnknown) {
            Decide(ch, glyph);
        }
        return glyph;
    }
    const SFont& Font(int nFont) const { return m_fonts[static_cast<std::size_t>(nFont)]; }
    // The box font itself, whose metrics every line has at least.
    static constexpr int kPrimary = 0;

    // The metrics of a line as Qt's layout gives them (1/64 pixel): the largest of its fonts'.
    struct SLine {
        std::int32_t nAscent = 0;
        std::int32_t nDescent = 0;
        std::int32_t nLeading = 0;
        // The line's height, whole pixels, leading included.
        int Height() const { return (nAscent + nDescent + std::max(0, nLeading) + 63) / 64; }
        // How far the next line of the block is below this one.
        int Step() const { return Height() - (nLeading < 0 ? -nLeading / 64 : 0); }
    };
    // False when a character of the line needs Qt's layout.
    bool Measure(QStringView strLine, SLine& line);
    // The height of a block's lines (joined by U+2028) as Qt lays them out; false when a
    // character needs Qt's layout.
    bool MeasureBlock(QStringView strBlock, int& nHeight);

private:
    static constexpr std::int16_t kUnknown = -4;
    void Decide(char16_t ch, SGlyph& glyph);
    // The raw font and glyph that Qt's layout of str draws its last character with; false when
    // that character is not one glyph of its own.
    bool LastGlyph(const QString& str, QRawFont& raw, quint32& nIndex) const;
    std::int16_t FontIndex(const QRawFont& raw);

    QFont m_font;
    std::vector<SGlyph> m_glyphs;
    std::vector<SFont> m_fonts;
};
