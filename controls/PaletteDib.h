// CPaletteDib: an 8-bit palette picture, a 256-entry colour table and one index per pixel, drawn
// exactly (no dithering). y counts from the top edge. The row stride is that of a device-
// independent bitmap, ((width x 8 + 31) / 32) x 4 bytes.
//
// A picture that could not be created (no size, or no memory) is empty: the palette and pixel
// operations on it do nothing and it draws nothing.
#pragma once
#include <QColor>
#include <QImage>
#include <cstdint>

class QPainter;

class CPaletteDib {
public:
    static constexpr int kBitsPerPixel = 8;
    static constexpr int kPaletteEntries = 256;

    // Releases what it held and makes a nWidth x nHeight picture; palette and pixels are left
    // unset. False, and empty, when a side is not positive or the memory is not there.
    bool Create(int nWidth, int nHeight);
    // The same size, palette and pixels as dibSource.
    void Clone(const CPaletteDib& dibSource);
    void Release() { m_img = QImage(); }

    // nIndex is taken modulo 256.
    void SetPaletteEntry(int nIndex, int nRed, int nGreen, int nBlue);
    // Moves every palette entry nPercent (above 100 counts as 100) toward cr; each channel becomes
    // (cr x p + entry x (100 - p)) / 100.
    void BlendPalette(const QColor& cr, int nPercent);
    void Clear(std::uint8_t byValue);
    // Ignored outside the picture.
    void SetPixelIndex(int x, int y, std::uint8_t byIndex);

    // -1 outside the picture; the colour of an entry, black when empty.
    int PixelIndex(int x, int y) const;
    QRgb PaletteEntry(int nIndex) const;
    // Draws the whole picture with its top-left corner at (x, y).
    void Draw(QPainter& painter, int x, int y) const;

    bool IsEmpty() const { return m_img.isNull(); }
    int Width() const { return m_img.width(); }
    int Height() const { return m_img.height(); }
    int RowStride() const { return IsEmpty() ? 0 : ((Width() * kBitsPerPixel + 31) / 32) * 4; }

private:
    QImage m_img;  // Format_Indexed8
};
