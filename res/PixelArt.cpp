#include "PixelArt.h"

#include <algorithm>

namespace {

struct Glyph {
    PixelFace face;
    char ch;
    std::string_view rows;  // rows of '#' and '.', separated by '|'
};

constexpr Glyph kGlyphs[] = {
    {PixelFace::kCaps7, 'C', ".###.|#...#|#....|#....|#....|#...#|.###."},
    {PixelFace::kCaps7, 'D', "####.|#...#|#...#|#...#|#...#|#...#|####."},
    {PixelFace::kCaps7, 'I', "###|.#.|.#.|.#.|.#.|.#.|###"},
    {PixelFace::kCaps7, 'R', "####.|#...#|#...#|####.|#.#..|#..#.|#...#"},
    {PixelFace::kCaps7, 'S', ".###.|#...#|#....|.###.|....#|#...#|.###."},
    {PixelFace::kCaps7, 'T', "#####|..#..|..#..|..#..|..#..|..#..|..#.."},
    {PixelFace::kDigits5, '0', "###|#.#|#.#|#.#|###"},
    {PixelFace::kDigits5, '1', ".#.|##.|.#.|.#.|###"},
    {PixelFace::kIconLetters, 'A',
     "..###..|..###..|.##.##.|.##.##.|.##.##.|##...##|#######|##...##|##...##|##...##"},
    {PixelFace::kIconLetters, 'a', ".####.|##..##|....##|.#####|##..##|##..##|.#####"},
};

const Glyph* FindGlyph(char ch, PixelFace face) {
    for (const Glyph& g : kGlyphs) {
        if (g.face == face && g.ch == ch) {
            return &g;
        }
    }
    return nullptr;
}

int GlyphWidth(const Glyph& g) {
    return static_cast<int>(std::min(g.rows.find('|'), g.rows.size()));
}

int GlyphHeight(const Glyph& g) {
    return static_cast<int>(std::count(g.rows.begin(), g.rows.end(), '|')) + 1;
}

int FaceHeight(PixelFace face) {
    int nHeight = 0;
    for (const Glyph& g : kGlyphs) {
        if (g.face == face) {
            nHeight = std::max(nHeight, GlyphHeight(g));
        }
    }
    return nHeight;
}

}  // namespace

void DrawSprite(QPainter& painter, int x, int y, std::initializer_list<std::string_view> rows,
                std::initializer_list<Ink> inks) {
    int nRow = 0;
    for (std::string_view row : rows) {
        for (int nCol = 0; nCol < static_cast<int>(row.size()); ++nCol) {
            for (const Ink& ink : inks) {
                if (ink.cInk == row[nCol]) {
                    painter.fillRect(x + nCol, y + nRow, 1, 1, ink.color);
                    break;
                }
            }
        }
        ++nRow;
    }
}

int PixelTextWidth(std::string_view text, PixelFace face, bool bBold) {
    int nWidth = 0;
    for (char ch : text) {
        if (const Glyph* pGlyph = FindGlyph(ch, face)) {
            nWidth += (nWidth > 0 ? 1 : 0) + GlyphWidth(*pGlyph) + (bBold ? 1 : 0);
        }
    }
    return nWidth;
}

int DrawPixelText(QPainter& painter, int x, int y, std::string_view text, PixelFace face,
                  bool bBold, const QColor& color) {
    const int nFaceHeight = FaceHeight(face);
    bool bFirst = true;
    for (char ch : text) {
        const Glyph* pGlyph = FindGlyph(ch, face);
        if (!pGlyph) {
            continue;
        }
        if (!bFirst) {
            ++x;
        }
        bFirst = false;
        // Shorter letters stand on the same baseline as the tallest.
        int nRow = nFaceHeight - GlyphHeight(*pGlyph);
        int nCol = 0;
        for (char cPixel : pGlyph->rows) {
            if (cPixel == '|') {
                ++nRow;
                nCol = 0;
                continue;
            }
            if (cPixel == '#') {
                painter.fillRect(x + nCol, y + nRow, bBold ? 2 : 1, 1, color);
            }
            ++nCol;
        }
        x += GlyphWidth(*pGlyph) + (bBold ? 1 : 0);
    }
    return x;
}
