#include "MenuStyle.h"

#include <QFontMetrics>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRect>
#include <algorithm>
#include <cstdlib>

#include "NewMenuIcons.h"

namespace {

QColor MixChannels(const QColor& a, const QColor& b, int nPercentA) {
    const auto channel = [nPercentA](int x, int y) {
        return std::min(255, MulDiv(x, nPercentA, 100) + MulDiv(y, 100 - nPercentA, 100));
    };
    return QColor(channel(a.red(), b.red()), channel(a.green(), b.green()),
                  channel(a.blue(), b.blue()));
}

// Where the accelerator text starts, or -1.
int TabAt(const QString& str) {
    return static_cast<int>(str.indexOf(u'\t'));
}

int TextFlags(const SMenuItemLook& item) {
    return Qt::TextSingleLine | Qt::AlignVCenter |
           (item.bShowPrefix ? Qt::TextShowMnemonic : Qt::TextHideMnemonic);
}

QFont ItemFont(const SMenuItemLook& item) {
    QFont font = item.font;
    if (item.bDefault) {
        font.setWeight(QFont::Bold);
    }
    return font;
}

// The small black triangle that marks an item opening a submenu, centred in the far margin.
void DrawSubmenuArrow(QPainter& painter, const QRect& rcItem, bool bRightToLeft,
                      const QColor& color) {
    const int nHalf = 3;
    const int yMid = rcItem.center().y();
    const int xBase = bRightToLeft ? rcItem.left() + 9 : rcItem.right() - 9;
    const int xTip = bRightToLeft ? xBase - nHalf : xBase + nHalf;
    QPainterPath path;
    path.moveTo(xBase, yMid - nHalf);
    path.lineTo(xTip, yMid);
    path.lineTo(xBase, yMid + nHalf);
    path.closeSubpath();
    painter.fillPath(path, color);
}

}  // namespace

int MulDiv(int nNumber, int nNumerator, int nDenominator) {
    if (nDenominator == 0) {
        return -1;
    }
    const long long llProduct = static_cast<long long>(nNumber) * nNumerator;
    const long long llHalf = std::llabs(nDenominator) / 2;
    const bool bNegative = (llProduct < 0) != (nDenominator < 0);
    const long long llResult = (std::llabs(llProduct) + llHalf) / std::llabs(nDenominator);
    return static_cast<int>(bNegative ? -llResult : llResult);
}

QColor Mix86(const QColor& a, const QColor& b) {
    return MixChannels(a, b, 86);
}

QColor Mix70(const QColor& a, const QColor& b) {
    return MixChannels(a, b, 70);
}

QColor Darken(int n, const QColor& c) {
    return QColor(MulDiv(c.red(), 255 - n, 255), MulDiv(c.green(), 255 - n, 255),
                  MulDiv(c.blue(), 255 - n, 255), c.alpha());
}

SMenuColors SMenuColors::FromPalette(const QPalette& palette, bool bFewColors) {
    SMenuColors colors;
    colors.crMenu = palette.color(QPalette::Active, QPalette::Window);
    colors.crWindow = palette.color(QPalette::Active, QPalette::Base);
    colors.crHighlight = palette.color(QPalette::Active, QPalette::Highlight);
    colors.crMenuText = palette.color(QPalette::Active, QPalette::WindowText);
    colors.crGrayText = palette.color(QPalette::Disabled, QPalette::WindowText);
    colors.crBtnFace = palette.color(QPalette::Active, QPalette::Button);
    colors.crBtnShadow = palette.color(QPalette::Active, QPalette::Dark);
    colors.bFewColors = bFewColors;
    return colors;
}

QColor SMenuColors::TextArea() const {
    return Mix86(crWindow, crMenu);
}

QColor SMenuColors::IconColumn() const {
    return bFewColors ? crBtnFace : Mix86(crMenu, crWindow);
}

QColor SMenuColors::SelectionFill() const {
    return bFewColors ? crWindow : Mix70(crWindow, crHighlight);
}

QColor SMenuColors::IconShadow() const {
    const QColor fill = SelectionFill();
    return QColor(MulDiv(fill.red(), 7, 10), MulDiv(fill.green(), 7, 10),
                  std::min(255, MulDiv(fill.blue() + 55, 7, 10)));
}

QFont CMenuStyle::TitleFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(16);
    font.setWeight(QFont::Bold);
    return font;
}

