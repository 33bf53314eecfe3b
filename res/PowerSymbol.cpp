#include <QPainter>
#include <QPainterPath>

#include "KeyedImage.h"
#include "Pictures.h"

QImage DrawPowerSymbol(bool bOn) {
    constexpr int kSize = 23;
    QImage canvas = NewCanvas(QSize(kSize, kSize));
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::Antialiasing);
    // A rounded square, green while the port is open, grey while it is closed.
    const QColor crFace = bOn ? QColor(30, 160, 60) : QColor(128, 128, 128);
    const QColor crEdge = bOn ? QColor(15, 105, 35) : QColor(90, 90, 90);
    painter.setPen(QPen(crEdge, 1.0));
    painter.setBrush(crFace);
    painter.drawRoundedRect(QRectF(1.5, 1.5, 20.0, 20.0), 3.5, 3.5);
    // The IEC power symbol in near white: a ring open at the top and a bar through the opening.
    painter.setPen(QPen(QColor(248, 248, 248), 2.2, Qt::SolidLine, Qt::RoundCap));
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(QRectF(6.0, 7.0, 11.0, 11.0), 125 * 16, 290 * 16);
    painter.drawLine(QPointF(11.5, 5.0), QPointF(11.5, 11.5));
    painter.end();
    return FlattenOntoKey(canvas, kRgbWhiteKey);
}
