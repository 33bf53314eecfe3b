#include "PlacementStore.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <array>
#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdio>

#include "IniFile.h"

namespace {

constexpr const char* kPlacementKey = "WindowPlacement";
// A screen must show this much of a window (or all of a smaller one) for the user to reach it.
constexpr int kMinVisible = 48;

// One decimal integer at pos, as "%d" reads it: blanks, an optional sign, digits.
bool ParseInt(std::string_view str, std::size_t& pos, int& nValue) {
    while (pos < str.size() && std::isspace(static_cast<unsigned char>(str[pos]))) {
        ++pos;
    }
    bool bNegative = false;
    if (pos < str.size() && (str[pos] == '-' || str[pos] == '+')) {
        bNegative = str[pos] == '-';
        ++pos;
    }
    const std::size_t posDigits = pos;
    std::int64_t nAcc = 0;
    while (pos < str.size() && str[pos] >= '0' && str[pos] <= '9') {
        nAcc = nAcc * 10 + (str[pos] - '0');
        if (nAcc > static_cast<std::int64_t>(INT_MAX) + 1) {
            return false;
        }
        ++pos;
    }
    if (pos == posDigits) {
        return false;
    }
    nAcc = bNegative ? -nAcc : nAcc;
    if (nAcc > INT_MAX) {
        return false;
    }
    nValue = static_cast<int>(nAcc);
    return true;
}

// Squared distance from a point to a rectangle (0 inside).
std::int64_t DistanceSquared(QPoint pt, const QRect& rc) {
    const std::int64_t dx = pt.x() < rc.left()    ? rc.left() - pt.x()
                            : pt.x() > rc.right() ? pt.x() - rc.right()
                                                  : 0;
    const std::int64_t dy = pt.y() < rc.top()      ? rc.top() - pt.y()
                            : pt.y() > rc.bottom() ? pt.y() - rc.bottom()
                                                   : 0;
    return dx * dx + dy * dy;
}

std::vector<QRect> AvailableScreens() {
    std::vector<QRect> arrScreens;
    for (const QScreen* pScreen : QGuiApplication::screens()) {
        arrScreens.push_back(pScreen->availableGeometry());
    }
    return arrScreens;
}

}  // namespace

std::string FormatPlacement(const WindowPlacement& wp) {
    std::array<char, 96> buf{};
    std::snprintf(buf.data(), buf.size(), "%d,%d,%d,%d,%d,%d", wp.left, wp.top, wp.right, wp.bottom,
                  wp.nShowCmd, wp.nFlags);
    return buf.data();
}

std::optional<WindowPlacement> ParsePlacement(std::string_view strText) {
    std::array<int, 6> arrValues{};
    std::size_t pos = 0;
    for (std::size_t i = 0; i < arrValues.size(); ++i) {
        if (i > 0) {
            if (pos >= strText.size() || strText[pos] != ',') {
                return std::nullopt;
            }
            ++pos;
        }
        if (!ParseInt(strText, pos, arrValues[i])) {
            return std::nullopt;
        }
    }
    return WindowPlacement{arrValues[0], arrValues[1], arrValues[2],
                           arrValues[3], arrValues[4], arrValues[5]};
}

QRect FitOnScreens(const QRect& rc, const std::vector<QRect>& arrScreens) {
    if (arrScreens.empty()) {
        return rc;
    }
    const int nNeedX = std::min(kMinVisible, rc.width());
    const int nNeedY = std::min(kMinVisible, rc.height());
    for (const QRect& rcScreen : arrScreens) {
        const QRect rcShown = rc.intersected(rcScreen);
        if (rcShown.width() >= nNeedX && rcShown.height() >= nNeedY) {
            return rc;
        }
    }
    const QRect rcScreen = *std::min_element(
        arrScreens.begin(), arrScreens.end(), [&rc](const QRect& a, const QRect& b) {
            return DistanceSquared(rc.center(), a) < DistanceSquared(rc.center(), b);
        });
    QRect rcFit(rc.topLeft(), rc.size().boundedTo(rcScreen.size()));
    rcFit.moveLeft(std::clamp(rcFit.left(), rcScreen.left(),
                              rcScreen.left() + rcScreen.width() - rcFit.width()));
    rcFit.moveTop(std::clamp(rcFit.top(), rcScreen.top(),
                             rcScreen.top() + rcScreen.height() - rcFit.height()));
    return rcFit;
}

bool CPlacementStore::SavePlacement(std::string_view section, bool bPlainRect) {
    QWidget* pWnd = GetLayoutWnd();
    if (pWnd == nullptr) {
        return false;
    }
    WindowPlacement wp;
    QRect rc = pWnd->geometry();
    if (!bPlainRect) {
        const Qt::WindowStates state = pWnd->windowState();
        if (state & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen)) {
            if (pWnd->normalGeometry().isValid()) {
                rc = pWnd->normalGeometry();
            }
        }
        if (state & Qt::WindowMinimized) {
            wp.nShowCmd = SW_SHOWMINIMIZED;
            wp.nFlags = state & Qt::WindowMaximized ? WPF_RESTORETOMAXIMIZED : 0;
        } else if (state & Qt::WindowMaximized) {
            wp.nShowCmd = SW_SHOWMAXIMIZED;
        }
    }
    wp.left = rc.left();
    wp.top = rc.top();
    wp.right = rc.left() + rc.width();
    wp.bottom = rc.top() + rc.height();
    return CIniFile(m_strProfilePath).WriteString(section, kPlacementKey, FormatPlacement(wp));
}

bool CPlacementStore::RestorePlacement(std::string_view section, bool bPlainRect) {
    QWidget* pWnd = GetLayoutWnd();
    if (pWnd == nullptr) {
        return false;
    }
    const std::optional<WindowPlacement> wp =
        ParsePlacement(CIniFile(m_strProfilePath).ReadString(section, kPlacementKey, ""));
    if (!wp || wp->right <= wp->left || wp->bottom <= wp->top) {
        return false;
    }
    const QRect rc(wp->left, wp->top, wp->right - wp->left, wp->bottom - wp->top);
    pWnd->setGeometry(FitOnScreens(rc, AvailableScreens()));
    if (!bPlainRect) {
        // Any other show command (a hidden window among them) opens the window normally.
        Qt::WindowStates state = Qt::WindowNoState;
        if (wp->nShowCmd == SW_SHOWMAXIMIZED) {
            state = Qt::WindowMaximized;
        } else if (wp->nShowCmd == SW_SHOWMINIMIZED) {
            state = Qt::WindowMinimized;
            if (wp->nFlags & WPF_RESTORETOMAXIMIZED) {
                state |= Qt::WindowMaximized;
            }
        }
        pWnd->setWindowState(state);
    }
    return true;
}
