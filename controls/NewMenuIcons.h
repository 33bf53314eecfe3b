#pragma once
// CNewMenuIcons: one icon set shared by every skinned menu that loads the same command table with
// the same transparent colour. Sets stay in one list until the application ends, so a context menu
// built afresh at every opening finds the set of its previous opening.
//
// The table is a list of 16-bit words: the bitmap id of a horizontal strip of icons, the icon width
// and height, then one command number per icon of the strip, ended by 0. A set keeps three images
// per icon, icon k at 3k: the icon itself (the transparent colour made transparent), a darkened
// copy (every pixel Darken(50)) and a disabled copy (pale, tinted toward the menu colour).
#include <QColor>
#include <QImage>
#include <QSize>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class CNewMenuIcons {
public:
    enum EImage { IMAGE_ICON = 0, IMAGE_DARK = 1, IMAGE_DISABLED = 2 };
    using BitmapLoader = std::function<QImage(int nBitmapId)>;

    // The set for arrTable and crTransparent: the existing one, or a new one built from the strip
    // fnLoad gives for the table's bitmap id, its disabled copies tinted toward crMenu. Null when
    // the table is malformed or the strip is missing or too small.
    static std::shared_ptr<CNewMenuIcons> Load(const std::vector<std::uint16_t>& arrTable,
                                               QRgb crTransparent, const BitmapLoader& fnLoad,
                                               const QColor& crMenu);
    // How many sets are held (for the reuse rule).
    static int SetCount();

    // The index of nCommand's icon, or -1.
    int FindIndex(int nCommand) const;
    QSize IconSize() const { return m_szIcon; }
    int IconCount() const { return static_cast<int>(m_arrImages.size() / 3); }
    const QImage& Image(int nIcon, EImage kind) const { return m_arrImages[3 * nIcon + kind]; }

private:
    CNewMenuIcons(std::vector<std::uint16_t> arrTable, QRgb crTransparent);
    bool Build(const QImage& imgStrip, const QColor& crMenu);

    std::vector<std::uint16_t> m_arrTable;
    QRgb m_crTransparent;
    QSize m_szIcon;
    std::vector<QImage> m_arrImages;
};
