#include "ShadedButton.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace {

// The C library's classic rand(): the same sequence on every machine.
class CLcgRandom {
public:
    static constexpr int kMax = 32767;
    int Next() {
        m_dwState = m_dwState * 214013u + 2531011u;
        return static_cast<int>((m_dwState >> 16) & 0x7FFF);
    }

private:
    std::uint32_t m_dwState = 1;
};

int Cube(int v) {
    return v * v * v / 16384;
}

// One texture being filled. Rows r count from the bottom edge, columns x from the left; index
// arithmetic wraps modulo 256.
class CTextureFill {
public:
    CTextureFill(CPaletteDib& dib, int nGranularity)
        : m_dib(dib),
          W(dib.Width()),
          H(dib.Height()),
          g(nGranularity),
          Q(nGranularity == 0 ? CLcgRandom::kMax : CLcgRandom::kMax / (2 * nGranularity)) {}

    void Run(unsigned nEffect);

private:
    int Noise() { return m_rand.Next() / Q - g; }
    void Put(int x, int r, int nIndex) {
        m_dib.SetPixelIndex(x, H - 1 - r, static_cast<std::uint8_t>(nIndex & 0xFF));
    }
    void Add(int x, int r, int nValue) { Put(x, r, m_dib.PixelIndex(x, H - 1 - r) + nValue); }
    // Each pixel gets fnIndex(x, r) plus one noise value, visiting row by row (bottom row first,
    // each from the left) or column by column (left column first, each from the bottom).
    template <typename Fn>
    void ByRows(Fn fnIndex) {
        for (int r = 0; r < H; ++r) {
            for (int x = 0; x < W; ++x) {
                Put(x, r, fnIndex(x, r) + Noise());
            }
        }
    }
    template <typename Fn>
    void ByColumns(Fn fnIndex) {
        for (int x = 0; x < W; ++x) {
            for (int r = 0; r < H; ++r) {
                Put(x, r, fnIndex(x, r) + Noise());
            }
        }
    }
    int RowBump(int r) const { return Cube((255 * r) / H - 127); }
    int ColumnBump(int x) const { return Cube((255 * (W - x)) / W - 127); }
    void HardBumpRims();
    void Metal();

    CPaletteDib& m_dib;
    CLcgRandom m_rand;
    const int W, H, g, Q;
};

void CTextureFill::Run(unsigned nEffect) {
    const int C = 255 - 2 * g;
    switch (nEffect) {
        case CShadedButton::EFFECT_DIAGONAL:
            ByRows([&](int x, int r) { return g + (r * (C / 2)) / H + ((W - x) * (C / 2)) / W; });
            break;
        case CShadedButton::EFFECT_ROW_SHADE:
            ByRows([&](int, int r) { return g + (r * C) / H; });
            break;
        case CShadedButton::EFFECT_COLUMN_SHADE:
            ByColumns([&](int x, int) { return g + (C * (W - x)) / W; });
            break;
        case CShadedButton::EFFECT_ROW_BUMP:
            ByRows([&](int, int r) { return 128 + RowBump(r) * (128 - g) / 128; });
            break;
        case CShadedButton::EFFECT_COLUMN_BUMP:
            ByColumns([&](int x, int) { return 128 + ColumnBump(x) * (128 - g) / 128; });
            break;
        case CShadedButton::EFFECT_SOFT_BUMP:
            ByRows([&](int x, int r) {
                const int v = (RowBump(r) + ColumnBump(x)) * (128 - g) / 128 + 128;
                return std::min(std::max(v, g), 255 - g);
            });
            break;
        case CShadedButton::EFFECT_HARD_BUMP:
            ByRows([&](int, int r) { return 128 + RowBump(r) * (64 - g) * 2 / 128; });
            HardBumpRims();
            break;
        case CShadedButton::EFFECT_METAL:
            Metal();
            break;
        default:
            ByRows([](int, int) { return 128; });
            break;
    }
}

