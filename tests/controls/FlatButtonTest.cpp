// CFlatButton as a user and its dialog meet it: what it paints (read back from the widget), how it
// follows the mouse, clicks, check states, its menu and its URL.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDesktopServices>
#include <QMenu>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <memory>

#include "FlatButton.h"
#include "Resources.h"

// Receives the URLs that the desktop would open.
class CUrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> m_arrUrls;
public slots:
    void Open(const QUrl& url) { m_arrUrls.append(url); }
};

namespace {

const QColor kBack(10, 20, 200);  // the button's background in these tests
constexpr QRgb kRgbRed = 0xFFFF0000;

// A flat button of 60 x 30 on kBack.
std::unique_ptr<CFlatButton> MakeButton(const QString& strCaption = QString()) {
    auto pButton = std::make_unique<CFlatButton>();
    pButton->setText(strCaption);
    pButton->resize(60, 30);
    for (int nColor :
         {CFlatButton::COLOR_BK_IN, CFlatButton::COLOR_BK_OUT, CFlatButton::COLOR_BK_FOCUS}) {
        pButton->SetColor(nColor, kBack);
    }
    return pButton;
}

QImage Grab(QWidget& widget) {
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QImage Solid(int cx, int cy, QRgb rgb) {
    QImage img(cx, cy, QImage::Format_RGB32);
    img.fill(rgb);
    return img;
}

// The smallest rectangle holding every pixel for which fnTest holds.
QRect Bounds(const QImage& img, const std::function<bool(QRgb)>& fnTest) {
    QRect rc;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            if (fnTest(img.pixel(x, y))) {
                rc |= QRect(x, y, 1, 1);
            }
        }
    }
    return rc;
}

bool IsRed(QRgb rgb) {
    return qRed(rgb) > 150 && qGreen(rgb) < 80 && qBlue(rgb) < 80;
}

