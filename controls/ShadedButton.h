// CShadedButton: a CFlatButton whose background is a generated texture instead of a flat colour.
// The texture is an 8-bit palette picture whose 256 entries run from the palette's shadow colour
// (Dark) through the button face (Button) to the highlight (Light); one of nine effects, with
// random grain, picks each pixel's entry, so the button looks bumped, shaded or brushed in the
// colours of the current scheme. A second texture, its palette pulled toward the highlight, shows
// while the pointer is over the button, one pixel down and right while it is also pressed.
//
// The textures are built once, by SetShading, for the button's size at that moment. The grain comes
// from a linear congruential generator (state x 214013 + 2531011, bits 16..30 of the state) that
// every SetShading starts afresh from state 1, so a button of a given size and effect gets the same
// texture on every run.
#pragma once
#include <cstdint>

#include "FlatButton.h"
#include "PaletteDib.h"

class CShadedButton : public CFlatButton {
    Q_OBJECT
public:
    enum : unsigned {
        EFFECT_NOISE = 0,         // grain around the middle of the ramp; also any effect above 8
        EFFECT_DIAGONAL = 1,      // shade from the top left down to the bottom right
        EFFECT_ROW_SHADE = 2,     // light at the top, dark at the bottom
        EFFECT_COLUMN_SHADE = 3,  // light at the left, dark at the right
        EFFECT_ROW_BUMP = 4,      // flat middle bending to light at the top and dark at the bottom
        EFFECT_COLUMN_BUMP = 5,   // the same from left to right
        EFFECT_SOFT_BUMP = 6,     // both bumps together
        EFFECT_HARD_BUMP = 7,     // a row bump with a light left and a dark right rim
        EFFECT_METAL = 8,         // brushed metal: short diagonal strokes over a diagonal shade
    };

    explicit CShadedButton(QWidget* pParent = nullptr);

    // Builds both textures for the current size. byGranularity: the grain, -g..+g around each
    // effect's value. byHighlight: how far (percent) the hover palette moves toward the highlight
    // colour; byTint: how far the normal palette moves toward crTint. Percentages above 100 count
    // as 100. A button without size gets no texture and shows what lies beneath it.
    void SetShading(unsigned nEffect, std::uint8_t byGranularity, std::uint8_t byHighlight,
                    std::uint8_t byTint, const QColor& crTint);

    const CPaletteDib& Texture() const { return m_dibNormal; }
    const CPaletteDib& HoverTexture() const { return m_dibHover; }

protected:
    // The texture at the top-left corner; rc is neither used nor shrunk.
    void PaintBackground(QPainter& painter, QRect& rc) override;

private:
    CPaletteDib m_dibNormal;
    CPaletteDib m_dibHover;
};
