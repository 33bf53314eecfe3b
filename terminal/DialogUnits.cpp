#include "DialogUnits.h"

#include <cmath>

CDialogUnits::CDialogUnits(double dLogicalDpi)
    : m_dScale(dLogicalDpi > 0 ? dLogicalDpi / 96.0 : 1.0) {}

int CDialogUnits::ToPixelsX(int nDlu) const {
    return static_cast<int>(std::lround(nDlu * kBaseUnitX * m_dScale / 4.0));
}

int CDialogUnits::ToPixelsY(int nDlu) const {
    return static_cast<int>(std::lround(nDlu * kBaseUnitY * m_dScale / 8.0));
}

QRect CDialogUnits::ToPixels(const QRect& rcDlu) const {
    const int nLeft = ToPixelsX(rcDlu.x());
    const int nTop = ToPixelsY(rcDlu.y());
    const int nRight = ToPixelsX(rcDlu.x() + rcDlu.width());
    const int nBottom = ToPixelsY(rcDlu.y() + rcDlu.height());
    return QRect(nLeft, nTop, nRight - nLeft, nBottom - nTop);
}

QSize CDialogUnits::ToPixels(const QSize& sizeDlu) const {
    return QSize(ToPixelsX(sizeDlu.width()), ToPixelsY(sizeDlu.height()));
}
