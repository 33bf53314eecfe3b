#include "ConnectorShape.h"

#include <QLineF>

QPainterPath DsubShell(const QRectF& rect) {
    // The narrow edge is 80% of the wide one, like the real shell.
    const qreal dInset = rect.width() * 0.1;
    const QPointF corners[4] = {rect.topLeft(), rect.topRight(),
                                QPointF(rect.right() - dInset, rect.bottom()),
                                QPointF(rect.left() + dInset, rect.bottom())};
    const qreal dRadius = rect.height() * 0.22;
    QPainterPath path;
    for (int i = 0; i < 4; ++i) {
        const QPointF& prev = corners[(i + 3) % 4];
        const QPointF& corner = corners[i];
        const QPointF& next = corners[(i + 1) % 4];
        const QLineF toPrev(corner, prev);
        const QLineF toNext(corner, next);
        const QPointF start = toPrev.pointAt(dRadius / toPrev.length());
        const QPointF end = toNext.pointAt(dRadius / toNext.length());
        if (i == 0) {
            path.moveTo(start);
        } else {
            path.lineTo(start);
        }
        path.quadTo(corner, end);
    }
    path.closeSubpath();
    return path;
}

std::vector<QPointF> DsubPins(const QRectF& rect) {
    std::vector<QPointF> pins;
    const qreal dPitch = rect.width() * 0.17;
    const qreal dCentre = rect.center().x();
    for (int i = 0; i < 5; ++i) {
        pins.emplace_back(dCentre + (i - 2) * dPitch, rect.top() + rect.height() * 0.32);
    }
    for (int i = 0; i < 4; ++i) {
        pins.emplace_back(dCentre + (i - 1.5) * dPitch, rect.top() + rect.height() * 0.7);
    }
    return pins;
}
