#include "TrackLimits.h"

#include <QWidget>

void CTrackLimits::ApplyTrackLimits(QWidget& wnd) const {
    if (m_bMinTrack) {
        wnd.setMinimumSize(m_sizeMinTrack);
    }
}
