// Internal to res/: one drawing function per picture family. Keyed pictures come back already
// flattened onto their key colour (KeyedImage.h); the others are opaque or truly transparent.
#pragma once
#include <QImage>

// The application icon, nSize x nSize, with real transparency at its rounded corners.
QImage DrawAppIcon(int nSize);
// The about box's side picture, 102 x 350, opaque.
QImage DrawAboutSide();
// The open/close button's picture, 23 x 23: a power symbol on a green (bOn) or grey square, on
// white.
QImage DrawPowerSymbol(bool bOn);
// A status lamp, 48 x 16: ball and name, on white. nLine: 0 RING, 1 CD, 2 CTS, 3 DSR.
QImage DrawLamp(int nLine, bool bOn);
// The twelve menu icons side by side, 192 x 16, on light grey.
QImage DrawMenuIconStrip();
