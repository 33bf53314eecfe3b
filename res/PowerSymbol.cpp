#include <QPainter>
#include <QPainterPath>

#include "KeyedImage.h"
#include "Pictures.h"

QImage DrawPowerSymbol(bool bOn) {
    QImage canvas = NewCanvas(QSize(16, 16));
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor color = bOn ? QColor(0, 165, 40) : QColor(120, 120, 120);
    painter.setPen(QPen(color, 2.0, Qt::SolidLine, Qt::RoundCap));
    // The IEC power symbol: a ring open at the top and a bar through the opening.
    const QRectF ring(3.0, 4.0, 10.0, 10.0);
    painter.drawArc(ring, 120 * 16, 300 * 16);
    painter.drawLine(QPointF(8.0, 2.0), QPointF(8.0, 8.0));
    painter.end();
    return FlattenOntoKey(canvas, kRgbWhiteKey);
}
