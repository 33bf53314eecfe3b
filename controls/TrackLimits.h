#pragma once
// CTrackLimits: the smallest size a window may be dragged to. The window manager learns it as the
// window's minimum size hint, and Qt refuses smaller sizes asked for in code; maximising is not
// limited.
#include <QSize>

class QWidget;

class CTrackLimits {
public:
    virtual ~CTrackLimits() = default;

    void SetMinTrack(QSize size) {
        m_bMinTrack = true;
        m_sizeMinTrack = size;
    }
    // Hands the limits that are set to the window.
    void ApplyTrackLimits(QWidget& wnd) const;

protected:
    bool m_bMinTrack = false;
    QSize m_sizeMinTrack;
};
