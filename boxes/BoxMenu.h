#pragma once
// The context menu of both boxes, built from a list of items: plain QMenu, each command's icon
// from the shared twelve-icon strip (placeholders and the mode and newline items have none), then
// a separator and the submenu "字符编码" with "GBK" and "UTF-8", the current one checked.
#include <functional>
#include <memory>
#include <vector>

#include "BoxCommands.h"

class QMenu;
class QWidget;

struct SBoxMenuItem {
    int nCommand = 0;          // 0: a separator
    const char* pszText = "";  // UTF-8
    bool bEnabled = true;
    bool bChecked = false;  // a check mark
};

inline SBoxMenuItem BoxMenuSeparator() {
    return {};
}

// The index (0..11) of nCommand's image in the icon strip, or -1 when it has none.
int BoxMenuIconIndex(int nCommand);

// Each action carries its command number in data(); triggering it calls fnCommand with it.
std::unique_ptr<QMenu> BuildBoxMenu(const std::vector<SBoxMenuItem>& items, int nCodePage,
                                    QWidget* pParent, std::function<void(int)> fnCommand);
