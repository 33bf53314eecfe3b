// Internal to res/: small pictures and letters given as rows of characters, drawn pixel by pixel.
// Pixel text looks the same everywhere, unlike an installed font at 7 pixels.
#pragma once
#include <QColor>
#include <QPainter>
#include <initializer_list>
#include <string_view>

// One colour of a sprite: rows use cInk for it; any character without an ink is left untouched.
struct Ink {
    char cInk;
    QColor color;
};

// Draws rows (all of one length) with their top-left corner at (x, y).
void DrawSprite(QPainter& painter, int x, int y, std::initializer_list<std::string_view> rows,
                std::initializer_list<Ink> inks);

// A bitmap font of 7-pixel capitals (C D G I N R S T and a few more), digits 3 x 5 pixels high
// for small labels, and the two icon letters 'A' (large) and 'a'. Bold doubles every stroke one
// pixel to the right. Letters that the font lacks are skipped.
enum class PixelFace { kCaps7, kDigits5, kIconLetters };
int PixelTextWidth(std::string_view text, PixelFace face, bool bBold);
// Draws text with its top-left corner at (x, y); returns the x after the last letter.
int DrawPixelText(QPainter& painter, int x, int y, std::string_view text, PixelFace face,
                  bool bBold, const QColor& color);