QSize CMenuStyle::MeasureItem(const SMenuItemLook& item) const {
    if (item.bTitle) {
        return MeasureTitle(item);
    }
    if (item.bSeparator) {
        return QSize(3, 3);
    }
    const QFontMetrics fm(ItemFont(item));
    QString strMeasured = item.strText;
    strMeasured.replace(u'\t', QStringLiteral("nnn"));
    const int nTextWidth = fm.boundingRect(QRect(), TextFlags(item), strMeasured).width();
    const int nWidth =
        (item.bSubmenu ? m_nCyMenu : m_nCyMenu / 2) + item.szIcon.width() + nTextWidth + 6;
    int nHeight = m_nCyMenu;
    if (item.szIcon.height() + 8 >= m_nCyMenu) {
        nHeight = item.szIcon.height() + 7;
    }
    return QSize(nWidth, std::max(nHeight, fm.height()));
}

QSize CMenuStyle::MeasureTitle(const SMenuItemLook& item) const {
    const QFontMetrics fm(TitleFont());
    const int nGroove = (item.nTitleFlags & MFT_TITLE_GROOVE) ? 8 : 0;
    return QSize(fm.horizontalAdvance(item.strText) + 4, fm.height() + 4 + nGroove);
}

void CMenuStyle::DrawItem(QPainter& painter, const QRect& rcItem, const SMenuItemLook& item,
                          const SMenuColors& colors) const {
    if (item.bTitle) {
        DrawTitle(painter, rcItem, item, colors);
        return;
    }
    QColor crTextArea = colors.TextArea();
    QColor crColumn = colors.IconColumn();
    if (crTextArea == crColumn) {
        crTextArea = colors.crWindow;
        crColumn = colors.crMenu;
    }
    const int nColumn = item.szIcon.width() + 8;
    QRect rcColumn = rcItem;
    QRect rcTextArea = rcItem;
    QRect rcText = rcItem;
    if (item.bRightToLeft) {
        rcColumn.setLeft(rcItem.right() - nColumn + 1);
        rcTextArea.setRight(rcColumn.left() - 1);
        rcText = rcTextArea.adjusted(15, 0, -4, 0);
    } else {
        rcColumn.setWidth(nColumn);
        rcTextArea.setLeft(rcColumn.right() + 1);
        rcText = rcTextArea.adjusted(4, 0, -15, 0);
    }
    painter.fillRect(rcColumn, crColumn);
    painter.fillRect(rcTextArea, crTextArea);

    if (item.bSeparator) {
        const int y = rcItem.top() + rcItem.height() / 2;
        const int x0 = item.bRightToLeft ? rcItem.left() : rcText.left();
        const int x1 = item.bRightToLeft ? rcText.right() : rcItem.right();
        painter.fillRect(QRect(QPoint(x0, y), QPoint(x1, y)), colors.crGrayText);
        return;
    }
    if (item.bSelected) {
        painter.fillRect(rcItem, colors.SelectionFill());
        painter.setPen(colors.SelectionFrame());
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rcItem.adjusted(0, 0, -1, -1));
    }
    if (item.pIcons != nullptr && item.nIconIndex >= 0) {
        DrawIcon(painter, rcColumn, item, colors);
    } else {
        DrawCheck(painter, rcColumn, item, colors);
    }

    const QColor crText = item.bGrayed ? colors.crGrayText : colors.crMenuText;
    painter.setPen(crText);
    painter.setFont(ItemFont(item));
    const int nTab = TabAt(item.strText);
    const QString strLabel = nTab < 0 ? item.strText : item.strText.left(nTab);
    const int nNear = item.bRightToLeft ? Qt::AlignRight : Qt::AlignLeft;
    const int nFar = item.bRightToLeft ? Qt::AlignLeft : Qt::AlignRight;
    painter.drawText(rcText, TextFlags(item) | nNear, strLabel);
    if (nTab >= 0) {
        painter.drawText(rcText, TextFlags(item) | nFar, item.strText.mid(nTab + 1));
    }
    if (item.bSubmenu) {
        DrawSubmenuArrow(painter, rcItem, item.bRightToLeft, crText);
    }
}

