#include <QPainter>
#include <QPainterPath>

#include "KeyedImage.h"
#include "Pictures.h"
#include "PixelArt.h"

namespace {

constexpr int kIconSize = 16;
constexpr int kIconCount = 12;

const QColor kOutline(52, 56, 70);
const QColor kPaper(255, 255, 255);
const QColor kFold(214, 220, 232);
const QColor kTextLine(120, 138, 170);

// A filled box with a one-pixel outline; corners inclusive, as pixel art is counted.
void Box(QPainter& painter, int x0, int y0, int x1, int y1, const QColor& fill,
         const QColor& outline) {
    painter.fillRect(x0, y0, x1 - x0 + 1, y1 - y0 + 1, outline);
    painter.fillRect(x0 + 1, y0 + 1, x1 - x0 - 1, y1 - y0 - 1, fill);
}

void HLine(QPainter& painter, int x0, int x1, int y, const QColor& color) {
    painter.fillRect(x0, y, x1 - x0 + 1, 1, color);
}

// A sheet of paper with its top right corner folded over.
void Sheet(QPainter& painter, int x0, int y0, int x1, int y1) {
    Box(painter, x0, y0, x1, y1, kPaper, kOutline);
    painter.setCompositionMode(QPainter::CompositionMode_Clear);
    painter.fillRect(x1 - 2, y0, 3, 3, Qt::transparent);
    painter.fillRect(x1, y0 + 3, 1, 1, Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    DrawSprite(painter, x1 - 3, y0,
               {"#...",  //
                "##..",  //
                "#-#.",  //
                "####"},
               {{'#', kOutline}, {'-', kFold}});
}

void DrawCopy(QPainter& painter) {
    Sheet(painter, 1, 0, 10, 11);
    for (int y : {4, 6, 8}) {
        HLine(painter, 3, 7, y, kTextLine);
    }
    Sheet(painter, 5, 4, 14, 15);
    for (int y : {8, 10, 12}) {
        HLine(painter, 7, 12, y, kTextLine);
    }
}

void DrawFloppy(QPainter& painter) {
    const QColor body(38, 72, 160);
    Box(painter, 1, 1, 14, 14, body, QColor(20, 32, 84));
    Box(painter, 4, 1, 11, 6, QColor(210, 214, 224), QColor(20, 32, 84));
    painter.fillRect(8, 2, 2, 4, QColor(38, 72, 160));
    Box(painter, 3, 8, 12, 14, kPaper, QColor(20, 32, 84));
    HLine(painter, 5, 10, 10, QColor(200, 60, 60));
    HLine(painter, 5, 10, 12, kTextLine);
}

void DrawSelectAll(QPainter& painter) {
    Sheet(painter, 2, 0, 13, 15);
    const QColor red(214, 30, 30);
    HLine(painter, 4, 9, 3, red);
    for (int y : {5, 7, 9, 11}) {
        HLine(painter, 4, 11, y, red);
    }
    HLine(painter, 4, 8, 13, red);
}

void DrawNumberSheet(QPainter& painter) {
    Sheet(painter, 1, 0, 14, 15);
    const QColor blue(20, 60, 190);
    DrawPixelText(painter, 3, 3, "10", PixelFace::kDigits5, false, blue);
    DrawPixelText(painter, 3, 9, "010", PixelFace::kDigits5, false, blue);
}

void DrawTextColour(QPainter& painter) {
    DrawPixelText(painter, 1, 1, "Aa", PixelFace::kIconLetters, false, QColor(24, 24, 24));
    Box(painter, 0, 12, 15, 15, QColor(230, 28, 28), QColor(120, 10, 10));
}

void DrawGreenBlueLetters(QPainter& painter) {
    const int x =
        DrawPixelText(painter, 1, 3, "A", PixelFace::kIconLetters, false, QColor(0, 150, 40));
    DrawPixelText(painter, x + 1, 3, "a", PixelFace::kIconLetters, false, QColor(20, 70, 220));
}

void DrawCross(QPainter& painter) {
    DrawSprite(painter, 0, 0,
               {"................",  //
                "..kk........kk..",  //
                ".kRRk......kRRk.",  //
                ".kRRRk....kRRRk.",  //
                "..kRRRk..kRRRk..",  //
                "...kRRRkkRRRk...",  //
                "....kRRRRRRk....",  //
                ".....kRRRRk.....",  //
                ".....kRRRRk.....",  //
                "....kRRRRRRk....",  //
                "...kRRRkkRRRk...",  //
                "..kRRRk..kRRRk..",  //
                ".kRRRk....kRRRk.",  //
                ".kRRk......kRRk.",  //
                "..kk........kk..",  //
                "................"},
               {{'R', QColor(232, 32, 32)}, {'k', QColor(130, 8, 8)}});
}

void DrawColourGrid(QPainter& painter) {
    const QColor cells[9] = {{220, 30, 30}, {250, 210, 0},   {30, 170, 50},
                             {0, 190, 220}, {30, 70, 220},   {200, 40, 200},
                             {250, 140, 0}, {255, 255, 255}, {40, 40, 40}};
    painter.fillRect(1, 1, 13, 13, kOutline);
    for (int i = 0; i < 9; ++i) {
        painter.fillRect(2 + (i % 3) * 4, 2 + (i / 3) * 4, 3, 3, cells[i]);
    }
}

void DrawScissors(QPainter& painter) {
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor steel(150, 158, 172);
    painter.setPen(QPen(kOutline, 3.2, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(4.5, 1.5), QPointF(10.2, 10.0));
    painter.drawLine(QPointF(11.5, 1.5), QPointF(5.8, 10.0));
    painter.setPen(QPen(steel, 1.4, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(4.6, 1.8), QPointF(10.0, 9.6));
    painter.drawLine(QPointF(11.4, 1.8), QPointF(6.0, 9.6));
    const QColor handle(196, 24, 24);
    painter.setPen(QPen(handle, 2.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QPointF(4.2, 12.3), 2.6, 2.6);
    painter.drawEllipse(QPointF(11.8, 12.3), 2.6, 2.6);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kOutline);
    painter.drawEllipse(QPointF(8.0, 6.6), 1.2, 1.2);
    painter.setRenderHint(QPainter::Antialiasing, false);
}

void DrawPaste(QPainter& painter) {
    Box(painter, 1, 2, 11, 15, QColor(184, 124, 54), QColor(96, 58, 20));
    Box(painter, 4, 0, 8, 3, QColor(170, 178, 192), kOutline);
    Sheet(painter, 6, 5, 14, 15);
    for (int y : {9, 11, 13}) {
        HLine(painter, 8, 12, y, kTextLine);
    }
}

void DrawUndo(QPainter& painter) {
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor blue(28, 92, 200);
    QPainterPath curve;
    const QRectF circle(3.5, 3.5, 9.0, 9.0);
    curve.arcMoveTo(circle, -70.0);
    curve.arcTo(circle, -70.0, 250.0);
    painter.setPen(QPen(blue, 2.2, Qt::SolidLine, Qt::FlatCap));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(curve);
    painter.setPen(Qt::NoPen);
    painter.setBrush(blue);
    painter.drawPolygon(QPolygonF({QPointF(0.5, 7.0), QPointF(7.5, 7.0), QPointF(4.0, 12.5)}));
    painter.setRenderHint(QPainter::Antialiasing, false);
}

void DrawBin(QPainter& painter) {
    const QColor metal(140, 156, 180);
    const QColor dark(40, 48, 66);
    Box(painter, 5, 0, 10, 2, metal, dark);
    Box(painter, 1, 2, 14, 4, metal, dark);
    painter.setPen(dark);
    painter.setBrush(metal);
    painter.drawPolygon(QPolygon({QPoint(2, 5), QPoint(13, 5), QPoint(12, 15), QPoint(3, 15)}));
    for (int x : {5, 8, 10}) {
        painter.fillRect(x, 7, 1, 7, QColor(90, 104, 128));
    }
}

}  // namespace

QImage DrawMenuIconStrip() {
    QImage canvas = NewCanvas(QSize(kIconSize * kIconCount, kIconSize));
    QPainter painter(&canvas);
    void (*const draw[kIconCount])(QPainter&) = {
        DrawCopy,        DrawFloppy,     DrawSelectAll,
        DrawNumberSheet, DrawTextColour, DrawGreenBlueLetters,
        DrawCross,       DrawColourGrid, DrawScissors,
        DrawPaste,       DrawUndo,       DrawBin};
    for (int i = 0; i < kIconCount; ++i) {
        painter.save();
        painter.translate(i * kIconSize, 0);
        painter.setClipRect(0, 0, kIconSize, kIconSize);
        draw[i](painter);
        painter.restore();
    }
    painter.end();
    return FlattenOntoKey(canvas, kRgbGreyKey);
}
