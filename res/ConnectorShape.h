// Internal to res/: the outline of a 9-pin D-sub connector face, shared by the application icon
// and the about picture.
#pragma once
#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <vector>

// The D-shaped shell inside rect: wide edge at the top, sides slanting in, corners rounded.
QPainterPath DsubShell(const QRectF& rect);
// Centres of the nine pins in a shell drawn in rect: five in the upper row, four below.
std::vector<QPointF> DsubPins(const QRectF& rect);
