#include "Resources.h"

#include <QBitmap>

#include "KeyedImage.h"
#include "Pictures.h"

namespace {

constexpr int kMenuIconCount = 12;
constexpr int kMenuIconSize = 16;

QImage DrawPicture(int nId) {
    switch (nId) {
        case IDI_MAINFRAME:
            return DrawAppIcon(32);
        case IDB_ABOUT_SIDE:
            return DrawAboutSide();
        case IDB_POWER_ON:
        case IDB_POWER_OFF:
            return DrawPowerSymbol(nId == IDB_POWER_ON);
        case IDB_RING_OFF:
        case IDB_RING_ON:
        case IDB_CD_OFF:
        case IDB_CD_ON:
        case IDB_CTS_OFF:
        case IDB_CTS_ON:
        case IDB_DSR_OFF:
        case IDB_DSR_ON:
            // Ids run in off/on pairs: RING, CD, CTS, DSR.
            return DrawLamp((nId - IDB_RING_OFF) / 2, (nId - IDB_RING_OFF) % 2 == 1);
        case IDB_MENU_ICONS:
            return DrawMenuIconStrip();
        default:
            return {};
    }
}

// The key colour of a keyed picture; 0 for pictures without one.
QRgb KeyOf(int nId) {
    if (nId >= IDB_POWER_ON && nId <= IDB_DSR_ON) {
        return kRgbWhiteKey;
    }
    return nId == IDB_MENU_ICONS ? kRgbGreyKey : 0;
}

QPixmap Masked(const QPixmap& pixmap, QRgb rgbKey) {
    QPixmap masked = pixmap;
    masked.setMask(pixmap.createMaskFromColor(QColor::fromRgb(rgbKey), Qt::MaskInColor));
    return masked;
}

// Pictures drawn ahead of need (KeepPictures); the GUI thread's own.
std::map<int, QImage>& KeptPictures() {
    static std::map<int, QImage> mapKept;
    return mapKept;
}

}  // namespace

QPixmap LoadBitmap(int nId) {
    const auto it = KeptPictures().find(nId);
    return QPixmap::fromImage(it != KeptPictures().end() ? it->second : DrawPicture(nId));
}

std::map<int, QImage> DrawPictures(const std::vector<int>& arrIds) {
    std::map<int, QImage> mapPictures;
    for (int nId : arrIds) {
        QImage image = DrawPicture(nId);
        if (!image.isNull()) {
            mapPictures.emplace(nId, std::move(image));
        }
    }
    return mapPictures;
}

void KeepPictures(std::map<int, QImage> mapPictures) {
    mapPictures.merge(KeptPictures());
    KeptPictures() = std::move(mapPictures);
}

QPixmap LoadMaskedBitmap(int nId) {
    QPixmap pixmap = LoadBitmap(nId);
    const QRgb rgbKey = KeyOf(nId);
    return pixmap.isNull() || rgbKey == 0 ? pixmap : Masked(pixmap, rgbKey);
}

QIcon MenuIcon(int nIndex) {
    if (nIndex < 0 || nIndex >= kMenuIconCount) {
        return {};
    }
    const QPixmap strip = LoadBitmap(IDB_MENU_ICONS);
    const QPixmap one = strip.copy(nIndex * kMenuIconSize, 0, kMenuIconSize, kMenuIconSize);
    return QIcon(Masked(one, kRgbGreyKey));
}

QIcon AppIcon() {
    return AppIcon(AppIconImages());
}

QIcon AppIcon(const std::vector<QImage>& arrImages) {
    QIcon icon;
    for (const QImage& image : arrImages) {
        icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

std::vector<QImage> AppIconImages() {
    std::vector<QImage> arrImages;
    for (int nSize : {16, 24, 32, 48, 64, 128}) {
        arrImages.push_back(DrawAppIcon(nSize));
    }
    return arrImages;
}
