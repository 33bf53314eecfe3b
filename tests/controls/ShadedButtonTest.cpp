// CShadedButton's textures read back index by index, and what the button paints with them;
// CPaletteDib's own rules.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <memory>
#include <vector>

#include "ShadedButton.h"

namespace {

std::unique_ptr<CShadedButton> MakeShaded(int cx, int cy, unsigned nEffect, int nGranularity,
                                          int nHighlight = 20, int nTint = 0,
                                          QColor crTint = QColor(20, 20, 20)) {
    auto pButton = std::make_unique<CShadedButton>();
    pButton->resize(cx, cy);
    pButton->SetShading(nEffect, nGranularity, nHighlight, nTint, crTint);
    return pButton;
}

// Index of the pixel in row r counted from the bottom edge.
int IndexAt(const CPaletteDib& dib, int x, int r) {
    return dib.PixelIndex(x, dib.Height() - 1 - r);
}

double RowMean(const CPaletteDib& dib, int r) {
    double dSum = 0;
    for (int x = 0; x < dib.Width(); ++x) {
        dSum += IndexAt(dib, x, r);
    }
    return dSum / dib.Width();
}

// Rows of the row bump (effect 4) with grain 8 on a 23-pixel-high button, from the bottom up.
const int kBump23[] = {11,  39,  63,  82,  97,  108, 116, 122, 126, 128, 128, 128,
                       128, 128, 128, 130, 134, 140, 148, 159, 174, 193, 217};

TEST(ShadedButton, RowBumpOf23RowsGivesItsRowsWithinTheGrain) {
    auto pButton = MakeShaded(93, 23, CShadedButton::EFFECT_ROW_BUMP, 8);
    const CPaletteDib& dib = pButton->Texture();
    ASSERT_EQ(dib.Width(), 93);
    ASSERT_EQ(dib.Height(), 23);
    for (int r = 0; r < 23; ++r) {
        for (int x = 0; x < 93; ++x) {
            const int nIndex = IndexAt(dib, x, r);
            ASSERT_GE(nIndex, kBump23[r] - 8) << "row " << r << " column " << x;
            ASSERT_LE(nIndex, kBump23[r] + 8) << "row " << r << " column " << x;
        }
        EXPECT_NEAR(RowMean(dib, r), kBump23[r], 2.0) << "row " << r;
    }
    // The grain of the first pixels comes from the generator's first values 41, 18467, 6334,
    // 26500: -8, +1, -5, +4.
    EXPECT_EQ(IndexAt(dib, 0, 0), 3);
    EXPECT_EQ(IndexAt(dib, 1, 0), 12);
    EXPECT_EQ(IndexAt(dib, 2, 0), 6);
    EXPECT_EQ(IndexAt(dib, 3, 0), 15);
}

TEST(ShadedButton, RowBumpOf34RowsEndsAt11And226) {
    auto pButton = MakeShaded(200, 34, CShadedButton::EFFECT_ROW_BUMP, 8);
    EXPECT_NEAR(RowMean(pButton->Texture(), 0), 11, 2.0);
    EXPECT_NEAR(RowMean(pButton->Texture(), 17), 128, 2.0);
    EXPECT_NEAR(RowMean(pButton->Texture(), 33), 226, 2.0);
}

TEST(ShadedButton, SameSizeGivesTheSameTextureEveryTime) {
    auto pFirst = MakeShaded(50, 20, CShadedButton::EFFECT_METAL, 8);
    auto pSecond = MakeShaded(50, 20, CShadedButton::EFFECT_METAL, 8);
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 50; ++x) {
            ASSERT_EQ(pFirst->Texture().PixelIndex(x, y), pSecond->Texture().PixelIndex(x, y));
        }
    }
}

struct Noise {
    const char* pszName;
    unsigned nEffect;
    int cx;
    int cy;
    int nGranularity;
};

