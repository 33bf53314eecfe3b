#include "AnchorLayout.h"

#include <QWidget>
#include <cstdint>

namespace {

// The offset of a percentage of an extent, truncated toward zero; formed in 64 bits so that
// percentages far outside 0..100 cannot overflow.
int PercentOf(int nExtent, int nPercent) {
    return static_cast<int>(static_cast<std::int64_t>(nExtent) * nPercent / 100);
}

QPoint AnchorOffset(QSize sizeArea, AnchorPoint anchor) {
    return {PercentOf(sizeArea.width(), anchor.x), PercentOf(sizeArea.height(), anchor.y)};
}

// A child's rectangle in the client coordinates of the layout's window.
LayoutRect RectInOwner(QWidget* pChild, QWidget* pOwner) {
    const QWidget* pParent = pChild->parentWidget();
    const QPoint ptTopLeft = pParent == pOwner || pParent == nullptr
                                 ? pChild->pos()
                                 : pParent->mapTo(pOwner, pChild->pos());
    return LayoutRect::FromQRect(QRect(ptTopLeft, pChild->size()));
}

}  // namespace

AnchorItem MakeAnchorItem(const LayoutRect& rc, QSize sizeArea, AnchorPoint anchorTL,
                          AnchorPoint anchorBR) {
    if (anchorBR == ANCHOR_NONE) {
        anchorBR = anchorTL;
    }
    const QPoint ptTL = AnchorOffset(sizeArea, anchorTL);
    const QPoint ptBR = AnchorOffset(sizeArea, anchorBR);
    return {nullptr, anchorTL, QPoint(rc.left, rc.top) - ptTL, anchorBR,
            QPoint(rc.right, rc.bottom) - ptBR};
}

LayoutRect AnchoredRect(const AnchorItem& item, QSize sizeArea) {
    const QPoint ptTL = AnchorOffset(sizeArea, item.anchorTL) + item.marginTL;
    const QPoint ptBR = AnchorOffset(sizeArea, item.anchorBR) + item.marginBR;
    return {ptTL.x(), ptTL.y(), ptBR.x(), ptBR.y()};
}

void CAnchorLayout::AnchorControl(QWidget* pChild, AnchorPoint anchorTL, AnchorPoint anchorBR) {
    if (pChild == nullptr) {
        return;
    }
    AnchorItem item = MakeAnchorItem(RectInOwner(pChild, GetLayoutWnd()), GetLayoutArea().size(),
                                     anchorTL, anchorBR);
    item.pWnd = pChild;
    m_items.push_back(item);
}

void CAnchorLayout::ApplyLayout() {
    QWidget* pOwner = GetLayoutWnd();
    const QSize sizeArea = GetLayoutArea().size();
    for (const AnchorItem& item : m_items) {
        QWidget* pChild = item.pWnd;
        if (pChild == nullptr) {
            continue;  // destroyed since it was registered
        }
        const LayoutRect rcNew = AnchoredRect(item, sizeArea);
        if (rcNew == RectInOwner(pChild, pOwner)) {
            continue;
        }
        QRect rc = rcNew.ToQRect();
        if (QWidget* pParent = pChild->parentWidget(); pParent != nullptr && pParent != pOwner) {
            rc.moveTopLeft(pParent->mapFrom(pOwner, rc.topLeft()));
        }
        pChild->setGeometry(rc);
    }
}

QRect CAnchorLayout::GetLayoutArea() {
    return GetLayoutWnd()->rect();
}
