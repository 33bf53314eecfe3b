#include "FlatButton.h"

#include <QApplication>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QUrl>
#include <algorithm>

namespace {

constexpr QRgb kRgbMask = 0x00FFFFFF;

void FillRect(QPainter& painter, int x, int y, int cx, int cy, const QColor& cr) {
    if (cx > 0 && cy > 0) {
        painter.fillRect(x, y, cx, cy, cr);
    }
}

void FrameRect(QPainter& painter, const QRect& rc, const QColor& cr) {
    FillRect(painter, rc.x(), rc.y(), rc.width(), 1, cr);
    FillRect(painter, rc.x(), rc.y() + rc.height() - 1, rc.width(), 1, cr);
    FillRect(painter, rc.x(), rc.y(), 1, rc.height(), cr);
    FillRect(painter, rc.x() + rc.width() - 1, rc.y(), 1, rc.height(), cr);
}

// Top and left edges in crTopLeft (without the far corners), right and bottom in crBottomRight.
void Draw3dRect(QPainter& painter, const QRect& rc, const QColor& crTopLeft,
                const QColor& crBottomRight) {
    const int x = rc.x(), y = rc.y(), cx = rc.width(), cy = rc.height();
    FillRect(painter, x, y, cx - 1, 1, crTopLeft);
    FillRect(painter, x, y, 1, cy - 1, crTopLeft);
    FillRect(painter, x + cx - 1, y, 1, cy, crBottomRight);
    FillRect(painter, x, y + cy - 1, cx, 1, crBottomRight);
}

// An axis-aligned line from ptFrom up to, but not including, ptTo.
void Segment(QPainter& painter, QPoint ptFrom, QPoint ptTo, const QColor& cr) {
    const int dx = (ptTo.x() > ptFrom.x()) - (ptTo.x() < ptFrom.x());
    const int dy = (ptTo.y() > ptFrom.y()) - (ptTo.y() < ptFrom.y());
    if (dx == 0 && dy == 0) {
        return;
    }
    const QPoint ptLast = ptTo - QPoint(dx, dy);
    painter.fillRect(
        QRect(QPoint(std::min(ptFrom.x(), ptLast.x()), std::min(ptFrom.y(), ptLast.y())),
              QPoint(std::max(ptFrom.x(), ptLast.x()), std::max(ptFrom.y(), ptLast.y()))),
        cr);
}

void Polyline(QPainter& painter, const QColor& cr, QPoint pt0, QPoint pt1, QPoint pt2) {
    Segment(painter, pt0, pt1, cr);
    Segment(painter, pt1, pt2, cr);
}

}  // namespace

CFlatButton::CFlatButton(QWidget* pParent) : QAbstractButton(pParent) {
    setMouseTracking(true);
    ResetColors(false);
    connect(this, &QAbstractButton::clicked, this, &CFlatButton::OnClicked);
}

CFlatButton::~CFlatButton() = default;

int CFlatButton::SetPressOffsetStyle(int nStyle, bool bRepaint) {
    if (nStyle != 0 && nStyle != 1) {
        return PRESS_STYLE_REFUSED;
    }
    m_ptPressedOffset = nStyle == 0 ? QPoint(1, 1) : QPoint(0, 2);
    if (bRepaint) {
        update();
    }
    return 0;
}

void CFlatButton::ResetColors(bool bRepaint) {
    const QColor crFace = palette().color(QPalette::Button);
    const QColor crText = palette().color(QPalette::ButtonText);
    m_arrColors = {crFace, crText, crFace, crText, crFace, crText};
    if (bRepaint) {
        update();
    }
}

void CFlatButton::SetColor(int nColor, const QColor& cr, bool bRepaint) {
    m_arrColors.at(nColor) = cr;
    if (bRepaint) {
        update();
    }
}

void CFlatButton::SetCheckBox(bool bCheckBox) {
    m_bIsCheckBox = bCheckBox;
    setCheckable(bCheckBox);
    update();
}

