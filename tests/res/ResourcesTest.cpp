// The pictures through the public interface: sizes, key colours and masks, and that each picture
// actually shows something that tells it apart from its neighbours.
#include <gtest/gtest.h>

#include <QImage>
#include <future>
#include <vector>

#include "Resources.h"

namespace {

struct PictureSize {
    const char* pszName;
    int nId;
    int nWidth;
    int nHeight;
};

const PictureSize kSizes[] = {
    {"AppIconIs32", IDI_MAINFRAME, 32, 32},
    {"AboutSideIs102x350", IDB_ABOUT_SIDE, 102, 350},
    {"PowerOnIs23", IDB_POWER_ON, 23, 23},
    {"PowerOffIs23", IDB_POWER_OFF, 23, 23},
    {"RingOffIs48x16", IDB_RING_OFF, 48, 16},
    {"RingOnIs48x16", IDB_RING_ON, 48, 16},
    {"CdOffIs48x16", IDB_CD_OFF, 48, 16},
    {"CdOnIs48x16", IDB_CD_ON, 48, 16},
    {"CtsOffIs48x16", IDB_CTS_OFF, 48, 16},
    {"CtsOnIs48x16", IDB_CTS_ON, 48, 16},
    {"DsrOffIs48x16", IDB_DSR_OFF, 48, 16},
    {"DsrOnIs48x16", IDB_DSR_ON, 48, 16},
    {"MenuStripIs192x16", IDB_MENU_ICONS, 192, 16},
};

class PictureSizeTest : public ::testing::TestWithParam<PictureSize> {};

TEST_P(PictureSizeTest, HasItsDocumentedSizeMaskedOrNot) {
    const PictureSize& row = GetParam();
    EXPECT_EQ(LoadBitmap(row.nId).size(), QSize(row.nWidth, row.nHeight));
    EXPECT_EQ(LoadMaskedBitmap(row.nId).size(), QSize(row.nWidth, row.nHeight));
}

INSTANTIATE_TEST_SUITE_P(Pictures, PictureSizeTest, ::testing::ValuesIn(kSizes),
                         [](const auto& info) { return std::string(info.param.pszName); });

class UnknownIdTest : public ::testing::TestWithParam<int> {};

TEST_P(UnknownIdTest, GivesNullPixmaps) {
    EXPECT_TRUE(LoadBitmap(GetParam()).isNull());
    EXPECT_TRUE(LoadMaskedBitmap(GetParam()).isNull());
}

INSTANTIATE_TEST_SUITE_P(Pictures, UnknownIdTest,
                         ::testing::Values(-1, 0, 100, 127, 129, 130, 134, 135, 145, 1000));

QImage Argb(const QPixmap& pixmap) {
    return pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
}

struct KeyedPicture {
    const char* pszName;
    int nId;
    QRgb rgbKey;
};

const KeyedPicture kKeyed[] = {
    {"PowerOn", IDB_POWER_ON, 0xFFFFFFFF},     {"PowerOff", IDB_POWER_OFF, 0xFFFFFFFF},
    {"RingOff", IDB_RING_OFF, 0xFFFFFFFF},     {"RingOn", IDB_RING_ON, 0xFFFFFFFF},
    {"CdOff", IDB_CD_OFF, 0xFFFFFFFF},         {"CdOn", IDB_CD_ON, 0xFFFFFFFF},
    {"CtsOff", IDB_CTS_OFF, 0xFFFFFFFF},       {"CtsOn", IDB_CTS_ON, 0xFFFFFFFF},
    {"DsrOff", IDB_DSR_OFF, 0xFFFFFFFF},       {"DsrOn", IDB_DSR_ON, 0xFFFFFFFF},
    {"MenuStrip", IDB_MENU_ICONS, 0xFFC0C0C0},
};

class KeyedPictureTest : public ::testing::TestWithParam<KeyedPicture> {};

TEST_P(KeyedPictureTest, HasTheKeyColourAtItsCorners) {
    const QImage img = Argb(LoadBitmap(GetParam().nId));
    const QRgb rgbKey = GetParam().rgbKey;
    EXPECT_EQ(img.pixel(0, 0), rgbKey);
    EXPECT_EQ(img.pixel(img.width() - 1, 0), rgbKey);
    EXPECT_EQ(img.pixel(0, img.height() - 1), rgbKey);
    EXPECT_EQ(img.pixel(img.width() - 1, img.height() - 1), rgbKey);
}

TEST_P(KeyedPictureTest, MaskedLosesExactlyTheKeyPixelsAndNothingElseIsTranslucent) {
    const QImage plain = Argb(LoadBitmap(GetParam().nId));
    const QImage masked = Argb(LoadMaskedBitmap(GetParam().nId));
    int nShown = 0;
    for (int y = 0; y < plain.height(); ++y) {
        for (int x = 0; x < plain.width(); ++x) {
            const bool bKey = plain.pixel(x, y) == GetParam().rgbKey;
            const int nAlpha = qAlpha(masked.pixel(x, y));
            ASSERT_EQ(nAlpha, bKey ? 0 : 255) << "at " << x << "," << y;
            if (!bKey) {
                ASSERT_EQ(masked.pixel(x, y), plain.pixel(x, y)) << "at " << x << "," << y;
                ++nShown;
            }
        }
    }
    EXPECT_GT(nShown, 0);
}

INSTANTIATE_TEST_SUITE_P(Pictures, KeyedPictureTest, ::testing::ValuesIn(kKeyed),
                         [](const auto& info) { return std::string(info.param.pszName); });

TEST(AboutSide, IsOpaqueAndMostlyRed) {
    const QImage img = Argb(LoadMaskedBitmap(IDB_ABOUT_SIDE));
    int nRed = 0;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            const QRgb rgb = img.pixel(x, y);
            ASSERT_EQ(qAlpha(rgb), 255) << "at " << x << "," << y;
            nRed += qRed(rgb) > 2 * qGreen(rgb) && qRed(rgb) > 2 * qBlue(rgb) ? 1 : 0;
        }
    }
    EXPECT_GT(nRed, img.width() * img.height() / 2);
}

