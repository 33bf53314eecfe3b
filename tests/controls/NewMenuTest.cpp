// The skinned menu: measuring, colour mixes, shared icon sets, and what its items and frame show.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPainter>

#include "NewMenu.h"

namespace {

constexpr QRgb kKey = qRgb(192, 192, 192);
const std::vector<std::uint16_t> kTable = {500, 8, 8, 11, 12, 0};

// Two 8 x 8 icons on the key colour: a red square with a key-coloured corner, a blue square.
QImage Strip() {
    QImage img(16, 8, QImage::Format_RGB32);
    img.fill(kKey);
    QPainter painter(&img);
    painter.fillRect(1, 1, 6, 6, QColor(200, 40, 40));
    painter.fillRect(9, 1, 6, 6, QColor(40, 40, 200));
    return img;
}

int g_nLoads = 0;
QImage CountingLoader(int nId) {
    ++g_nLoads;
    return nId == 500 ? Strip() : QImage();
}

QColor Pixel(const QImage& img, const QPoint& pt) {
    return img.pixelColor(pt);
}

// The menu as painted, after QMenu has laid it out.
QImage Painted(CNewMenu& menu) {
    menu.resize(menu.sizeHint());
    return menu.grab().toImage();
}

}  // namespace

TEST(NewMenuTest, ColourMixesRoundLikeMulDiv) {
    struct SRow {
        QColor got, want;
    };
    const QColor crFace(212, 208, 200);
    const SRow rows[] = {
        {Mix86(Qt::white, Qt::black), QColor(219, 219, 219)},
        {Mix86(Qt::white, crFace), QColor(249, 248, 247)},
        {Mix70(Qt::white, QColor(49, 106, 197)), QColor(194, 211, 238)},
        {Darken(50, Qt::white), QColor(205, 205, 205)},
        {Darken(128, crFace), QColor(106, 104, 100)},
    };
    for (const SRow& row : rows) {
        EXPECT_EQ(row.got.rgb(), row.want.rgb()) << row.want.name().toStdString();
    }
    EXPECT_EQ(MulDiv(7, 1, 2), 4);
    EXPECT_EQ(MulDiv(-7, 1, 2), -4);
    EXPECT_EQ(MulDiv(1, 1, 0), -1);
}

TEST(NewMenuTest, MeasuresSeparatorsSubmenusAndTheDefaultItemInBold) {
    CNewMenu menu;
    QAction* pPlain = menu.AppendMenu(MF_STRING, 10, "MWMW");
    QAction* pSeparator = menu.AppendMenu(MF_SEPARATOR, 0, {});
    QAction* pDefault = menu.AppendMenu(MF_DEFAULT, 11, "MWMW");
    QAction* pSub = menu.AppendPopup("MWMW")->menuAction();
    const QSize szPlain = menu.MeasureItem(pPlain);

    EXPECT_EQ(menu.MeasureItem(pSeparator), QSize(3, 3));
    EXPECT_EQ(menu.MeasureItem(pSub).width() - szPlain.width(), menu.Style().CyMenu() / 2);
    QFont bold = menu.font();
    bold.setWeight(QFont::Bold);
    const int nBoldExtra = QFontMetrics(bold).horizontalAdvance("MWMW") -
                           QFontMetrics(menu.font()).horizontalAdvance("MWMW");
    ASSERT_GT(nBoldExtra, 0);
    EXPECT_EQ(menu.MeasureItem(pDefault).width() - szPlain.width(), nBoldExtra);
    EXPECT_EQ(menu.defaultAction(), pDefault);
    // An icon of 16 x 15 (the default size) makes items 22 high unless the font is taller.
    EXPECT_EQ(szPlain.height(), std::max(22, QFontMetrics(menu.font()).height()));
}

TEST(NewMenuTest, IconSetsAreSharedByTableAndKeyColour) {
    g_nLoads = 0;
    const int nSetsBefore = CNewMenuIcons::SetCount();
    CNewMenu first;
    CNewMenu second;
    QAction* pFirst = first.AppendMenu(MF_STRING, 12, "b");
    QAction* pSecond = second.AppendMenu(MF_STRING, 12, "b");
    QAction* pNone = second.AppendMenu(MF_STRING, 13, "c");
    ASSERT_TRUE(first.LoadToolBar(kTable, kKey, CountingLoader));
    ASSERT_TRUE(second.LoadToolBar(kTable, kKey, CountingLoader));
    EXPECT_EQ(g_nLoads, 1);
    EXPECT_EQ(CNewMenuIcons::SetCount(), nSetsBefore + 1);
    const auto& pSet = first.ItemData(pFirst)->m_pIcons;
    EXPECT_EQ(pSet, second.ItemData(pSecond)->m_pIcons);
    EXPECT_EQ(first.ItemData(pFirst)->m_nIconIndex, 1);
    EXPECT_EQ(second.ItemData(pNone)->m_nIconIndex, -1);
    EXPECT_EQ(first.IconSize(), QSize(16, 15)) << "8 x 8 icons do not shrink the icon size";

    // Three images per icon: the key made transparent, a darkened and a disabled copy.
    ASSERT_EQ(pSet->IconCount(), 2);
    EXPECT_EQ(pSet->Image(0, CNewMenuIcons::IMAGE_ICON).pixelColor(0, 0).alpha(), 0);
    const QColor crRed = pSet->Image(0, CNewMenuIcons::IMAGE_ICON).pixelColor(3, 3);
    EXPECT_EQ(crRed, QColor(200, 40, 40));
    EXPECT_EQ(pSet->Image(0, CNewMenuIcons::IMAGE_DARK).pixelColor(3, 3), Darken(50, crRed));
    EXPECT_NE(pSet->Image(0, CNewMenuIcons::IMAGE_DISABLED).pixelColor(3, 3), crRed);

    CNewMenu other;
    other.AppendMenu(MF_STRING, 12, "b");
    ASSERT_TRUE(other.LoadToolBar(kTable, qRgb(255, 255, 255), CountingLoader));
    EXPECT_EQ(CNewMenuIcons::SetCount(), nSetsBefore + 2);
    EXPECT_FALSE(other.LoadToolBar({500, 8, 8, 11}, kKey, CountingLoader)) << "no end mark";
    EXPECT_FALSE(other.LoadToolBar({501, 8, 8, 11, 0}, kKey, CountingLoader)) << "no bitmap";
}