void CFlatButton::SetCheck(int nCheck) {
    if (m_bIsCheckBox) {
        setChecked(nCheck == 1 || nCheck == 2);
        update();
    }
}

void CFlatButton::SetMenu(std::unique_ptr<QMenu> pMenu, std::function<void(QMenu*)> fnBeforeShow) {
    m_pMenu = std::move(pMenu);
    m_fnMenuCallback = std::move(fnBeforeShow);
}

void CFlatButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    m_bIsPressed = isDown() || (m_bIsCheckBox ? isChecked() : m_bMenuShown);
    m_bIsFocused = hasFocus();
    m_bIsDisabled = !isEnabled();

    const QRect rcItem = rect();
    QRect rc = rcItem;
    PaintBackground(painter, rc);
    PaintBorder(painter, rc);

    const QString strText = text();
    const bool bHasCaption = !strText.isEmpty();
    QRect rcCaption = rcItem;
    if (!m_arrIcons[0].isNull()) {
        PaintIcon(painter, bHasCaption, rcItem, rcCaption, m_bIsPressed, m_bIsDisabled);
    }
    if (!m_arrBitmaps[0].isNull()) {
        PaintBitmap(painter, bHasCaption, rcItem, rcCaption, m_bIsPressed, m_bIsDisabled);
    }
    if (bHasCaption) {
        PaintCaption(painter, strText, rcItem, rcCaption, m_bIsPressed, m_bIsDisabled);
    }
    if ((!m_bIsFlat || m_bDrawFlatFocus) && m_bIsFocused) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = rc.adjusted(3, 3, -3, -3);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

void CFlatButton::PaintBackground(QPainter& painter, QRect& rc) {
    if (!m_bIsFlat && (m_bIsFocused || m_bIsDefault)) {
        FrameRect(painter, rc, Qt::black);
        rc.adjust(1, 1, -1, -1);
    }
    const int nColor = m_bMouseOnButton || m_bIsPressed ? COLOR_BK_IN
                       : m_bIsFocused                   ? COLOR_BK_FOCUS
                                                        : COLOR_BK_OUT;
    painter.fillRect(rc, m_arrColors[nColor]);
}

void CFlatButton::PaintBorder(QPainter& painter, const QRect& rc) {
    const QPalette& pal = palette();
    const QColor crShadow = pal.color(QPalette::Dark);
    const QColor crHighlight = pal.color(QPalette::Light);
    if (m_bIsPressed) {
        if (!m_bIsFlat) {
            FrameRect(painter, rc, crShadow);
        } else if (m_bDrawBorder) {
            Draw3dRect(painter, rc, crShadow, crHighlight);
        }
        return;
    }
    if (m_bIsFlat) {
        if (m_bMouseOnButton && m_bDrawBorder) {
            Draw3dRect(painter, rc, crHighlight, crShadow);
        }
        return;
    }
    // The classic raised button: two light edges top left, two dark ones bottom right.
    const int l = rc.x(), t = rc.y(), r = rc.x() + rc.width(), b = rc.y() + rc.height();
    Polyline(painter, crHighlight, {l, b - 1}, {l, t}, {r, t});
    Polyline(painter, pal.color(QPalette::Midlight), {l + 1, b - 1}, {l + 1, t + 1}, {r, t + 1});
    Polyline(painter, pal.color(QPalette::Shadow), {l, b - 1}, {r - 1, b - 1}, {r - 1, t - 1});
    Polyline(painter, crShadow, {l + 1, b - 2}, {r - 2, b - 2}, {r - 2, t});
}

const QPixmap& CFlatButton::ChooseImage(const std::array<QPixmap, 2>& arrImages) const {
    const bool bIn = m_bIsCheckBox ? m_bIsPressed : (m_bIsPressed || m_bMouseOnButton);
    return bIn || arrImages[1].isNull() ? arrImages[0] : arrImages[1];
}

