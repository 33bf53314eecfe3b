#pragma once
// CSteadyScrollBar: a scroll bar that repaints only when what it shows changes. A box that grows
// at the end moves its range and then its value at every refresh, while the slider, once the text
// is much longer than the view, keeps its place and size to the pixel: repainting it then costs a
// styled redraw (and the style's threaded gradient fills) for no visible change. A change of range
// or value is therefore looked at once the changes of the moment are over, and repaints the bar
// only if the result looks different from what was last painted.
#include <QRect>
#include <QScrollBar>

class CSteadyScrollBar : public QScrollBar {
    Q_OBJECT
public:
    explicit CSteadyScrollBar(Qt::Orientation orientation, QWidget* pParent = nullptr);

protected:
    void sliderChange(SliderChange change) override;
    void paintEvent(QPaintEvent* pEvent) override;

private:
    // What a range or value change can alter on screen: the slider's rectangle, and the ends'
    // arrows, which a style may draw differently at either end.
    struct SLook {
        QRect slider;
        bool bAtMin = false;
        bool bAtMax = false;
        bool operator==(const SLook&) const = default;
    };
    SLook CurrentLook() const;
    void OnMoved();

    SLook m_painted;
    bool m_bPainted = false;
    bool m_bCheckPending = false;
};