// The rims of the hard bump, d pixels wide at the middle row and vanishing at the top and bottom,
// then a second grain. A button narrower than 6 pixels or lower than 2 has no room for rims and
// keeps the plain bump.
void CTextureFill::HardBumpRims() {
    const int d = std::min(W / 6, 16);
    const std::int64_t nQuarter = static_cast<std::int64_t>(H) * H / 4;
    if (d == 0 || nQuarter == 0) {
        return;
    }
    for (int r = 0; r < H; ++r) {
        const std::int64_t nFromMiddle = r - H / 2;
        const std::int64_t e = (d * nFromMiddle * nFromMiddle) / nQuarter + W / 2 - d;
        for (int x = 0; x < W; ++x) {
            const int u = x - W / 2;
            if (e < u) {
                Put(x, r, g + ((W - x) * 128) / d);
            }
            if (e + u < 0) {
                Put(x, r, (255 - g) - (x * 128) / d);
            }
        }
        for (int x = 0; x < W; ++x) {
            Add(x, r, Noise());
        }
    }
}

// Brushed metal: 200 short diagonal strokes of dark entries, then a diagonal shade and grain. The
// stroke positions need both sides within the generator's range; a larger button gets plain grain.
void CTextureFill::Metal() {
    if (W > CLcgRandom::kMax || H > CLcgRandom::kMax) {
        ByRows([](int, int) { return 128; });
        return;
    }
    m_dib.Clear(0);
    for (int nStroke = 0; nStroke < 200; ++nStroke) {
        const int x0 = m_rand.Next() / (CLcgRandom::kMax / W);
        const int y0 = m_rand.Next() / (CLcgRandom::kMax / H);
        const int n = m_rand.Next() / (CLcgRandom::kMax / std::min(W, H));
        const auto c = static_cast<std::uint8_t>(m_rand.Next() / 819);
        // These strokes count y from the top edge.
        for (int k = 0; k < n / 2; ++k) {
            if (x0 - k > 0 && y0 + k < H) {
                m_dib.SetPixelIndex(x0 - k, y0 + k, c);
            }
            if (x0 + k < W && y0 - k > 0) {
                m_dib.SetPixelIndex(W - x0 + k, y0 - k, c);
            }
        }
    }
    const int E = (255 - 2 * g - 40) / 2;
    for (int r = 0; r < H; ++r) {
        for (int x = 0; x < W; ++x) {
            Add(x, r, (r * E) / H + ((W - x) * E) / W + m_rand.Next() / Q);
        }
    }
}

}  // namespace

CShadedButton::CShadedButton(QWidget* pParent) : CFlatButton(pParent) {}

void CShadedButton::SetShading(unsigned nEffect, std::uint8_t byGranularity,
                               std::uint8_t byHighlight, std::uint8_t byTint,
                               const QColor& crTint) {
    m_dibHover.Release();
    update();
    if (!m_dibNormal.Create(width(), height())) {
        return;
    }
    // The ramp: shadow at 0, the button face between 127 and 128, highlight at 255.
    const QColor crShadow = palette().color(QPalette::Dark);
    const QColor crFace = palette().color(QPalette::Button);
    const QColor crLight = palette().color(QPalette::Light);
    const auto mix = [](const QColor& cr0, const QColor& cr1, int k) {
        return std::array<int, 3>{(cr0.red() * (128 - k) + cr1.red() * k) / 128,
                                  (cr0.green() * (128 - k) + cr1.green() * k) / 128,
                                  (cr0.blue() * (128 - k) + cr1.blue() * k) / 128};
    };
    for (int k = 0; k < CPaletteDib::kPaletteEntries; ++k) {
        const auto arrRgb = k < 128 ? mix(crShadow, crFace, k) : mix(crFace, crLight, k - 127);
        m_dibNormal.SetPaletteEntry(k, arrRgb[0], arrRgb[1], arrRgb[2]);
    }
    m_dibNormal.BlendPalette(crTint, byTint);
    CTextureFill(m_dibNormal, byGranularity).Run(nEffect);

    m_dibHover.Clone(m_dibNormal);
    m_dibHover.BlendPalette(crLight, byHighlight);
}

void CShadedButton::PaintBackground(QPainter& painter, QRect&) {
    if (!m_bMouseOnButton) {
        m_dibNormal.Draw(painter, 0, 0);
    } else if (m_bIsPressed) {
        m_dibHover.Draw(painter, 1, 1);
    } else {
        m_dibHover.Draw(painter, 0, 0);
    }
}
