#include "NewMenuIcons.h"

#include "MenuStyle.h"

namespace {

// Kept until the end of the program; the images are QImages, which need no running application.
std::vector<std::shared_ptr<CNewMenuIcons>>& Sets() {
    static std::vector<std::shared_ptr<CNewMenuIcons>> arrSets;
    return arrSets;
}

// Words 3.. up to the terminating 0: the commands; a table without its end is malformed.
bool IsWellFormed(const std::vector<std::uint16_t>& arrTable) {
    return arrTable.size() >= 4 && arrTable[1] > 0 && arrTable[2] > 0 && arrTable.back() == 0;
}

QImage Transformed(const QImage& imgIcon, const std::function<QColor(const QColor&)>& fnPixel) {
    QImage img = imgIcon;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            const QColor c = img.pixelColor(x, y);
            if (c.alpha() != 0) {
                img.setPixelColor(x, y, fnPixel(c));
            }
        }
    }
    return img;
}

}  // namespace

CNewMenuIcons::CNewMenuIcons(std::vector<std::uint16_t> arrTable, QRgb crTransparent)
    : m_arrTable(std::move(arrTable)), m_crTransparent(crTransparent) {}

std::shared_ptr<CNewMenuIcons> CNewMenuIcons::Load(const std::vector<std::uint16_t>& arrTable,
                                                   QRgb crTransparent, const BitmapLoader& fnLoad,
                                                   const QColor& crMenu) {
    if (!IsWellFormed(arrTable)) {
        return nullptr;
    }
    for (const auto& pSet : Sets()) {
        if (pSet->m_arrTable == arrTable && pSet->m_crTransparent == (crTransparent | 0xFF000000)) {
            return pSet;
        }
    }
    std::shared_ptr<CNewMenuIcons> pSet(new CNewMenuIcons(arrTable, crTransparent | 0xFF000000));
    if (!pSet->Build(fnLoad(arrTable[0]), crMenu)) {
        return nullptr;
    }
    Sets().push_back(pSet);
    return pSet;
}

int CNewMenuIcons::SetCount() {
    return static_cast<int>(Sets().size());
}

int CNewMenuIcons::FindIndex(int nCommand) const {
    for (std::size_t i = 3; i + 1 < m_arrTable.size(); ++i) {
        if (m_arrTable[i] == nCommand) {
            return static_cast<int>(i - 3);
        }
    }
    return -1;
}

bool CNewMenuIcons::Build(const QImage& imgStrip, const QColor& crMenu) {
    m_szIcon = QSize(m_arrTable[1], m_arrTable[2]);
    const int nIcons = static_cast<int>(m_arrTable.size()) - 4;
    if (imgStrip.width() < nIcons * m_szIcon.width() || imgStrip.height() < m_szIcon.height()) {
        return false;
    }
    QImage imgKeyed = imgStrip.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < imgKeyed.height(); ++y) {
        auto* pLine = reinterpret_cast<QRgb*>(imgKeyed.scanLine(y));
        for (int x = 0; x < imgKeyed.width(); ++x) {
            if ((pLine[x] | 0xFF000000) == m_crTransparent) {
                pLine[x] = 0;
            }
        }
    }
    // Disabled: the icon's brightness carried onto a light form of the menu colour.
    const QColor crLight = Mix70(QColor(Qt::white), crMenu);
    for (int i = 0; i < nIcons; ++i) {
        const QImage imgIcon =
            imgKeyed.copy(i * m_szIcon.width(), 0, m_szIcon.width(), m_szIcon.height());
        m_arrImages.push_back(imgIcon);
        m_arrImages.push_back(Transformed(imgIcon, [](const QColor& c) { return Darken(50, c); }));
        m_arrImages.push_back(Transformed(imgIcon, [&crLight](const QColor& c) {
            const int nGray = qGray(c.rgb());
            return Darken(MulDiv(255 - nGray, 40, 100), crLight);
        }));
    }
    return true;
}
