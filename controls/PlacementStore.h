#pragma once
// CPlacementStore: a window's placement in the settings file, key "WindowPlacement" of a section,
// as "%d,%d,%d,%d,%d,%d": left, top, right, bottom of the normal (not maximised) rectangle in
// screen coordinates, the show command (1 normal, 2 minimised, 3 maximised) and the flags (2: a
// minimised window goes back to maximised). The rectangle is the window's own area without the
// frame, which the window manager draws.
//
// Restoring: a missing value, fewer than six integers, a number outside int or a rectangle without
// area leave the window as designed (text after the sixth integer is ignored). A rectangle that no
// screen shows enough of (saved on a monitor that is gone) is moved onto the nearest screen. In
// plain-rectangle mode only the rectangle is stored and restored, without the show state.
#include <QRect>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QWidget;

struct WindowPlacement {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int nShowCmd = 1;
    int nFlags = 0;
    friend bool operator==(const WindowPlacement&, const WindowPlacement&) = default;
};

enum : int {
    SW_SHOWNORMAL = 1,
    SW_SHOWMINIMIZED = 2,
    SW_SHOWMAXIMIZED = 3,
    WPF_RESTORETOMAXIMIZED = 2,
};

std::string FormatPlacement(const WindowPlacement& placement);
// Six decimal integers separated by single commas, each optionally preceded by blanks and a sign.
std::optional<WindowPlacement> ParsePlacement(std::string_view strText);
// rc unchanged when one of the screens shows at least a usable piece of it; else rc moved (and
// shrunk if need be) into the screen nearest to it. No screens: rc unchanged.
QRect FitOnScreens(const QRect& rc, const std::vector<QRect>& arrScreens);

class CPlacementStore {
public:
    explicit CPlacementStore(std::string strProfilePath)
        : m_strProfilePath(std::move(strProfilePath)) {}
    virtual ~CPlacementStore() = default;

    bool SavePlacement(std::string_view section, bool bPlainRect);
    bool RestorePlacement(std::string_view section, bool bPlainRect);

protected:
    virtual QWidget* GetLayoutWnd() = 0;

private:
    std::string m_strProfilePath;
};
