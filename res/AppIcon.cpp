#include <QLinearGradient>
#include <QPainter>

#include "ConnectorShape.h"
#include "KeyedImage.h"
#include "Pictures.h"
#include "PixelArt.h"

namespace {

// At 16 pixels a scaled drawing blurs into a blob: the small icon is drawn pixel by pixel.
QImage DrawSmallAppIcon() {
    QImage canvas = NewCanvas(QSize(16, 16));
    QPainter painter(&canvas);
    DrawSprite(painter, 0, 0,
               {"................",  //
                ".AAAAAAAAAAAAA..",  //
                "AAAAAAAAAAAAAAA.",  //
                "BBBBBBBBBBBBBBB.",  //
                "BkkkkkkkkkkkkkB.",  //
                "BkWpWpWpWpWpWkB.",  //
                "CCkWWWWWWWWWkCC.",  //
                "CCkwpwpwpwpwkCC.",  //
                "DDDkkkkkkkkkDDD.",  //
                "DDDDDDDDDDDDDDD.",  //
                "EEEEvvvEEvvvEEE.",  //
                "EEEEvEvEEvEvEEE.",  //
                "FvvvvEvvvvEvvvF.",  //
                "FFFFFFFFFFFFFFF.",  //
                "GGGGGGGGGGGGGGG.",  //
                ".GGGGGGGGGGGGG.."},
               {{'A', QColor(226, 60, 54)},
                {'B', QColor(212, 50, 46)},
                {'C', QColor(198, 40, 38)},
                {'D', QColor(184, 32, 32)},
                {'E', QColor(170, 26, 28)},
                {'F', QColor(156, 20, 22)},
                {'G', QColor(140, 14, 18)},
                {'k', QColor(70, 8, 10)},
                {'W', QColor(255, 255, 255)},
                {'w', QColor(220, 220, 226)},
                {'p', QColor(90, 12, 14)},
                {'v', QColor(255, 236, 230)}});
    painter.end();
    return canvas;
}

}  // namespace

QImage DrawAppIcon(int nSize) {
    if (nSize == 16) {
        return DrawSmallAppIcon();
    }
    QImage canvas = NewCanvas(QSize(nSize, nSize));
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = nSize;

    // A red tile, the colour of the about picture.
    QLinearGradient tile(0, 0, 0, s);
    tile.setColorAt(0.0, QColor(228, 62, 56));
    tile.setColorAt(1.0, QColor(140, 14, 18));
    painter.setPen(QPen(QColor(96, 8, 10), qMax(1.0, s / 32)));
    painter.setBrush(tile);
    const qreal dEdge = qMax(0.5, s / 64);
    painter.drawRoundedRect(QRectF(dEdge, dEdge, s - 2 * dEdge, s - 2 * dEdge), s * 0.2, s * 0.2);

    // The connector face: a pale shell with nine dark pin holes.
    const QRectF shell(s * 0.14, s * 0.24, s * 0.72, s * 0.4);
    QLinearGradient metal(0, shell.top(), 0, shell.bottom());
    metal.setColorAt(0.0, QColor(255, 255, 255));
    metal.setColorAt(1.0, QColor(214, 214, 220));
    painter.setPen(
        QPen(QColor(70, 8, 10), qMax(1.0, s / 24), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(metal);
    painter.drawPath(DsubShell(shell));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(90, 12, 14));
    const qreal dPin = qMax(0.8, s * 0.045);
    for (const QPointF& pin : DsubPins(shell)) {
        painter.drawEllipse(pin, dPin, dPin);
    }

    // A serial waveform under the connector, where there is room for it.
    if (nSize >= 24) {
        painter.setPen(QPen(QColor(255, 236, 230), qMax(1.0, s / 28), Qt::SolidLine, Qt::SquareCap,
                            Qt::MiterJoin));
        painter.setBrush(Qt::NoBrush);
        const qreal dLow = s * 0.84;
        const qreal dHigh = s * 0.73;
        const qreal dSteps[] = {0.14, 0.26, 0.36, 0.5, 0.6, 0.72, 0.86};
        QPolygonF wave;
        qreal dLevel = dLow;
        wave << QPointF(s * dSteps[0], dLevel);
        for (int i = 1; i < 7; ++i) {
            wave << QPointF(s * dSteps[i], dLevel);
            if (i < 6) {
                dLevel = dLevel == dLow ? dHigh : dLow;
                wave << QPointF(s * dSteps[i], dLevel);
            }
        }
        painter.drawPolyline(wave);
    }
    painter.end();
    return canvas;
}
