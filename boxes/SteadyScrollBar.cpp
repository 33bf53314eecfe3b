#include "SteadyScrollBar.h"

#include <QStyleOptionSlider>

CSteadyScrollBar::CSteadyScrollBar(Qt::Orientation orientation, QWidget* pParent)
    : QScrollBar(orientation, pParent) {}

void CSteadyScrollBar::sliderChange(SliderChange change) {
    if (!m_bPainted || (change != SliderRangeChange && change != SliderValueChange)) {
        QScrollBar::sliderChange(change);
    } else if (!m_bCheckPending) {
        m_bCheckPending = true;
        QMetaObject::invokeMethod(this, &CSteadyScrollBar::OnMoved, Qt::QueuedConnection);
    }
}

void CSteadyScrollBar::OnMoved() {
    m_bCheckPending = false;
    if (!(CurrentLook() == m_painted)) {
        update();
    }
}

void CSteadyScrollBar::paintEvent(QPaintEvent* pEvent) {
    m_painted = CurrentLook();
    m_bPainted = true;
    QScrollBar::paintEvent(pEvent);
}

CSteadyScrollBar::SLook CSteadyScrollBar::CurrentLook() const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    return {
        style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this),
        value() <= minimum(), value() >= maximum()};
}