QRect CFlatButton::PlaceImage(bool bHasCaption, const QRect& rcItem, QRect& rcCaption,
                              bool bPressed, QSize size) const {
    const int cx = size.width(), cy = size.height();
    QPoint pt = rcItem.topLeft();
    switch (m_nAlign) {
        case ALIGN_IMAGE_LEFT:
            if (bHasCaption) {
                pt.rx() += m_ptImageMargin.x();
                rcCaption.setLeft(rcCaption.left() + cx + m_ptImageMargin.x());
            } else {
                pt.rx() += (rcItem.width() - cx) / 2;
            }
            pt.ry() += (rcItem.height() - cy) / 2;
            break;
        case ALIGN_IMAGE_TOP:
            pt.rx() += (rcItem.width() - cx) / 2;
            if (bHasCaption) {
                pt.ry() = m_ptImageMargin.y();
                rcCaption.setTop(rcCaption.top() + cy);
            } else {
                pt.ry() += (rcItem.height() - cy) / 2;
            }
            break;
        case ALIGN_IMAGE_RIGHT:
            if (bHasCaption) {
                // The caption keeps the left part; its right edge (exclusive) as computed.
                rcCaption.setRight(rcCaption.width() - cx - m_ptImageMargin.x() - 1);
                rcCaption.setLeft(m_ptImageMargin.x());
                pt.rx() = rect().width() - cx - m_ptImageMargin.x();
                pt.ry() += (rcItem.height() - cy) / 2;
            } else {
                pt.rx() += (rcItem.width() - cx) / 2;
            }
            break;
        default:
            break;
    }
    if (bPressed && !m_bIsCheckBox) {
        pt += m_ptPressedOffset;
    }
    return QRect(pt, size);
}

void CFlatButton::PaintImage(QPainter& painter, const QPixmap& pixmap, QPoint pt,
                             bool bEmbossed) const {
    if (!bEmbossed) {
        painter.drawPixmap(pt, pixmap);
        return;
    }
    // The disabled look: every shown pixel that is not white becomes ink, drawn in the highlight
    // colour one pixel down and right, then in the shadow colour in place.
    const QImage img = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    QImage imgLight(img.size(), QImage::Format_ARGB32);
    QImage imgDark(img.size(), QImage::Format_ARGB32);
    const QRgb rgbLight = palette().color(QPalette::Light).rgb();
    const QRgb rgbDark = palette().color(QPalette::Dark).rgb();
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            const QRgb rgb = img.pixel(x, y);
            const bool bInk = qAlpha(rgb) >= 128 && (rgb & kRgbMask) != kRgbMask;
            imgLight.setPixel(x, y, bInk ? rgbLight : 0);
            imgDark.setPixel(x, y, bInk ? rgbDark : 0);
        }
    }
    painter.drawImage(pt + QPoint(1, 1), imgLight);
    painter.drawImage(pt, imgDark);
}

void CFlatButton::PaintIcon(QPainter& painter, bool bHasCaption, const QRect& rcItem,
                            QRect& rcCaption, bool bPressed, bool bDisabled) {
    const QPixmap& pixmap = ChooseImage(m_arrIcons);
    const QRect rcImage = PlaceImage(bHasCaption, rcItem, rcCaption, bPressed, pixmap.size());
    PaintImage(painter, pixmap, rcImage.topLeft(), bDisabled);
}

void CFlatButton::PaintBitmap(QPainter& painter, bool bHasCaption, const QRect& rcItem,
                              QRect& rcCaption, bool bPressed, bool bDisabled) {
    const QPixmap& pixmap = ChooseImage(m_arrBitmaps);
    const QRect rcImage = PlaceImage(bHasCaption, rcItem, rcCaption, bPressed, pixmap.size());
    PaintImage(painter, pixmap, rcImage.topLeft(), bDisabled && m_bGreyDisabledImage);
}

