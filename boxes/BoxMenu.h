#pragma once
// The context menu of both boxes, built from a list of items as a skinned CNewMenu: each command's
// icon from the shared twelve-icon strip (placeholders and the mode and newline items have none),
// then a separator and the submenu "字符编码" with "GBK" and "UTF-8", the current one checked, then
// the box's own submenus, if any, then the box's closing items (arrTail), if any.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "BoxCommands.h"

class CNewMenu;
class QWidget;

struct SBoxMenuItem {
    int nCommand = 0;     // 0: a separator
    std::string strText;  // UTF-8
    bool bEnabled = true;
    bool bChecked = false;    // a check mark
    bool bCheckable = false;  // a choice or an on/off option (checkable while unchecked)
};

struct SBoxSubMenu {
    std::string strTitle;  // UTF-8
    std::vector<SBoxMenuItem> arrItems;
};

inline SBoxMenuItem BoxMenuSeparator() {
    return {};
}

// The icon table of both menus: strip bitmap 144, 16 x 16 icons, the command of each image in
// strip order (1 marks a placeholder image that no item uses), ended by 0.
const std::vector<std::uint16_t>& BoxMenuIconTable();

// Each action carries its command number in data(); triggering it calls fnCommand with it.
std::unique_ptr<CNewMenu> BuildBoxMenu(const std::vector<SBoxMenuItem>& items, int nCodePage,
                                       QWidget* pParent, std::function<void(int)> fnCommand,
                                       const std::vector<SBoxSubMenu>& arrSubMenus = {},
                                       const std::vector<SBoxMenuItem>& arrTail = {});
