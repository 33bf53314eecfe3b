#include <QPainter>
#include <QRadialGradient>

#include "KeyedImage.h"
#include "Pictures.h"
#include "PixelArt.h"

namespace {

constexpr int kLampWidth = 48;
constexpr int kLampHeight = 16;
// The names as the pictures show them: RING is "RI", as on a connector's pin list.
constexpr const char* kLineNames[] = {"RI", "CD", "CTS", "DSR"};
const QColor kNameColour(128, 0, 0);  // dark red

// A shaded ball lit from the upper left: a dark rim, the body colour, a soft highlight.
void DrawBall(QPainter& painter, const QRectF& rect, const QColor& light, const QColor& body,
              const QColor& rim) {
    QRadialGradient shade(rect.center() + QPointF(-rect.width() * 0.18, -rect.height() * 0.2),
                          rect.width() * 0.62);
    shade.setColorAt(0.0, light);
    shade.setColorAt(0.45, body);
    shade.setColorAt(1.0, rim);
    painter.setPen(QPen(rim.darker(130), 1.0));
    painter.setBrush(shade);
    painter.drawEllipse(rect);
}

}  // namespace

QImage DrawLamp(int nLine, bool bOn) {
    QImage canvas = NewCanvas(QSize(kLampWidth, kLampHeight));
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF ball(1.5, 2.5, 11.0, 11.0);
    if (bOn) {
        DrawBall(painter, ball, QColor(255, 190, 180), QColor(230, 20, 20), QColor(130, 0, 0));
    } else {
        DrawBall(painter, ball, QColor(240, 240, 240), QColor(165, 165, 165), QColor(95, 95, 95));
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
    DrawPixelText(painter, 16, 5, kLineNames[nLine], PixelFace::kCaps7, true, kNameColour);
    painter.end();
    return FlattenOntoKey(canvas, kRgbWhiteKey);
}
