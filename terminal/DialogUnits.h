#pragma once
// CDialogUnits: converts dialog units, the coordinates of a dialog template, into pixels.
//
// A dialog unit is a quarter of the average character width (horizontal) and an eighth of the
// character height (vertical) of the dialog's font. The windows were designed for a 9-point SimSun
// dialog font, whose base units at 96 dpi are 6 x 12 pixels, so one dialog unit is 1.5 pixels both
// ways. The Linux fonts have other metrics; converting with SimSun's base units keeps the designed
// proportions exactly, and scaling by the screen's logical dpi keeps them on larger screens.
#include <QRect>
#include <QSize>

class CDialogUnits {
public:
    static constexpr int kBaseUnitX = 6;   // SimSun 9 pt average character width at 96 dpi
    static constexpr int kBaseUnitY = 12;  // its character height

    explicit CDialogUnits(double dLogicalDpi = 96.0);

    int ToPixelsX(int nDlu) const;
    int ToPixelsY(int nDlu) const;
    // Edges are converted one by one, as the system converts a template, so neighbours that share
    // an edge in dialog units share it in pixels too.
    QRect ToPixels(const QRect& rcDlu) const;
    QSize ToPixels(const QSize& sizeDlu) const;

private:
    double m_dScale;
};