void CFlatButton::PaintCaption(QPainter& painter, const QString& strText, const QRect&,
                               QRect& rcCaption, bool bPressed, bool bDisabled) {
    if (bPressed && !m_bIsCheckBox) {
        rcCaption.translate(m_ptPressedOffset);
    }
    constexpr int kFlags = Qt::TextWordWrap | Qt::AlignHCenter;
    // Measured with word wrap at the caption's width, then centred in the caption rectangle.
    const QSize size = fontMetrics().boundingRect(rcCaption, kFlags, strText).size();
    const QRect rcText(rcCaption.x() + (rcCaption.width() - size.width()) / 2,
                       rcCaption.y() + (rcCaption.height() - size.height()) / 2, size.width(),
                       size.height());
    if (bDisabled) {
        painter.setPen(palette().color(QPalette::Light));
        painter.drawText(rcText.translated(1, 1), kFlags, strText);
        painter.setPen(palette().color(QPalette::Dark));
        painter.drawText(rcText, kFlags, strText);
        return;
    }
    const int nColor = m_bMouseOnButton || bPressed ? COLOR_FG_IN
                       : m_bIsFocused               ? COLOR_FG_FOCUS
                                                    : COLOR_FG_OUT;
    painter.setPen(m_arrColors[nColor]);
    painter.drawText(rcText, kFlags, strText);
}

void CFlatButton::keyPressEvent(QKeyEvent* pEvent) {
    const bool bEnter = pEvent->key() == Qt::Key_Return || pEvent->key() == Qt::Key_Enter;
    if (bEnter && pEvent->modifiers() == Qt::NoModifier) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(pEvent);
}

void CFlatButton::mouseMoveEvent(QMouseEvent* pEvent) {
    QAbstractButton::mouseMoveEvent(pEvent);
    if ((pEvent->buttons() & Qt::LeftButton) && !m_bMouseOnButton) {
        return;
    }
    if (!m_bIsFlat) {
        return;
    }
    const QWidget* pReference = m_bAlwaysTrack ? this : QApplication::activeWindow();
    if (pReference != nullptr && rect().contains(pEvent->position().toPoint())) {
        if (!m_bMouseOnButton) {
            m_bMouseOnButton = true;
            update();
        }
        return;
    }
    EndHover();
}

void CFlatButton::leaveEvent(QEvent* pEvent) {
    QAbstractButton::leaveEvent(pEvent);
    EndHover();
}

void CFlatButton::focusOutEvent(QFocusEvent* pEvent) {
    QAbstractButton::focusOutEvent(pEvent);
    EndHover();
}

void CFlatButton::changeEvent(QEvent* pEvent) {
    QAbstractButton::changeEvent(pEvent);
    switch (pEvent->type()) {
        case QEvent::EnabledChange:
            // Qt has already moved the focus on from a disabled button.
            if (!isEnabled()) {
                EndHover();
            }
            break;
        case QEvent::ActivationChange:
            if (!isActiveWindow()) {
                EndHover();
            }
            break;
        case QEvent::PaletteChange:
            ResetColors(true);
            break;
        default:
            break;
    }
}

void CFlatButton::EndHover() {
    if (m_bIsFlat && m_bMouseOnButton) {
        m_bMouseOnButton = false;
        update();
    }
}

void CFlatButton::OnClicked() {
    if (focusPolicy() & Qt::ClickFocus) {
        setFocus(Qt::MouseFocusReason);
    }
    if (m_bIsCheckBox) {
        update();  // the click has toggled the check state already
    } else if (m_pMenu) {
        DropMenu();
    } else if (!m_strURL.isEmpty()) {
        QDesktopServices::openUrl(QUrl::fromUserInput(m_strURL));
    }
}

void CFlatButton::DropMenu() {
    QPointer<CFlatButton> pSelf(this);
    m_bMenuShown = true;
    update();
    if (m_fnMenuCallback) {
        m_fnMenuCallback(m_pMenu.get());
    }
    m_pMenu->exec(mapToGlobal(QPoint(0, height())));
    if (pSelf) {
        m_bMenuShown = false;
        update();
    }
}