void CMenuStyle::DrawIcon(QPainter& painter, const QRect& rcColumn, const SMenuItemLook& item,
                          const SMenuColors& colors) const {
    const QSize szOwn = item.pIcons->IconSize();
    const int nInset = 3 + std::max(0, (item.szIcon.width() - szOwn.width()) / 2);
    const QPoint ptIcon(item.bRightToLeft ? rcColumn.right() - nInset - szOwn.width() + 1
                                          : rcColumn.left() + nInset,
                        rcColumn.top() + (rcColumn.height() - szOwn.height()) / 2);
    if (item.bChecked) {
        const QRect rcArea = rcColumn.adjusted(1, 1, -2, -2);
        painter.fillRect(rcArea, item.bSelected ? Mix86(colors.SelectionFill(), colors.crHighlight)
                                                : Mix86(colors.IconColumn(), colors.crHighlight));
        painter.setPen(colors.SelectionFrame());
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rcArea);
    }
    const int nIcon = item.nIconIndex;
    if (item.bGrayed) {
        painter.drawImage(ptIcon, item.pIcons->Image(nIcon, CNewMenuIcons::IMAGE_DISABLED));
    } else if (item.bSelected && !item.bChecked) {
        // Raised: the icon's shape in the shadow colour below and right, the icon above and left.
        QImage imgShape = item.pIcons->Image(nIcon, CNewMenuIcons::IMAGE_ICON);
        QPainter shape(&imgShape);
        shape.setCompositionMode(QPainter::CompositionMode_SourceIn);
        shape.fillRect(imgShape.rect(), colors.IconShadow());
        shape.end();
        painter.drawImage(ptIcon + QPoint(1, 1), imgShape);
        painter.drawImage(ptIcon - QPoint(1, 1),
                          item.pIcons->Image(nIcon, CNewMenuIcons::IMAGE_ICON));
    } else if (item.bSelected) {
        painter.drawImage(ptIcon, item.pIcons->Image(nIcon, CNewMenuIcons::IMAGE_ICON));
    } else {
        painter.drawImage(ptIcon, item.pIcons->Image(nIcon, CNewMenuIcons::IMAGE_DARK));
    }
}

