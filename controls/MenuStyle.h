#pragma once
// CMenuStyle: how a skinned menu (CNewMenu) measures and draws its items and its window frame.
// This system has one style, the flat style with an icon column that paints its own frame: items
// sit on a light text area beside a darker icon column, a selected item is filled with a pale
// highlight and framed, icons are raised under the mouse and darkened otherwise, and the window
// gets a thin border and, where the window system draws none, a 4-pixel shadow of its own.
//
// Colours are mixed per channel as integers, rounding halves away from zero (MulDiv):
// Mix86(a, b) = 86 % a + 14 % b, Mix70(a, b) = 70 % a + 30 % b, Darken(n, c) = c * (255 - n) / 255.
#include <QColor>
#include <QFont>
#include <QMargins>
#include <QPalette>
#include <QSize>
#include <QString>

class QImage;
class QPainter;
class QRect;
class CNewMenuIcons;

int MulDiv(int nNumber, int nNumerator, int nDenominator);
QColor Mix86(const QColor& a, const QColor& b);
QColor Mix70(const QColor& a, const QColor& b);
QColor Darken(int n, const QColor& c);

// The system colours a menu is drawn with, taken from a palette.
struct SMenuColors {
    QColor crMenu;       // the menu's own background (the palette's window colour)
    QColor crWindow;     // the colour of text fields (base)
    QColor crHighlight;  // selection
    QColor crMenuText;
    QColor crGrayText;
    QColor crBtnFace;
    QColor crBtnShadow;
    bool bFewColors = false;  // a screen of 256 colours or fewer

    static SMenuColors FromPalette(const QPalette& palette, bool bFewColors);

    QColor TextArea() const;       // Mix86(window, menu)
    QColor IconColumn() const;     // Mix86(menu, window), button face with few colours
    QColor SelectionFill() const;  // Mix70(window, highlight), window with few colours
    QColor SelectionFrame() const { return crHighlight; }
    QColor IconShadow() const;  // the shadow under a raised icon
    QColor Border() const { return Darken(128, crMenu); }
};

// Title style bits of CNewMenuItemDataTitle.
enum : unsigned {
    MFT_TITLE_GRADIENT = 0x04,
    MFT_TITLE_SUNKEN = 0x08,
    MFT_TITLE_GROOVE = 0x10,
    MFT_TITLE_ROUNDED = 0x20,
    MFT_TITLE_CENTER = 0x40,
};

// Everything the style needs to know of one item.
struct SMenuItemLook {
    QString strText;  // display text; a tab separates the accelerator text
    QFont font;       // the menu font (made bold here for the default item)
    QSize szIcon;     // the menu's icon size (all items share it)
    bool bSeparator = false;
    bool bTitle = false;  // a separator with a caption
    unsigned nTitleFlags = 0;
    QColor crTitleText, crTitleBack, crTitleGradient;
    bool bSubmenu = false;
    bool bDefault = false;
    bool bSelected = false;
    bool bGrayed = false;
    bool bChecked = false;
    bool bRadio = false;  // checked items of an exclusive group show a bullet, not a check mark
    bool bRightToLeft = false;
    bool bShowPrefix = true;  // underline the mnemonic
    const CNewMenuIcons* pIcons = nullptr;
    int nIconIndex = -1;
};

class CMenuStyle {
public:
    explicit CMenuStyle(int nCyMenu) : m_nCyMenu(nCyMenu) {}

    // The height of one line of a menu bar, the unit of the item sizes.
    int CyMenu() const { return m_nCyMenu; }

    QSize MeasureItem(const SMenuItemLook& item) const;
    void DrawItem(QPainter& painter, const QRect& rcItem, const SMenuItemLook& item,
                  const SMenuColors& colors) const;

    // The non-client frame: 2 left and top; with the system's shadows 1 right and 2 bottom,
    // without them 5 right and 6 bottom (4 of each for the shadow drawn here).
    static QMargins FrameSizes(bool bSystemShadows);
    // Border, inner ring, the icon column continued into the frame, and (without system shadows)
    // the shadow: imgBelow holds what the screen showed beneath the window, or is null.
    void PaintFrame(QPainter& painter, const QSize& szWindow, bool bSystemShadows,
                    const QImage& imgBelow, const SMenuColors& colors) const;

    // The font of titles: Arial (or its stand-in), 16 pixels, bold.
    static QFont TitleFont();

private:
    QSize MeasureTitle(const SMenuItemLook& item) const;
    void DrawTitle(QPainter& painter, const QRect& rcItem, const SMenuItemLook& item,
                   const SMenuColors& colors) const;
    void DrawIcon(QPainter& painter, const QRect& rcColumn, const SMenuItemLook& item,
                  const SMenuColors& colors) const;
    void DrawCheck(QPainter& painter, const QRect& rcColumn, const SMenuItemLook& item,
                   const SMenuColors& colors) const;

    int m_nCyMenu;
};
