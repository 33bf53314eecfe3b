#include "PortCombo.h"

void CPortCombo::SetBeforePopup(std::function<void()> fnBeforePopup) {
    m_fnBeforePopup = std::move(fnBeforePopup);
}

void CPortCombo::showPopup() {
    if (m_fnBeforePopup) {
        m_fnBeforePopup();
    }
    QComboBox::showPopup();
}
