// The flat button's pictures: the transparent key colour and the grey and darker copies.
#include "FlatButton.h"

#include "Resources.h"

namespace {

// The colour without its alpha byte.
constexpr QRgb kRgbMask = 0x00FFFFFF;

bool IsKey(QRgb rgb, const QColor& crKey) {
    return (rgb & kRgbMask) == (crKey.rgb() & kRgbMask);
}

// Every pixel that is not of the key colour through fnMap; the result is opaque RGB.
template <typename Map>
QImage MapPixels(const QImage& img, const QColor& crKey, Map fnMap) {
    QImage out = img.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < out.height(); ++y) {
        QRgb* pLine = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            if (!IsKey(pLine[x], crKey)) {
                pLine[x] = fnMap(pLine[x]);
            }
        }
    }
    return out;
}

// The picture with its key colour made fully transparent; null when it cannot be allocated.
QPixmap Masked(const QImage& img, const QColor& crKey) {
    QImage out = img.convertToFormat(QImage::Format_ARGB32);
    if (out.isNull()) {
        return {};
    }
    for (int y = 0; y < out.height(); ++y) {
        QRgb* pLine = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            pLine[x] = IsKey(pLine[x], crKey) ? 0 : (pLine[x] | 0xFF000000);
        }
    }
    return QPixmap::fromImage(out);
}
}  // namespace

int CFlatButton::SetImages(int nIdIn, const QColor& crIn, int nIdOut, const QColor& crOut) {
    if (nIdIn == IMAGE_NONE) {
        ReleaseImages();
        update();
        return IMAGES_OK;
    }
    const QImage imgIn = LoadBitmap(nIdIn).toImage();
    switch (nIdOut) {
        case IMAGE_GREY:
            return SetImages(imgIn, crIn, MakeGreyImage(imgIn, crIn), crIn);
        case IMAGE_DARK:
            return SetImages(imgIn, crIn, MakeDarkImage(imgIn, crIn), crIn);
        case 0:
            return SetImages(imgIn, crIn);
        default:
            return SetImages(imgIn, crIn, LoadBitmap(nIdOut).toImage(), crOut);
    }
}

int CFlatButton::SetImages(const QImage& imgIn, const QColor& crIn, const QImage& imgOut,
                           const QColor& crOut) {
    ReleaseImages();
    update();
    if (imgIn.isNull()) {
        return IMAGES_OK;
    }
    m_arrBitmaps[0] = Masked(imgIn, crIn);
    if (!imgOut.isNull()) {
        m_arrBitmaps[1] = Masked(imgOut, crOut);
    }
    if (m_arrBitmaps[0].isNull() || (!imgOut.isNull() && m_arrBitmaps[1].isNull())) {
        ReleaseImages();
        return IMAGES_NO_MASK;
    }
    return IMAGES_OK;
}

void CFlatButton::SetIcons(const QPixmap& pixIn, const QPixmap& pixOut) {
    m_arrIcons = {pixIn, pixIn.isNull() ? QPixmap() : pixOut};
    update();
}

void CFlatButton::ReleaseImages() {
    m_arrIcons = {};
    m_arrBitmaps = {};
}

QImage CFlatButton::MakeGreyImage(const QImage& img, const QColor& crKey) {
    return MapPixels(img, crKey, [](QRgb rgb) {
        // Extended precision, in this order, so that the result is the same on every machine.
        const int nGrey =
            static_cast<int>(qGreen(rgb) * 0.587L + qBlue(rgb) * 0.114L + qRed(rgb) * 0.299L);
        return qRgb(nGrey, nGrey, nGrey);
    });
}

QImage CFlatButton::MakeDarkImage(const QImage& img, const QColor& crKey) {
    return MapPixels(img, crKey, [](QRgb rgb) {
        const auto scale = [](int c) { return static_cast<int>(c - c * 0.25); };
        return qRgb(scale(qRed(rgb)), scale(qGreen(rgb)), scale(qBlue(rgb)));
    });
}
