// Internal to res/: turning pictures drawn with real transparency into colour-keyed pictures.
#pragma once
#include <QImage>
#include <QSize>

// A transparent canvas (premultiplied ARGB) to draw a picture on.
QImage NewCanvas(QSize size);
// The canvas on an opaque key-colour background: a pixel at least half covered keeps its own
// colour at full strength, any other pixel becomes the key. No pixel of the picture ends up equal
// to the key by accident (such a pixel is moved one step away from it), so masking the key removes
// exactly the background and leaves no blended fringe.
QImage FlattenOntoKey(const QImage& canvas, QRgb rgbKey);
// The key colours of the keyed pictures.
constexpr QRgb kRgbWhiteKey = 0xFFFFFFFF;
constexpr QRgb kRgbGreyKey = 0xFFC0C0C0;