const Noise kNoise[] = {
    {"EffectZero", CShadedButton::EFFECT_NOISE, 93, 23, 8},
    {"EffectNine", 9, 93, 23, 8},
    {"EffectTwoHundred", 200, 93, 23, 30},
    {"GranularityZeroIsFlat", CShadedButton::EFFECT_NOISE, 200, 200, 0},
    {"MetalBeyondTheGeneratorsRange", CShadedButton::EFFECT_METAL, 40000, 2, 8},
};

class NoiseTest : public ::testing::TestWithParam<Noise> {};

TEST_P(NoiseTest, StaysAroundTheMiddleOfTheRamp) {
    const Noise& row = GetParam();
    auto pButton = MakeShaded(row.cx, row.cy, row.nEffect, row.nGranularity);
    const CPaletteDib& dib = pButton->Texture();
    double dSum = 0;
    int nAbove = 0;
    for (int y = 0; y < row.cy; ++y) {
        for (int x = 0; x < row.cx; ++x) {
            const int nIndex = dib.PixelIndex(x, y);
            ASSERT_GE(nIndex, 128 - row.nGranularity);
            // With no grain only the generator's top value 32767 adds 1.
            ASSERT_LE(nIndex, 128 + std::max(row.nGranularity, 1));
            dSum += nIndex;
            nAbove += nIndex > 128;
        }
    }
    EXPECT_NEAR(dSum / (row.cx * row.cy), 128.0, 1.0);
    if (row.nGranularity == 0) {
        EXPECT_LT(nAbove, 10);
    }
}

INSTANTIATE_TEST_SUITE_P(ShadedButton, NoiseTest, ::testing::ValuesIn(kNoise),
                         [](const auto& info) { return std::string(info.param.pszName); });

TEST(ShadedButton, HardBumpHasALightLeftAndADarkRightRimAtTheMiddleRow) {
    auto pButton = MakeShaded(93, 23, CShadedButton::EFFECT_HARD_BUMP, 8);
    const CPaletteDib& dib = pButton->Texture();
    EXPECT_GE(IndexAt(dib, 0, 11), 239);
    EXPECT_LE(IndexAt(dib, 92, 11), 24);
    EXPECT_NEAR(IndexAt(dib, 46, 11), 128, 16);
}

TEST(ShadedButton, HardBumpTooNarrowOrLowForRimsKeepsThePlainBump) {
    auto pNarrow = MakeShaded(5, 23, CShadedButton::EFFECT_HARD_BUMP, 8);
    for (int x = 0; x < 5; ++x) {
        EXPECT_NEAR(IndexAt(pNarrow->Texture(), x, 11), 128, 8) << x;
    }
    auto pLow = MakeShaded(93, 1, CShadedButton::EFFECT_HARD_BUMP, 8);
    EXPECT_EQ(pLow->Texture().Height(), 1);
}

TEST(ShadedButton, EveryEffectFillsTinyButtonsWithoutFault) {
    for (unsigned nEffect = 0; nEffect <= 9; ++nEffect) {
        for (QSize size : {QSize(1, 1), QSize(5, 2), QSize(7, 1), QSize(1, 40)}) {
            auto pButton = MakeShaded(size.width(), size.height(), nEffect, 8);
            EXPECT_EQ(QSize(pButton->Texture().Width(), pButton->Texture().Height()), size);
        }
    }
    auto pEmpty = MakeShaded(0, 23, CShadedButton::EFFECT_ROW_BUMP, 8);
    EXPECT_TRUE(pEmpty->Texture().IsEmpty());
    EXPECT_TRUE(pEmpty->HoverTexture().IsEmpty());
}

TEST(ShadedButton, PaletteRunsFromShadowThroughFaceToHighlight) {
    auto pButton = MakeShaded(10, 10, CShadedButton::EFFECT_ROW_BUMP, 8, 0, 0);
    const QPalette& pal = pButton->palette();
    const CPaletteDib& dib = pButton->Texture();
    EXPECT_EQ(dib.PaletteEntry(0), pal.color(QPalette::Dark).rgb());
    EXPECT_EQ(dib.PaletteEntry(255), pal.color(QPalette::Light).rgb());
    const QColor crFace = pal.color(QPalette::Button);
    for (int k : {127, 128}) {
        const QColor cr = QColor::fromRgb(dib.PaletteEntry(k));
        EXPECT_NEAR(cr.red(), crFace.red(), 2) << k;
        EXPECT_NEAR(cr.blue(), crFace.blue(), 2) << k;
    }
}

