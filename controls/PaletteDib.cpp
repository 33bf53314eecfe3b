#include "PaletteDib.h"

#include <QPainter>
#include <algorithm>

bool CPaletteDib::Create(int nWidth, int nHeight) {
    Release();
    if (nWidth <= 0 || nHeight <= 0) {
        return false;
    }
    m_img = QImage(nWidth, nHeight, QImage::Format_Indexed8);
    if (m_img.isNull()) {
        return false;
    }
    m_img.setColorCount(kPaletteEntries);
    return true;
}

void CPaletteDib::Clone(const CPaletteDib& dibSource) {
    m_img = dibSource.m_img.copy();
}

void CPaletteDib::SetPaletteEntry(int nIndex, int nRed, int nGreen, int nBlue) {
    if (!IsEmpty()) {
        m_img.setColor(nIndex & 0xFF, qRgb(nRed, nGreen, nBlue));
    }
}

void CPaletteDib::BlendPalette(const QColor& cr, int nPercent) {
    if (IsEmpty()) {
        return;
    }
    const int p = std::min(nPercent, 100);
    const auto blend = [p](int nColour, int nEntry) {
        return (nColour * p + nEntry * (100 - p)) / 100;
    };
    QList<QRgb> arrColors = m_img.colorTable();
    for (QRgb& rgb : arrColors) {
        rgb = qRgb(blend(cr.red(), qRed(rgb)), blend(cr.green(), qGreen(rgb)),
                   blend(cr.blue(), qBlue(rgb)));
    }
    m_img.setColorTable(arrColors);
}

void CPaletteDib::Clear(std::uint8_t byValue) {
    if (!IsEmpty()) {
        m_img.fill(byValue);
    }
}

void CPaletteDib::SetPixelIndex(int x, int y, std::uint8_t byIndex) {
    if (x >= 0 && y >= 0 && x < Width() && y < Height()) {
        m_img.scanLine(y)[x] = byIndex;
    }
}

int CPaletteDib::PixelIndex(int x, int y) const {
    if (x >= 0 && y >= 0 && x < Width() && y < Height()) {
        return m_img.constScanLine(y)[x];
    }
    return -1;
}

QRgb CPaletteDib::PaletteEntry(int nIndex) const {
    return IsEmpty() ? qRgb(0, 0, 0) : m_img.color(nIndex & 0xFF);
}

void CPaletteDib::Draw(QPainter& painter, int x, int y) const {
    if (!IsEmpty()) {
        painter.drawImage(x, y, m_img);
    }
}
