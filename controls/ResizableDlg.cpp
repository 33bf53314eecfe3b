#include "ResizableDlg.h"

#include <QEvent>

CResizableDlg::CResizableDlg(std::string strProfilePath, QWidget* pParent)
    : QDialog(pParent), CPlacementStore(std::move(strProfilePath)) {
    setSizeGripEnabled(false);  // the grip is our own
    CreateGrip();
}

CResizableDlg::~CResizableDlg() {
    if (m_bSavePlacement) {
        SavePlacement(m_strSection, m_bPlainRect);
    }
    ClearAnchors();
}

bool CResizableDlg::EnablePlacementSave(std::string_view section, bool bPlainRect) {
    m_strSection = section;
    m_bSavePlacement = true;
    m_bPlainRect = bPlainRect;
    const bool bRestored = RestorePlacement(section, bPlainRect);
    // The restored size may be the one the window has already: lay out for it either way.
    ApplyLayout();
    return bRestored;
}

void CResizableDlg::OnInitDialog() {
    SetMinTrack(size());
    ApplyTrackLimits(*this);
    PlaceGrip();
    m_bLayoutReady = true;
}

void CResizableDlg::showEvent(QShowEvent* pEvent) {
    // Runs before the window reaches the screen, so a restored placement shows at once.
    if (!m_bInitDone) {
        m_bInitDone = true;
        OnInitDialog();
    }
    QDialog::showEvent(pEvent);
}

void CResizableDlg::resizeEvent(QResizeEvent* pEvent) {
    QDialog::resizeEvent(pEvent);
    if (m_bLayoutReady) {
        PlaceGrip();
        ApplyLayout();
    }
}

void CResizableDlg::changeEvent(QEvent* pEvent) {
    QDialog::changeEvent(pEvent);
    if (pEvent->type() == QEvent::WindowStateChange && m_bLayoutReady) {
        PlaceGrip();  // disabled while maximised
    }
}
