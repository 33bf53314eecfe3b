#include "KeyedImage.h"

QImage NewCanvas(QSize size) {
    QImage img(size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    return img;
}

QImage FlattenOntoKey(const QImage& canvas, QRgb rgbKey) {
    const QImage src = canvas.convertToFormat(QImage::Format_ARGB32);
    QImage out(src.size(), QImage::Format_RGB32);
    for (int y = 0; y < src.height(); ++y) {
        const QRgb* pIn = reinterpret_cast<const QRgb*>(src.constScanLine(y));
        QRgb* pOut = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < src.width(); ++x) {
            QRgb rgb = pIn[x];
            if (qAlpha(rgb) < 128) {
                pOut[x] = rgbKey;
                continue;
            }
            rgb = qRgb(qRed(rgb), qGreen(rgb), qBlue(rgb));
            if (rgb == (rgbKey | 0xFF000000)) {
                // One step in blue: invisible, but no longer the key.
                const int nBlue = qBlue(rgb);
                rgb = qRgb(qRed(rgb), qGreen(rgb), nBlue > 0 ? nBlue - 1 : 1);
            }
            pOut[x] = rgb;
        }
    }
    return out;
}