TEST(ShadedButton, PercentagesAbove100CountAs100) {
    auto pButton =
        MakeShaded(10, 10, CShadedButton::EFFECT_ROW_BUMP, 8, 150, 150, QColor(20, 20, 20));
    const QRgb rgbLight = pButton->palette().color(QPalette::Light).rgb();
    for (int k = 0; k < 256; ++k) {
        ASSERT_EQ(pButton->Texture().PaletteEntry(k), qRgb(20, 20, 20)) << k;
        ASSERT_EQ(pButton->HoverTexture().PaletteEntry(k), rgbLight) << k;
    }
}

struct Shown {
    const char* pszName;
    bool bHover;
    bool bPressed;
    int nShift;  // the hover texture's offset
};

class ShownTest : public ::testing::TestWithParam<Shown> {};

TEST_P(ShownTest, PaintsTheTextureOfItsState) {
    auto pButton = MakeShaded(60, 23, CShadedButton::EFFECT_METAL, 8);
    if (GetParam().bHover) {
        QMouseEvent move(QEvent::MouseMove, QPointF(30, 10), pButton->mapToGlobal(QPointF(30, 10)),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(pButton.get(), &move);
        ASSERT_TRUE(pButton->IsMouseOver());
    }
    pButton->setDown(GetParam().bPressed);
    const QImage img = pButton->grab().toImage();
    const int n = GetParam().nShift;
    const CPaletteDib& dib = GetParam().bHover ? pButton->HoverTexture() : pButton->Texture();
    for (QPoint pt : {QPoint(10, 10), QPoint(40, 5), QPoint(55, 20)}) {
        EXPECT_EQ(img.pixel(pt), dib.PaletteEntry(dib.PixelIndex(pt.x() - n, pt.y() - n)))
            << pt.x() << "," << pt.y();
    }
}

INSTANTIATE_TEST_SUITE_P(ShadedButton, ShownTest,
                         ::testing::Values(Shown{"Away", false, false, 0},
                                           Shown{"Hovered", true, false, 0},
                                           Shown{"HoveredAndPressed", true, true, 1}),
                         [](const auto& info) { return std::string(info.param.pszName); });

TEST(PaletteDib, CountsRowsFromTheTopAndIgnoresPixelsOutside) {
    CPaletteDib dib;
    ASSERT_TRUE(dib.Create(10, 3));
    EXPECT_EQ(dib.RowStride(), 12);
    dib.Clear(7);
    dib.SetPixelIndex(2, 0, 200);
    for (QPoint pt : {QPoint(-1, 0), QPoint(10, 0), QPoint(0, 3), QPoint(0, -1)}) {
        dib.SetPixelIndex(pt.x(), pt.y(), 99);
        EXPECT_EQ(dib.PixelIndex(pt.x(), pt.y()), -1);
    }
    EXPECT_EQ(dib.PixelIndex(2, 0), 200);
    EXPECT_EQ(dib.PixelIndex(2, 2), 7);
    dib.SetPaletteEntry(256 + 200, 10, 20, 30);
    dib.BlendPalette(QColor(110, 120, 130), 50);
    EXPECT_EQ(dib.PaletteEntry(200), qRgb(60, 70, 80));

    CPaletteDib copy;
    copy.Clone(dib);
    EXPECT_EQ(copy.PixelIndex(2, 0), 200);
    EXPECT_EQ(copy.PaletteEntry(200), qRgb(60, 70, 80));

    EXPECT_FALSE(dib.Create(0, 5));
    EXPECT_TRUE(dib.IsEmpty());
    dib.SetPixelIndex(0, 0, 1);
    dib.BlendPalette(Qt::red, 100);
    EXPECT_EQ(dib.PixelIndex(0, 0), -1);
}

}  // namespace