void CMenuStyle::DrawCheck(QPainter& painter, const QRect& rcColumn, const SMenuItemLook& item,
                           const SMenuColors& colors) const {
    if (!item.bChecked) {
        return;
    }
    const QRect rcArea = rcColumn.adjusted(2, 1, -3, -2);
    QColor crFill = Mix86(colors.IconColumn(), colors.crHighlight);
    if (item.bSelected) {
        crFill = colors.bFewColors ? colors.SelectionFill()
                                   : Mix86(colors.SelectionFill(), colors.crHighlight);
    }
    painter.fillRect(rcArea, crFill);
    painter.setPen(colors.SelectionFrame());
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rcArea);

    // The mark fills the area inset by 2 pixels, a square centred in it.
    const QRect rcMark = rcArea.adjusted(2, 2, -1, -1);
    const int nSide = std::min(rcMark.width(), rcMark.height());
    const QRectF rcSquare(rcMark.left() + (rcMark.width() - nSide) / 2.0,
                          rcMark.top() + (rcMark.height() - nSide) / 2.0, nSide, nSide);
    const QColor crMark = item.bGrayed ? colors.crGrayText : colors.crMenuText;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (item.bRadio) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(crMark);
        painter.drawEllipse(rcSquare.center(), nSide * 0.18, nSide * 0.18);
    } else {
        const qreal dPen = std::max(1.5, nSide / (item.bDefault ? 6.0 : 8.0));
        painter.setPen(QPen(crMark, dPen, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        const auto at = [&rcSquare](qreal x, qreal y) {
            return QPointF(rcSquare.left() + x * rcSquare.width(),
                           rcSquare.top() + y * rcSquare.height());
        };
        painter.drawPolyline(QPolygonF({at(0.22, 0.50), at(0.42, 0.70), at(0.78, 0.30)}));
    }
    painter.restore();
}

void CMenuStyle::DrawTitle(QPainter& painter, const QRect& rcItem, const SMenuItemLook& item,
                           const SMenuColors& colors) const {
    const unsigned nFlags = item.nTitleFlags;
    painter.fillRect(rcItem, colors.TextArea());
    if (nFlags & MFT_TITLE_GRADIENT) {
        QLinearGradient gradient(rcItem.topLeft(), rcItem.topRight());
        gradient.setColorAt(0, item.crTitleBack);
        gradient.setColorAt(1, item.crTitleGradient);
        painter.fillRect(rcItem, gradient);
    } else if (nFlags & MFT_TITLE_ROUNDED) {
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(item.crTitleBack);
        painter.drawRoundedRect(QRectF(rcItem).adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
        painter.restore();
    } else {
        painter.fillRect(rcItem, item.crTitleBack);
    }
    const QColor crLight = Mix70(QColor(Qt::white), colors.crMenu);
    if (nFlags & MFT_TITLE_SUNKEN) {
        painter.fillRect(rcItem.left(), rcItem.top(), rcItem.width(), 1, colors.crBtnShadow);
        painter.fillRect(rcItem.left(), rcItem.top(), 1, rcItem.height(), colors.crBtnShadow);
        painter.fillRect(rcItem.left(), rcItem.bottom(), rcItem.width(), 1, crLight);
        painter.fillRect(rcItem.right(), rcItem.top(), 1, rcItem.height(), crLight);
    }
    QRect rcText = rcItem.adjusted(2, 2, -2, -2);
    if (nFlags & MFT_TITLE_GROOVE) {
        // A raised and a sunken line under the text.
        const int y = rcItem.bottom() - 4;
        painter.fillRect(rcItem.left() + 2, y, rcItem.width() - 4, 1, colors.crBtnShadow);
        painter.fillRect(rcItem.left() + 2, y + 1, rcItem.width() - 4, 1, crLight);
        rcText.setBottom(y - 2);
    }
    painter.setFont(TitleFont());
    painter.setPen(item.crTitleText);
    const int nAlign = (nFlags & MFT_TITLE_CENTER) ? Qt::AlignHCenter : Qt::AlignLeft;
    painter.drawText(rcText, Qt::TextSingleLine | Qt::AlignVCenter | nAlign, item.strText);
}

QMargins CMenuStyle::FrameSizes(bool bSystemShadows) {
    return bSystemShadows ? QMargins(2, 2, 1, 2) : QMargins(2, 2, 5, 6);
}

void CMenuStyle::PaintFrame(QPainter& painter, const QSize& szWindow, bool bSystemShadows,
                            const QImage& imgBelow, const SMenuColors& colors) const {
    const int nW = szWindow.width();
    const int nH = szWindow.height();
    const QRect rcBox = bSystemShadows ? QRect(0, 0, nW, nH) : QRect(0, 0, nW - 4, nH - 4);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(colors.Border());
    painter.drawRect(rcBox.adjusted(0, 0, -1, -1));
    painter.setPen(colors.TextArea());
    painter.drawRect(rcBox.adjusted(1, 1, -2, -2));
    painter.fillRect(1, 2, 1, rcBox.height() - 3, colors.IconColumn());
    if (bSystemShadows) {
        return;
    }

    // The shadow: what lay beneath, darkened more toward the menu, fading in along each edge.
    QImage imgShadow(nW, nH, QImage::Format_RGB32);
    const auto below = [&](int x, int y) {
        return imgBelow.valid(x, y) ? imgBelow.pixelColor(x, y) : colors.crMenu;
    };
    const auto fade = [](int n, int nAlong) {
        if (nAlong < 4) {
            return 0;
        }
        return nAlong < 8 ? n * (nAlong - 3) / 5 : n;
    };
    for (int y = 0; y < nH; ++y) {
        for (int x = 0; x < nW; ++x) {
            if (rcBox.contains(x, y)) {
                continue;
            }
            const int nRight = x >= rcBox.width() ? fade(30 * (nW - x), y) : 0;
            const int nBottom = y >= rcBox.height() ? fade(30 * (nH - y), x) : 0;
            int n =
                (nRight > 0 && nBottom > 0) ? std::min(nRight, nBottom) : std::max(nRight, nBottom);
            QColor crPixel = below(x, y);
            if (colors.bFewColors) {
                const bool bBand = (x >= rcBox.width() && x < rcBox.width() + 2 && y >= 4) ||
                                   (y >= rcBox.height() && y < rcBox.height() + 2 && x >= 4);
                n = 0;
                if (bBand) {
                    crPixel = colors.crBtnShadow;
                }
            }
            imgShadow.setPixelColor(x, y, Darken(n, crPixel));
        }
    }
    painter.drawImage(QRect(rcBox.width(), 0, nW - rcBox.width(), nH), imgShadow,
                      QRect(rcBox.width(), 0, nW - rcBox.width(), nH));
    painter.drawImage(QRect(0, rcBox.height(), rcBox.width(), nH - rcBox.height()), imgShadow,
                      QRect(0, rcBox.height(), rcBox.width(), nH - rcBox.height()));
}
