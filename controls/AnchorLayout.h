#pragma once
// CAnchorLayout: ties registered child controls to points of their window's client area.
//
// Each control's top-left and bottom-right corners follow an anchor point given in percent of the
// client width and height (0 = left/top edge, 100 = right/bottom edge), keeping the pixel distance
// (margin) that they had from that point when the control was registered. Every pass computes each
// rectangle afresh from the anchors and the fixed margins, never from the previous position, so
// repeated resizing never makes a control drift. Percent products are truncated toward zero: with
// x = 50 and a width of 333 the offset is 166.
//
// Qt paints through a back buffer and lays out the children of one resize before the window is
// painted, so the moves of one pass reach the screen together, and siblings created earlier lie
// beneath later ones (a group frame created before its contents never paints over them).
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <vector>

class QWidget;

struct AnchorPoint {
    int x;  // percent of the layout area's width
    int y;  // percent of its height
    friend bool operator==(const AnchorPoint&, const AnchorPoint&) = default;
};

inline constexpr AnchorPoint ANCHOR_TOP_LEFT{0, 0};
inline constexpr AnchorPoint ANCHOR_TOP_CENTER{50, 0};
inline constexpr AnchorPoint ANCHOR_TOP_RIGHT{100, 0};
inline constexpr AnchorPoint ANCHOR_MIDDLE_LEFT{0, 50};
inline constexpr AnchorPoint ANCHOR_MIDDLE_CENTER{50, 50};
inline constexpr AnchorPoint ANCHOR_MIDDLE_RIGHT{100, 50};
inline constexpr AnchorPoint ANCHOR_BOTTOM_LEFT{0, 100};
inline constexpr AnchorPoint ANCHOR_BOTTOM_CENTER{50, 100};
inline constexpr AnchorPoint ANCHOR_BOTTOM_RIGHT{100, 100};
// No second anchor: the control moves with its one anchor and keeps its size.
inline constexpr AnchorPoint ANCHOR_NONE{-1, -1};

// A rectangle with right and bottom one past its last pixel, as the layout computes it.
struct LayoutRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    friend bool operator==(const LayoutRect&, const LayoutRect&) = default;

    static LayoutRect FromQRect(const QRect& rc) {
        return {rc.left(), rc.top(), rc.left() + rc.width(), rc.top() + rc.height()};
    }
    QRect ToQRect() const { return QRect(left, top, right - left, bottom - top); }
};

struct AnchorItem {
    QPointer<QWidget> pWnd;
    AnchorPoint anchorTL;
    QPoint marginTL;
    AnchorPoint anchorBR;
    QPoint marginBR;
};

// The entry for a control at rc (in the owner's client coordinates) in an area of sizeArea.
AnchorItem MakeAnchorItem(const LayoutRect& rc, QSize sizeArea, AnchorPoint anchorTL,
                          AnchorPoint anchorBR);
// Where an entry's control stands in an area of sizeArea.
LayoutRect AnchoredRect(const AnchorItem& item, QSize sizeArea);

class CAnchorLayout {
public:
    virtual ~CAnchorLayout() = default;

    // Registers a child at its present (designed) position; the margins are taken from there.
    void AnchorControl(QWidget* pChild, AnchorPoint anchorTL, AnchorPoint anchorBR = ANCHOR_NONE);
    // Moves every registered child that is still there to where the current area puts it;
    // children already in place are not touched.
    void ApplyLayout();
    void ClearAnchors() { m_items.clear(); }

protected:
    // The rectangle the anchors refer to: by default the client rectangle of GetLayoutWnd().
    virtual QRect GetLayoutArea();
    virtual QWidget* GetLayoutWnd() = 0;

private:
    std::vector<AnchorItem> m_items;  // in the order of registration
};