TEST(NewMenuTest, ItemsShowCheckMarksSelectionAndIconCopies) {
    CNewMenu menu;
    QAction* pChecked = menu.AppendMenu(MF_CHECKED, 20, "checked");
    QAction* pUnchecked = menu.AppendMenu(MF_STRING, 21, "unchecked");
    QAction* pGrayedIcon = menu.AppendMenu(MF_GRAYED, 11, "grayed");
    QAction* pIcon = menu.AppendMenu(MF_STRING, 12, "icon");
    QAction* pSelected = menu.AppendMenu(MF_STRING, 22, "selected");
    ASSERT_TRUE(menu.LoadToolBar(kTable, kKey, CountingLoader));
    menu.setActiveAction(pSelected);
    const QImage img = Painted(menu);
    const SMenuColors colors = SMenuColors::FromPalette(menu.palette(), false);

    const auto corner = [&menu](QAction* pAction) {
        return menu.actionGeometry(pAction).topLeft() + QPoint(4, 3);
    };
    EXPECT_EQ(Pixel(img, corner(pChecked)), Mix86(colors.IconColumn(), colors.crHighlight));
    EXPECT_EQ(Pixel(img, corner(pUnchecked)), colors.IconColumn());
    const QRect rcSelected = menu.actionGeometry(pSelected);
    EXPECT_EQ(Pixel(img, rcSelected.topLeft()), colors.SelectionFrame());
    EXPECT_EQ(Pixel(img, {rcSelected.right() - 3, rcSelected.center().y()}),
              colors.SelectionFill());
    EXPECT_EQ(Pixel(img, menu.actionGeometry(pUnchecked).bottomRight() - QPoint(3, 3)),
              colors.TextArea());

    // Icons sit 3 pixels into the column (plus half of what they lack of the icon size), centred.
    const struct {
        QAction* pAction;
        int nIcon;
        CNewMenuIcons::EImage kind;
    } rows[] = {{pGrayedIcon, 0, CNewMenuIcons::IMAGE_DISABLED},
                {pIcon, 1, CNewMenuIcons::IMAGE_DARK}};
    for (const auto& row : rows) {
        const CNewMenuIcons& set = *menu.ItemData(row.pAction)->m_pIcons;
        const QRect rcItem = menu.actionGeometry(row.pAction);
        const QPoint ptIcon(rcItem.left() + 3 + 4, rcItem.top() + (rcItem.height() - 8) / 2);
        EXPECT_EQ(Pixel(img, ptIcon + QPoint(3, 3)),
                  set.Image(row.nIcon, row.kind).pixelColor(3, 3))
            << row.kind;
    }
}

TEST(NewMenuTest, FrameMakesRoomForItsOwnShadowOnlyWhereTheSystemDrawsNone) {
    struct SRow {
        int nSystemShadows;
        QMargins margins;
    };
    for (const SRow& row : {SRow{1, {2, 2, 1, 2}}, SRow{0, {2, 2, 5, 6}}}) {
        CNewMenu::OverrideSystemShadows(row.nSystemShadows);
        CNewMenu menu;
        QAction* pItem = menu.AppendMenu(MF_STRING, 1, "item");
        const QImage img = Painted(menu);
        const QRect rcItem = menu.actionGeometry(pItem);
        EXPECT_EQ(rcItem.topLeft(), QPoint(2, 2)) << row.nSystemShadows;
        EXPECT_EQ(menu.width() - rcItem.right() - 1, row.margins.right());
        EXPECT_EQ(menu.height() - rcItem.bottom() - 1, row.margins.bottom());
        const SMenuColors colors = SMenuColors::FromPalette(menu.palette(), false);
        EXPECT_EQ(Pixel(img, {0, 0}), colors.Border());
        if (row.nSystemShadows == 0) {
            // Nothing was grabbed beneath the window here: the shadow darkens the menu colour,
            // the outermost line by 30, after 4 untouched and 4 fading pixels.
            EXPECT_EQ(Pixel(img, {img.width() - 1, 1}), colors.crMenu);
            EXPECT_EQ(Pixel(img, {img.width() - 1, 10}), Darken(30, colors.crMenu));
            EXPECT_EQ(Pixel(img, {10, img.height() - 4}), Darken(120, colors.crMenu));
        }
    }
    CNewMenu::OverrideSystemShadows(-1);
    QMenu plain;
    EXPECT_EQ(plain.style(), QApplication::style()) << "plain menus keep the platform's look";
}