void Send(QWidget& widget, QEvent::Type type, QPoint pt, Qt::MouseButtons buttons,
          Qt::MouseButton button = Qt::NoButton) {
    QMouseEvent event(type, pt, widget.mapToGlobal(pt), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(&widget, &event);
}

void MoveTo(QWidget& widget, QPoint pt, Qt::MouseButtons buttons = Qt::NoButton) {
    Send(widget, QEvent::MouseMove, pt, buttons);
}

struct Placement {
    const char* pszName;
    int nAlign;
    const char* pszCaption;
    int nPressStyle;  // -1: not pressed
    QPoint ptImage;
    QRect rcText;  // where the caption's pixels lie
};

// A 10 x 6 picture on a 60 x 30 button, margins 3.
const Placement kPlacements[] = {
    {"LeftAlone", CFlatButton::ALIGN_IMAGE_LEFT, "", -1, {25, 12}, {}},
    {"LeftOfCaption", CFlatButton::ALIGN_IMAGE_LEFT, "A", -1, {3, 12}, {16, 0, 44, 30}},
    {"TopAlone", CFlatButton::ALIGN_IMAGE_TOP, "", -1, {25, 12}, {}},
    {"AboveCaption", CFlatButton::ALIGN_IMAGE_TOP, "A", -1, {25, 3}, {0, 6, 60, 24}},
    {"RightAloneStaysAtTheTop", CFlatButton::ALIGN_IMAGE_RIGHT, "", -1, {25, 0}, {}},
    {"RightOfCaption", CFlatButton::ALIGN_IMAGE_RIGHT, "A", -1, {47, 12}, {3, 0, 44, 30}},
    {"PressedShiftsByOneOne", CFlatButton::ALIGN_IMAGE_LEFT, "A", 0, {4, 13}, {17, 1, 43, 29}},
    {"PressStyleOneShiftsDownTwo", CFlatButton::ALIGN_IMAGE_LEFT, "", 1, {25, 14}, {}},
    {"UnknownAlignmentKeepsTheCorner", 7, "", -1, {0, 0}, {}},
};

class PlacementTest : public ::testing::TestWithParam<Placement> {};

TEST_P(PlacementTest, PutsPictureAndCaptionWhereTheAlignmentSays) {
    const Placement& row = GetParam();
    auto pButton = MakeButton(QString::fromUtf8(row.pszCaption));
    pButton->SetAlign(row.nAlign);
    pButton->SetDrawBorder(false);
    ASSERT_EQ(pButton->SetImages(Solid(10, 6, kRgbRed), Qt::white), CFlatButton::IMAGES_OK);
    if (row.nPressStyle >= 0) {
        ASSERT_EQ(pButton->SetPressOffsetStyle(row.nPressStyle), 0);
        pButton->setDown(true);
    }
    const QImage img = Grab(*pButton);
    EXPECT_EQ(Bounds(img, [](QRgb rgb) { return rgb == kRgbRed; }),
              QRect(row.ptImage, QSize(10, 6)));
    const QRect rcText = Bounds(img, [](QRgb rgb) { return rgb != kRgbRed && rgb != kBack.rgb(); });
    if (row.rcText.isEmpty()) {
        EXPECT_TRUE(rcText.isEmpty());
    } else {
        EXPECT_TRUE(row.rcText.contains(rcText))
            << rcText.x() << "," << rcText.y() << " " << rcText.width() << "x" << rcText.height();
    }
}

INSTANTIATE_TEST_SUITE_P(FlatButton, PlacementTest, ::testing::ValuesIn(kPlacements),
                         [](const auto& info) { return std::string(info.param.pszName); });

TEST(FlatButton, RefusesUnknownPressStyles) {
    auto pButton = MakeButton();
    EXPECT_EQ(pButton->SetPressOffsetStyle(2), CFlatButton::PRESS_STYLE_REFUSED);
}

TEST(FlatButton, TransparentColourLeavesTheBackground) {
    auto pButton = MakeButton();
    QImage img = Solid(12, 8, 0xFFFFFFFF);  // white frame of one pixel around red
    img.fill(Qt::white);
    for (int y = 1; y < 7; ++y) {
        for (int x = 1; x < 11; ++x) {
            img.setPixel(x, y, kRgbRed);
        }
    }
    pButton->SetImages(img, Qt::white);
    const QImage shot = Grab(*pButton);
    // The picture stands at (24, 11): its frame is background, its inside red.
    EXPECT_EQ(shot.pixel(24, 11), kBack.rgb());
    EXPECT_EQ(shot.pixel(35, 18), kBack.rgb());
    EXPECT_EQ(shot.pixel(25, 12), kRgbRed);
    EXPECT_EQ(Bounds(shot, [](QRgb rgb) { return rgb != kBack.rgb(); }), QRect(25, 12, 10, 6));
}

struct Copy {
    const char* pszName;
    QRgb rgbIn;
    QRgb rgbGrey;
    QRgb rgbDark;
};

const Copy kCopies[] = {
    {"Red", qRgb(255, 0, 0), qRgb(76, 76, 76), qRgb(191, 0, 0)},
    {"Green", qRgb(0, 255, 0), qRgb(149, 149, 149), qRgb(0, 191, 0)},
    {"Blue", qRgb(0, 0, 255), qRgb(29, 29, 29), qRgb(0, 0, 191)},
    {"Mixed", qRgb(10, 200, 30), qRgb(123, 123, 123), qRgb(7, 150, 22)},
    {"AlmostWhite", qRgb(255, 255, 254), qRgb(254, 254, 254), qRgb(191, 191, 190)},
    {"TheKeyStays", qRgb(255, 255, 255), qRgb(255, 255, 255), qRgb(255, 255, 255)},
};

class CopyTest : public ::testing::TestWithParam<Copy> {};

TEST_P(CopyTest, GreyAndDarkCopiesFollowTheirFormulas) {
    const QImage img = Solid(3, 2, GetParam().rgbIn);
    const QImage grey = CFlatButton::MakeGreyImage(img, Qt::white);
    const QImage dark = CFlatButton::MakeDarkImage(img, Qt::white);
    ASSERT_EQ(grey.size(), img.size());
    EXPECT_EQ(grey.pixel(2, 1), GetParam().rgbGrey);
    EXPECT_EQ(dark.pixel(2, 1), GetParam().rgbDark);
}

INSTANTIATE_TEST_SUITE_P(FlatButton, CopyTest, ::testing::ValuesIn(kCopies),
                         [](const auto& info) { return std::string(info.param.pszName); });

// What a lamp picture (a red ball) shows in each state: red or not.
struct Look {
    const char* pszName;
    int nOut;
    bool bHover;
    bool bDisabled;
    bool bGreyDisabled;
    bool bRed;
};

const Look kLooks[] = {
    {"GreyOutCopyWhileAway", CFlatButton::IMAGE_GREY, false, false, true, false},
    {"InPictureWhileHovered", CFlatButton::IMAGE_GREY, true, false, true, true},
    {"DarkOutCopyIsStillRed", CFlatButton::IMAGE_DARK, false, false, true, true},
    {"DisabledIsEmbossed", 0, false, true, true, false},
    {"DisabledWithoutGreyKeepsItsColours", 0, false, true, false, true},
};

class LookTest : public ::testing::TestWithParam<Look> {};

TEST_P(LookTest, ShowsTheRightPicture) {
    const Look& row = GetParam();
    auto pButton = MakeButton();
    ASSERT_EQ(pButton->SetImages(IDB_CTS_ON, Qt::white, row.nOut), CFlatButton::IMAGES_OK);
    pButton->SetGreyDisabledImage(row.bGreyDisabled);
    pButton->setEnabled(!row.bDisabled);
    if (row.bHover) {
        MoveTo(*pButton, {30, 15});
        ASSERT_TRUE(pButton->IsMouseOver());
    }
    const QImage img = Grab(*pButton);
    EXPECT_EQ(!Bounds(img, IsRed).isEmpty(), row.bRed);
}

INSTANTIATE_TEST_SUITE_P(FlatButton, LookTest, ::testing::ValuesIn(kLooks),
                         [](const auto& info) { return std::string(info.param.pszName); });

TEST(FlatButton, ReleaseCodeEmptiesTheButton) {
    auto pButton = MakeButton();
    pButton->SetImages(IDB_CTS_ON, Qt::white);
    ASSERT_FALSE(Bounds(Grab(*pButton), IsRed).isEmpty());
    EXPECT_EQ(pButton->SetImages(CFlatButton::IMAGE_NONE, Qt::white), CFlatButton::IMAGES_OK);
    EXPECT_TRUE(Bounds(Grab(*pButton), [](QRgb rgb) { return rgb != kBack.rgb(); }).isEmpty());
}

TEST(FlatButton, ClassicDefaultButtonHasABlackFrameAndRaisedEdgesInside) {
    auto pButton = MakeButton();
    pButton->SetFlat(false);
    pButton->SetDefault(true);
    const QImage img = Grab(*pButton);
    EXPECT_EQ(img.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(img.pixel(59, 29), qRgb(0, 0, 0));
    EXPECT_EQ(img.pixel(30, 1), pButton->palette().color(QPalette::Light).rgb());
    EXPECT_EQ(img.pixel(30, 28), pButton->palette().color(QPalette::Shadow).rgb());
    EXPECT_EQ(img.pixel(30, 15), kBack.rgb());
}

TEST(FlatButton, HoverShowsARaisedBorder) {
    auto pButton = MakeButton();
    EXPECT_EQ(Grab(*pButton).pixel(30, 0), kBack.rgb());
    MoveTo(*pButton, {30, 15});
    const QImage img = Grab(*pButton);
    EXPECT_EQ(img.pixel(30, 0), pButton->palette().color(QPalette::Light).rgb());
    EXPECT_EQ(img.pixel(30, 29), pButton->palette().color(QPalette::Dark).rgb());
}

struct HoverEnd {
    const char* pszName;
    std::function<void(CFlatButton&)> fnEnd;
};

const HoverEnd kHoverEnds[] = {
    {"Leaving",
     [](CFlatButton& b) {
         QEvent event(QEvent::Leave);
         QApplication::sendEvent(&b, &event);
     }},
    {"MovingOutsideWithTheButtonHeld",
     [](CFlatButton& b) {
         MoveTo(b, {70, 15}, Qt::LeftButton);
     }},
    {"LosingTheFocus",
     [](CFlatButton& b) {
         QFocusEvent event(QEvent::FocusOut);
         QApplication::sendEvent(&b, &event);
     }},
    {"Deactivation",
     [](CFlatButton& b) {
         QEvent event(QEvent::ActivationChange);
         QApplication::sendEvent(&b, &event);
     }},
    {"Disabling", [](CFlatButton& b) { b.setEnabled(false); }},
};

class HoverEndTest : public ::testing::TestWithParam<HoverEnd> {};

TEST_P(HoverEndTest, EndsTheHover) {
    auto pButton = MakeButton();
    MoveTo(*pButton, {30, 15});
    ASSERT_TRUE(pButton->IsMouseOver());
    GetParam().fnEnd(*pButton);
    EXPECT_FALSE(pButton->IsMouseOver());
}

INSTANTIATE_TEST_SUITE_P(FlatButton, HoverEndTest, ::testing::ValuesIn(kHoverEnds),
                         [](const auto& info) { return std::string(info.param.pszName); });

TEST(FlatButton, HoverStartsOnlyWhereItMay) {
    auto pButton = MakeButton();
    MoveTo(*pButton, {30, 15}, Qt::LeftButton);
    EXPECT_FALSE(pButton->IsMouseOver()) << "a drag arriving over the button";
    pButton->SetFlat(false);
    MoveTo(*pButton, {30, 15});
    EXPECT_FALSE(pButton->IsMouseOver()) << "classic look";
    pButton->SetFlat(true);
    ASSERT_EQ(QApplication::activeWindow(), nullptr);
    pButton->SetAlwaysTrack(false);
    MoveTo(*pButton, {30, 15});
    EXPECT_FALSE(pButton->IsMouseOver()) << "no active window, always track off";
    pButton->SetAlwaysTrack(true);
    MoveTo(*pButton, {30, 15});
    EXPECT_TRUE(pButton->IsMouseOver()) << "always track on";
    MoveTo(*pButton, {30, 20}, Qt::LeftButton);
    EXPECT_TRUE(pButton->IsMouseOver()) << "a press over a hovered button keeps it";
}

struct CheckRow {
    bool bCheckBox;
    int nSet;
    int nExpected;
};

class CheckTest : public ::testing::TestWithParam<CheckRow> {};

TEST_P(CheckTest, SetCheckFollowsTheButtonMessageRules) {
    auto pButton = MakeButton();
    pButton->SetCheckBox(GetParam().bCheckBox);
    pButton->SetCheck(GetParam().nSet);
    EXPECT_EQ(pButton->GetCheck(), GetParam().nExpected);
}

INSTANTIATE_TEST_SUITE_P(FlatButton, CheckTest,
                         ::testing::Values(CheckRow{true, 1, 1}, CheckRow{true, 2, 1},
                                           CheckRow{true, 3, 0}, CheckRow{true, 0, 0},
                                           CheckRow{false, 1, 0}));

TEST(FlatButton, CheckBoxTogglesOnClickAndShowsItsInPictureWhileChecked) {
    auto pButton = MakeButton();
    pButton->SetCheckBox(true);
    pButton->SetImages(IDB_CTS_ON, Qt::white, CFlatButton::IMAGE_GREY);
    EXPECT_TRUE(Bounds(Grab(*pButton), IsRed).isEmpty());
    pButton->click();
    EXPECT_EQ(pButton->GetCheck(), 1);
    EXPECT_FALSE(Bounds(Grab(*pButton), IsRed).isEmpty());
    pButton->click();
    EXPECT_EQ(pButton->GetCheck(), 0);
}

TEST(FlatButton, DoubleClickGivesTwoClicksAndKeysClickToo) {
    auto pButton = MakeButton();
    int nClicks = 0;
    QObject::connect(pButton.get(), &QAbstractButton::clicked, [&] { ++nClicks; });
    const QPoint pt(30, 15);
    Send(*pButton, QEvent::MouseButtonPress, pt, Qt::LeftButton, Qt::LeftButton);
    Send(*pButton, QEvent::MouseButtonRelease, pt, Qt::NoButton, Qt::LeftButton);
    Send(*pButton, QEvent::MouseButtonDblClick, pt, Qt::LeftButton, Qt::LeftButton);
    Send(*pButton, QEvent::MouseButtonRelease, pt, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(nClicks, 2);
    for (int nKey : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) {
        QTest::keyClick(pButton.get(), Qt::Key(nKey));
    }
    EXPECT_EQ(nClicks, 5) << "Enter, Return and space click too";
}

TEST(FlatButton, MenuDropsDownWhileTheButtonPaintsPressedAndTheClickStillArrives) {
    auto pButton = MakeButton();
    pButton->SetImages(IDB_CTS_ON, Qt::white, CFlatButton::IMAGE_GREY);
    auto pMenu = std::make_unique<QMenu>();
    QAction* pAction = pMenu->addAction("x");
    bool bTriggered = false;
    bool bRedWhileOpen = false;
    QObject::connect(pAction, &QAction::triggered, [&] { bTriggered = true; });
    QMenu* pSeen = nullptr;
    pButton->SetMenu(std::move(pMenu), [&](QMenu* pShown) {
        pSeen = pShown;
        QTimer::singleShot(0, pShown, [&, pShown] {
            bRedWhileOpen = !Bounds(Grab(*pButton), IsRed).isEmpty();
            pShown->close();
        });
    });
    int nClicks = 0;
    QObject::connect(pButton.get(), &QAbstractButton::clicked, [&] { ++nClicks; });
    pButton->click();
    EXPECT_NE(pSeen, nullptr);
    EXPECT_TRUE(bRedWhileOpen);
    EXPECT_FALSE(bTriggered);
    EXPECT_EQ(nClicks, 1);
    EXPECT_TRUE(Bounds(Grab(*pButton), IsRed).isEmpty()) << "no longer pressed";
}

TEST(FlatButton, ClickOpensItsURL) {
    CUrlCatcher catcher;
    QDesktopServices::setUrlHandler("divetest", &catcher, "Open");
    auto pButton = MakeButton();
    pButton->SetURL("divetest://device/manual");
    pButton->click();
    QDesktopServices::unsetUrlHandler("divetest");
    ASSERT_EQ(catcher.m_arrUrls.size(), 1);
    EXPECT_EQ(catcher.m_arrUrls[0], QUrl("divetest://device/manual"));
}

}  // namespace

#include "FlatButtonTest.moc"