// Pixels that are clearly red: the lit ball.
int CountRed(const QImage& img) {
    int nCount = 0;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            const QRgb rgb = img.pixel(x, y);
            nCount += qRed(rgb) > 150 && qGreen(rgb) < 80 && qBlue(rgb) < 80 ? 1 : 0;
        }
    }
    return nCount;
}

class LampTest : public ::testing::TestWithParam<std::pair<const char*, int>> {};

TEST_P(LampTest, OnShowsARedBallAndOffShowsNone) {
    const int nOff = GetParam().second;
    const QImage off = Argb(LoadBitmap(nOff));
    const QImage on = Argb(LoadBitmap(nOff + 1));
    EXPECT_NE(off, on);
    EXPECT_EQ(CountRed(off), 0);
    EXPECT_GT(CountRed(on), 40);
    // The name, to the right of the ball, is the same in both states.
    EXPECT_EQ(off.copy(15, 0, 33, 16), on.copy(15, 0, 33, 16));
}

INSTANTIATE_TEST_SUITE_P(Pictures, LampTest,
                         ::testing::Values(std::make_pair("Ring", int(IDB_RING_OFF)),
                                           std::make_pair("Cd", int(IDB_CD_OFF)),
                                           std::make_pair("Cts", int(IDB_CTS_OFF)),
                                           std::make_pair("Dsr", int(IDB_DSR_OFF))),
                         [](const auto& info) { return std::string(info.param.first); });

// The name is drawn in dark red (128, 0, 0) and in nothing else beside the ball; RING's is "RI",
// narrower than any other.
TEST(Lamps, NamesAreDarkRedAndRingSaysRi) {
    const auto fnNameColumns = [](int nBitmap) {
        const QImage img = Argb(LoadBitmap(nBitmap));
        int nFirst = -1;
        int nLast = -1;
        for (int x = 15; x < img.width(); ++x) {
            for (int y = 0; y < img.height(); ++y) {
                const QRgb rgb = img.pixel(x, y);
                if (rgb == qRgb(255, 255, 255)) {
                    continue;
                }
                EXPECT_EQ(rgb, qRgb(128, 0, 0)) << nBitmap << " at " << x << "," << y;
                nFirst = nFirst < 0 ? x : nFirst;
                nLast = x;
            }
        }
        return nLast - nFirst + 1;
    };
    const int nRing = fnNameColumns(IDB_RING_ON);
    EXPECT_LT(nRing, fnNameColumns(IDB_CD_OFF));
    EXPECT_LT(fnNameColumns(IDB_CD_ON), fnNameColumns(IDB_CTS_ON));
    EXPECT_EQ(fnNameColumns(IDB_CTS_ON), fnNameColumns(IDB_DSR_OFF));
}

TEST(Lamps, TheFourNamesDiffer) {
    const QImage ring = Argb(LoadBitmap(IDB_RING_OFF));
    EXPECT_NE(ring, Argb(LoadBitmap(IDB_CD_OFF)));
    EXPECT_NE(ring, Argb(LoadBitmap(IDB_CTS_OFF)));
    EXPECT_NE(ring, Argb(LoadBitmap(IDB_DSR_OFF)));
    EXPECT_NE(Argb(LoadBitmap(IDB_CD_OFF)), Argb(LoadBitmap(IDB_CTS_OFF)));
    EXPECT_NE(Argb(LoadBitmap(IDB_CD_OFF)), Argb(LoadBitmap(IDB_DSR_OFF)));
    EXPECT_NE(Argb(LoadBitmap(IDB_CTS_OFF)), Argb(LoadBitmap(IDB_DSR_OFF)));
}

