#include "SizeGrip.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QWidget>
#include <QWindow>
#include <algorithm>

namespace {

constexpr const char* kGripName = "调整窗口大小";

class CGripWidget : public QWidget {
public:
    explicit CGripWidget(QWidget* pParent) : QWidget(pParent) {
        setAccessibleName(QString::fromUtf8(kGripName));
        setCursor(layoutDirection() == Qt::RightToLeft ? Qt::SizeBDiagCursor : Qt::SizeFDiagCursor);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        // Three ridges parallel to the diagonal, light above dark, as a sunken grip is drawn.
        QPainter painter(this);
        const QPalette::ColorGroup group = isEnabled() ? QPalette::Active : QPalette::Disabled;
        const QColor crLight = palette().color(group, QPalette::Light);
        const QColor crDark = palette().color(group, QPalette::Dark);
        const int cx = width();
        const int cy = height();
        const bool bMirrored = layoutDirection() == Qt::RightToLeft;
        const int nGap = std::max(cx / 4, 2);
        // Ridge pixels lie on x + y = nSum, inside the triangle x + y >= cx.
        for (int nSum = cx + nGap; nSum < cx + cy - 2; nSum += nGap) {
            for (int k = 0; k < 2; ++k) {
                QPoint p1(nSum + k - (cy - 1), cy - 1);
                QPoint p2(cx - 1, nSum + k - (cx - 1));
                if (bMirrored) {
                    p1.setX(cx - 1 - p1.x());
                    p2.setX(cx - 1 - p2.x());
                }
                painter.setPen(k == 0 ? crLight : crDark);
                painter.drawLine(p1, p2);
            }
        }
    }

    void mousePressEvent(QMouseEvent* pEvent) override {
        if (pEvent->button() != Qt::LeftButton) {
            return;
        }
        QWidget* pWindow = window();
        const Qt::Edges edges = GripEdges(layoutDirection());
        if (pWindow->windowHandle() != nullptr &&
            pWindow->windowHandle()->startSystemResize(edges)) {
            return;
        }
        // No window manager to do it: follow the mouse ourselves.
        m_ptPress = pEvent->globalPosition().toPoint();
        m_rcPress = pWindow->geometry();
        m_bDragging = true;
    }

    void mouseMoveEvent(QMouseEvent* pEvent) override {
        if (!m_bDragging) {
            return;
        }
        const QPoint ptDelta = pEvent->globalPosition().toPoint() - m_ptPress;
        QRect rc = m_rcPress;
        rc.setBottom(m_rcPress.bottom() + ptDelta.y());
        QWidget* pWindow = window();
        if (GripEdges(layoutDirection()) & Qt::LeftEdge) {
            const int nWidth = std::max(m_rcPress.width() - ptDelta.x(), pWindow->minimumWidth());
            rc.setLeft(m_rcPress.right() + 1 - nWidth);
        } else {
            rc.setRight(m_rcPress.right() + ptDelta.x());
        }
        rc.setSize(rc.size().expandedTo(pWindow->minimumSize()));
        pWindow->setGeometry(rc);
    }

    void mouseReleaseEvent(QMouseEvent*) override { m_bDragging = false; }

private:
    QPoint m_ptPress;
    QRect m_rcPress;
    bool m_bDragging = false;
};

}  // namespace

QRegion GripRegion(QSize sizeGrip) {
    QRegion region(0, 0, sizeGrip.width(), sizeGrip.height());
    for (int y = 0; y < sizeGrip.height(); ++y) {
        region -= QRegion(0, y, sizeGrip.width() - y, 1);
    }
    return region;
}

Qt::Edges GripEdges(Qt::LayoutDirection direction) {
    return Qt::BottomEdge | (direction == Qt::RightToLeft ? Qt::LeftEdge : Qt::RightEdge);
}

CSizeGrip::CSizeGrip() {
    const int nExtent = QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    m_sizeGrip = QSize(nExtent, nExtent);
}

bool CSizeGrip::CreateGrip() {
    QWidget* pOwner = GetLayoutWnd();
    if (pOwner == nullptr) {
        return false;
    }
    m_pGrip = new CGripWidget(pOwner);
    m_pGrip->resize(m_sizeGrip);
    m_pGrip->setMask(GripRegion(m_sizeGrip));
    PlaceGrip();
    ShowGrip(true);
    return true;
}

void CSizeGrip::PlaceGrip() {
    QWidget* pOwner = GetLayoutWnd();
    if (m_pGrip == nullptr || pOwner == nullptr) {
        return;
    }
    const QRect rcClient = pOwner->rect();
    m_pGrip->move(rcClient.right() + 1 - m_sizeGrip.width(),
                  rcClient.bottom() + 1 - m_sizeGrip.height());
    m_pGrip->lower();
    m_pGrip->setEnabled(!pOwner->isMaximized());
}

void CSizeGrip::ShowGrip(bool bShow) {
    if (m_pGrip != nullptr) {
        m_pGrip->setVisible(bShow);
    }
}
