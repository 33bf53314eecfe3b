#pragma once
// CResizableDlg: a dialog whose registered controls follow the window's edges (CAnchorLayout),
// with a size grip (CSizeGrip), its designed size as its smallest (CTrackLimits) and its placement
// kept in the settings file (CPlacementStore).
//
// Calling order of a derived dialog: in its OnInitDialog, which runs when the window is first
// shown, call CResizableDlg::OnInitDialog first (the size at that moment becomes the minimum),
// then AnchorControl once per child, a group frame before the controls inside it, then
// EnablePlacementSave, which restores the saved placement at once. The placement is written when
// the dialog is destroyed.
#include <QDialog>
#include <string>
#include <string_view>

#include "AnchorLayout.h"
#include "PlacementStore.h"
#include "SizeGrip.h"
#include "TrackLimits.h"

class CResizableDlg : public QDialog,
                      public CAnchorLayout,
                      public CSizeGrip,
                      public CTrackLimits,
                      public CPlacementStore {
    Q_OBJECT
public:
    // strProfilePath: the settings file that keeps the placement.
    explicit CResizableDlg(std::string strProfilePath, QWidget* pParent = nullptr);
    ~CResizableDlg() override;

    // Saves the placement in section at destruction from now on, and restores it at once.
    bool EnablePlacementSave(std::string_view section, bool bPlainRect);

protected:
    // The base step of the initialisation; see the calling order above.
    virtual void OnInitDialog();

    QWidget* GetLayoutWnd() override { return this; }
    void showEvent(QShowEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;
    void changeEvent(QEvent* pEvent) override;

private:
    bool m_bSavePlacement = false;
    bool m_bPlainRect = false;
    std::string m_strSection;
    bool m_bLayoutReady = false;
    bool m_bInitDone = false;
};