TEST(PowerSymbols, OnIsGreenAndOffIsGrey) {
    const QImage on = Argb(LoadMaskedBitmap(IDB_POWER_ON));
    const QImage off = Argb(LoadMaskedBitmap(IDB_POWER_OFF));
    int nGreen = 0;
    int nGrey = 0;
    for (int y = 0; y < on.height(); ++y) {
        for (int x = 0; x < on.width(); ++x) {
            const QRgb rgbOn = on.pixel(x, y);
            const QRgb rgbOff = off.pixel(x, y);
            if (qAlpha(rgbOn) == 255) {
                nGreen += qGreen(rgbOn) > qRed(rgbOn) + 60 ? 1 : 0;
            }
            if (qAlpha(rgbOff) == 255) {
                nGrey += qRed(rgbOff) == qGreen(rgbOff) && qGreen(rgbOff) == qBlue(rgbOff);
            }
        }
    }
    EXPECT_GT(nGreen, 200);
    EXPECT_GT(nGrey, 200);
}

QImage IconImage(int nIndex) {
    return Argb(MenuIcon(nIndex).pixmap(16, 16));
}

TEST(MenuIcons, EachOfTheTwelveIsSixteenSquareShowsSomethingAndIsUnlikeTheOthers) {
    for (int i = 0; i < 12; ++i) {
        const QImage img = IconImage(i);
        ASSERT_EQ(img.size(), QSize(16, 16)) << "icon " << i;
        int nOpaque = 0;
        int nClear = 0;
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                (qAlpha(img.pixel(x, y)) == 255 ? nOpaque : nClear) += 1;
            }
        }
        EXPECT_GT(nOpaque, 30) << "icon " << i;
        EXPECT_GT(nClear, 0) << "icon " << i;
        for (int j = 0; j < i; ++j) {
            EXPECT_NE(img, IconImage(j)) << "icons " << j << " and " << i;
        }
    }
}

TEST(MenuIcons, AreTheSixteenPixelCellsOfTheStrip) {
    const QImage strip = Argb(LoadMaskedBitmap(IDB_MENU_ICONS));
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(IconImage(i), strip.copy(i * 16, 0, 16, 16)) << "icon " << i;
    }
}

TEST(MenuIcons, OutsideZeroToElevenAreNull) {
    EXPECT_TRUE(MenuIcon(-1).isNull());
    EXPECT_TRUE(MenuIcon(12).isNull());
}

TEST(MenuIcons, PlaceholdersThreeAndFiveAreDrawnToo) {
    EXPECT_FALSE(MenuIcon(3).isNull());
    EXPECT_FALSE(MenuIcon(5).isNull());
}

TEST(AppIcon, OffersTheUsualSizes) {
    const QList<QSize> sizes = AppIcon().availableSizes();
    for (int nSize : {16, 24, 32, 48, 64, 128}) {
        EXPECT_TRUE(sizes.contains(QSize(nSize, nSize))) << nSize;
    }
}

TEST(AppIcon, DrawnOnAnotherThreadIsTheSame) {
    const std::vector<QImage> arrMine = AppIconImages();
    const std::vector<QImage> arrTheirs = std::async(std::launch::async, AppIconImages).get();
    ASSERT_EQ(arrTheirs.size(), arrMine.size());
    for (std::size_t i = 0; i < arrMine.size(); ++i) {
        EXPECT_EQ(arrTheirs[i], arrMine[i]) << arrMine[i].width();
    }
    EXPECT_EQ(AppIcon(arrTheirs).availableSizes(), AppIcon().availableSizes());
}

TEST(Pictures, DrawnAheadOnAnotherThreadLoadAsIfDrawnNow) {
    const QImage imgNow = LoadBitmap(IDB_CTS_ON).toImage();
    std::map<int, QImage> mapAhead =
        std::async(std::launch::async, DrawPictures, std::vector<int>{IDB_CTS_ON, 9999}).get();
    EXPECT_EQ(mapAhead.count(9999), 0u);
    KeepPictures(std::move(mapAhead));
    EXPECT_EQ(LoadBitmap(IDB_CTS_ON).toImage(), imgNow);
}

TEST(AppIcon, HasTransparentCornersAndAnOpaqueMiddle) {
    for (int nSize : {16, 32, 64}) {
        const QImage img = Argb(AppIcon().pixmap(nSize, nSize));
        EXPECT_EQ(qAlpha(img.pixel(0, 0)), 0) << nSize;
        EXPECT_EQ(qAlpha(img.pixel(nSize / 2, nSize / 2)), 255) << nSize;
    }
}

}  // namespace
