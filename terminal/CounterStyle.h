#pragma once
// CCounterStyle: the style of the RX and TX counters. They change at every refresh of the receive
// box while bytes stream; their frame never does. The line edit's panel, over the background the
// counter fills itself with, is drawn once per size, state and palette into a picture, and copied
// from it at every later paint: the same pixels, without the antialiased strokes each time. All
// else is the application style's.
#include <QImage>
#include <QPalette>
#include <QProxyStyle>
#include <utility>
#include <vector>

class QStyleOptionFrame;

class CCounterStyle : public QProxyStyle {
public:
    // One for all counters, owned by the application.
    static CCounterStyle* Instance();

    void drawPrimitive(PrimitiveElement element, const QStyleOption* pOption, QPainter* pPainter,
                       const QWidget* pWidget) const override;

private:
    // What the panel's pixels depend on.
    struct SPanelKey {
        QSize size;
        QStyle::State state;
        qint64 nPaletteKey = 0;
        QPalette::ColorRole eBackground = QPalette::Window;
        int nLineWidth = 0;
        qreal fPixelRatio = 1;
        bool operator==(const SPanelKey&) const = default;
    };
    const QImage& Panel(const QStyleOptionFrame& frame, const QWidget& widget,
                        qreal fPixelRatio) const;

    mutable std::vector<std::pair<SPanelKey, QImage>> m_arrPanels;
};
