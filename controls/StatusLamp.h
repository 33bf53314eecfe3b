// CStatusLamp: a flat button that shows whether a line is active, with an off and an on picture
// (resource ids, white transparent). It is meant as a disabled window that keeps its pictures in
// full colour; it takes no focus.
//
// Assistive technology reads it as a checkable, read-only button whose checked state is the lamp's
// state, described as "有效" (active) or "无效" (inactive); each change of state is announced as a
// state change. Its name is its caption, or its accessible name when it has none.
#pragma once
#include "FlatButton.h"

class CStatusLamp : public CFlatButton {
    Q_OBJECT
public:
    CStatusLamp(int nBitmapOff, int nBitmapOn, QWidget* pParent = nullptr);

    // Shows the on or the off picture (loaded afresh each time).
    void SetLit(bool bLit);
    bool IsLit() const { return m_bLit; }
    // The picture's resource id now shown.
    int Bitmap() const { return m_bLit ? m_nBitmapOn : m_nBitmapOff; }

private:
    int m_nBitmapOff;
    int m_nBitmapOn;
    bool m_bLit = false;
};
