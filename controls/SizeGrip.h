#pragma once
// CSizeGrip: the triangular size grip in the bottom-right corner of a window's client area.
//
// The grip is a child widget shaped to the triangle below its diagonal (row y keeps its rightmost
// y pixels, row 0 none), so the area above the diagonal belongs to the window beneath. Dragging it
// resizes the window from the bottom-right corner (bottom-left under a right-to-left layout),
// through the window manager when there is one, else by following the mouse. It lies beneath every
// other child; while the window is maximised it is disabled but still drawn.
#include <QPointer>
#include <QRegion>
#include <QSize>

class QWidget;

// The grip's shape for its size.
QRegion GripRegion(QSize sizeGrip);
// The window edges that a drag on the grip moves.
Qt::Edges GripEdges(Qt::LayoutDirection direction);

class CSizeGrip {
public:
    CSizeGrip();
    virtual ~CSizeGrip() = default;

    // Creates, shapes, places and shows the grip on GetLayoutWnd().
    bool CreateGrip();
    // Puts the grip in the bottom-right corner and enables it unless the window is maximised.
    void PlaceGrip();
    void ShowGrip(bool bShow);
    QWidget* GetGripWnd() const { return m_pGrip; }

protected:
    virtual QWidget* GetLayoutWnd() = 0;

    QSize m_sizeGrip;  // the scroll bar's thickness both ways
    QPointer<QWidget> m_pGrip;
};
