#include "CounterStyle.h"

#include <QApplication>
#include <QPainter>
#include <QPointer>
#include <QStyleOption>
#include <QWidget>

namespace {

// A few sizes and states (focus, hover) at most: more means something keeps changing.
constexpr std::size_t kMaxPanels = 8;

}  // namespace

CCounterStyle* CCounterStyle::Instance() {
    static QPointer<CCounterStyle> s_pStyle;
    if (s_pStyle.isNull()) {
        s_pStyle = new CCounterStyle;
        s_pStyle->setParent(qApp);
    }
    return s_pStyle;
}

void CCounterStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* pOption,
                                  QPainter* pPainter, const QWidget* pWidget) const {
    const auto* pFrame = qstyleoption_cast<const QStyleOptionFrame*>(pOption);
    // Only a panel drawn unscaled over the widget's own fill is known to look the same copied.
    if (element != PE_PanelLineEdit || pFrame == nullptr || pWidget == nullptr ||
        !pWidget->autoFillBackground() || !pPainter->transform().isIdentity()) {
        QProxyStyle::drawPrimitive(element, pOption, pPainter, pWidget);
        return;
    }
    pPainter->drawImage(pFrame->rect.topLeft(),
                        Panel(*pFrame, *pWidget, pPainter->device()->devicePixelRatio()));
}

const QImage& CCounterStyle::Panel(const QStyleOptionFrame& frame, const QWidget& widget,
                                   qreal fPixelRatio) const {
    const SPanelKey key{frame.rect.size(),       frame.state,     frame.palette.cacheKey(),
                        widget.backgroundRole(), frame.lineWidth, fPixelRatio};
    for (const auto& [panelKey, image] : m_arrPanels) {
        if (panelKey == key) {
            return image;
        }
    }
    if (m_arrPanels.size() >= kMaxPanels) {
        m_arrPanels.clear();
    }
    QImage image(frame.rect.size() * fPixelRatio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(fPixelRatio);
    QPainter painter(&image);
    const QRect rect(QPoint(0, 0), frame.rect.size());
    painter.fillRect(rect, widget.palette().brush(widget.backgroundRole()));
    QStyleOptionFrame at = frame;
    at.rect = rect;
    QProxyStyle::drawPrimitive(PE_PanelLineEdit, &at, &painter, &widget);
    painter.end();
    m_arrPanels.emplace_back(key, std::move(image));
    return m_arrPanels.back().second;
}
