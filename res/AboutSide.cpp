#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <cmath>
#include <iterator>

#include "ConnectorShape.h"
#include "Pictures.h"

namespace {

constexpr int kWidth = 102;
constexpr int kHeight = 350;

// A mounting screw seen from the front: a hex nut around a threaded hole.
void DrawScrew(QPainter& painter, QPointF centre) {
    QPolygonF hex;
    for (int i = 0; i < 6; ++i) {
        const qreal dAngle = (60.0 * i + 30.0) * M_PI / 180.0;
        hex << centre + QPointF(6.0 * std::cos(dAngle), 6.0 * std::sin(dAngle));
    }
    QLinearGradient steel(centre - QPointF(6, 6), centre + QPointF(6, 6));
    steel.setColorAt(0.0, QColor(250, 250, 252));
    steel.setColorAt(1.0, QColor(130, 132, 140));
    painter.setPen(QPen(QColor(60, 60, 66), 1.0));
    painter.setBrush(steel);
    painter.drawPolygon(hex);
    painter.setBrush(QColor(40, 40, 46));
    painter.drawEllipse(centre, 2.6, 2.6);
}

// The front of a male 9-pin D-sub connector: flange, screws, shell, insulator and pins.
void DrawConnector(QPainter& painter, const QRectF& flange) {
    QLinearGradient plate(0, flange.top(), 0, flange.bottom());
    plate.setColorAt(0.0, QColor(246, 246, 250));
    plate.setColorAt(0.5, QColor(196, 198, 206));
    plate.setColorAt(1.0, QColor(150, 152, 162));
    painter.setPen(QPen(QColor(70, 20, 24), 1.0));
    painter.setBrush(plate);
    painter.drawRoundedRect(flange, 3.0, 3.0);

    DrawScrew(painter, QPointF(flange.left() + 8.5, flange.center().y()));
    DrawScrew(painter, QPointF(flange.right() - 8.5, flange.center().y()));

    const QRectF shell(flange.center().x() - 30.0, flange.top() + 6.0, 60.0, flange.height() - 12);
    QLinearGradient metal(0, shell.top(), 0, shell.bottom());
    metal.setColorAt(0.0, QColor(120, 122, 132));
    metal.setColorAt(1.0, QColor(236, 236, 242));
    painter.setPen(QPen(QColor(55, 55, 62), 1.0));
    painter.setBrush(metal);
    painter.drawPath(DsubShell(shell));

    const QRectF insulator = shell.adjusted(3.0, 3.0, -3.0, -3.0);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(34, 38, 52));
    painter.drawPath(DsubShell(insulator));

    for (const QPointF& pin : DsubPins(insulator)) {
        QRadialGradient gold(pin - QPointF(0.8, 0.8), 3.2);
        gold.setColorAt(0.0, QColor(255, 244, 190));
        gold.setColorAt(0.6, QColor(222, 172, 60));
        gold.setColorAt(1.0, QColor(140, 96, 20));
        painter.setBrush(gold);
        painter.drawEllipse(pin, 2.6, 2.6);
    }
}

// A serial frame as it looks on a scope: start bit, eight data bits, stop bit, drawn downwards.
void DrawWaveform(QPainter& painter, qreal dX, qreal dTop, qreal dBottom) {
    const bool bits[] = {true,  false, true, false, false, false, false, true,
                         false, true,  true, true,  false, true,  true,  false};
    const qreal dStep = (dBottom - dTop) / std::size(bits);
    QPolygonF wave;
    qreal dLevel = dX;
    wave << QPointF(dLevel, dTop);
    for (size_t i = 0; i < std::size(bits); ++i) {
        const qreal dNewLevel = bits[i] ? dX : dX + 7.0;
        const qreal dY = dTop + i * dStep;
        if (dNewLevel != dLevel) {
            wave << QPointF(dLevel, dY) << QPointF(dNewLevel, dY);
            dLevel = dNewLevel;
        }
    }
    wave << QPointF(dLevel, dBottom);
    painter.setPen(
        QPen(QColor(255, 200, 190, 150), 1.4, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPolyline(wave);
}

}  // namespace

QImage DrawAboutSide() {
    QImage img(QSize(kWidth, kHeight), QImage::Format_RGB32);
    QPainter painter(&img);
    painter.setRenderHint(QPainter::Antialiasing);

    QLinearGradient red(0, 0, kWidth * 0.4, kHeight);
    red.setColorAt(0.0, QColor(206, 36, 40));
    red.setColorAt(0.55, QColor(150, 16, 22));
    red.setColorAt(1.0, QColor(80, 6, 10));
    painter.fillRect(img.rect(), red);
    // A faint sheen across the top, and a darker seam at the right edge next to the dialog.
    QLinearGradient sheen(0, 0, 0, 150);
    sheen.setColorAt(0.0, QColor(255, 255, 255, 46));
    sheen.setColorAt(1.0, QColor(255, 255, 255, 0));
    painter.fillRect(QRectF(0, 0, kWidth, 150), sheen);
    painter.fillRect(QRectF(kWidth - 2, 0, 2, kHeight), QColor(70, 4, 8));

    DrawConnector(painter, QRectF(4.5, 40.5, 92.0, 44.0));

    DrawWaveform(painter, 14.0, 118.0, 330.0);

    // The product name, reading upwards along the lower part of the picture.
    QFont font("DejaVu Sans");
    font.setPixelSize(50);
    font.setBold(true);
    painter.setFont(font);
    painter.translate(66.0, 330.0);
    painter.rotate(-90.0);
    const QRectF band(0, -32.0, 210.0, 64.0);
    painter.setPen(QColor(60, 0, 4, 120));
    painter.drawText(band.translated(1.5, 1.5), Qt::AlignLeft | Qt::AlignVCenter, "diVE");
    painter.setPen(QColor(255, 244, 240));
    painter.drawText(band, Qt::AlignLeft | Qt::AlignVCenter, "diVE");
    painter.end();
    return img;
}
