#include "BoxMenu.h"

#include <QMenu>
#include <array>

#include "CodePage.h"
#include "Resources.h"

namespace {

// The commands of the twelve images of the icon strip, in strip order; 1 marks a placeholder
// image that no item uses.
constexpr std::array<int, 12> kIconCommands = {
    WM_COPY,  IDM_SAVEFILE, IDM_SELECTALL, 1,        IDM_TEXTCOLOR, 1,
    WM_CLEAR, IDM_BKCOLOR,  WM_CUT,        WM_PASTE, EM_UNDO,       IDM_CLEARALL,
};

void AddItem(QMenu& menu, const SBoxMenuItem& item, const std::function<void(int)>& fnCommand) {
    QAction* pAction = menu.addAction(QString::fromUtf8(item.pszText));
    pAction->setData(item.nCommand);
    pAction->setEnabled(item.bEnabled);
    // Only checked items are checkable: an unchecked item shows no check box, as in the original.
    pAction->setCheckable(item.bChecked);
    pAction->setChecked(item.bChecked);
    const int nIcon = BoxMenuIconIndex(item.nCommand);
    if (nIcon >= 0) {
        pAction->setIcon(MenuIcon(nIcon));
    }
    const int nCommand = item.nCommand;
    QObject::connect(pAction, &QAction::triggered, pAction,
                     [fnCommand, nCommand] { fnCommand(nCommand); });
}

}  // namespace

int BoxMenuIconIndex(int nCommand) {
    for (std::size_t i = 0; i < kIconCommands.size(); ++i) {
        if (kIconCommands[i] == nCommand && nCommand != 1) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::unique_ptr<QMenu> BuildBoxMenu(const std::vector<SBoxMenuItem>& items, int nCodePage,
                                    QWidget* pParent, std::function<void(int)> fnCommand) {
    auto pMenu = std::make_unique<QMenu>(pParent);
    for (const SBoxMenuItem& item : items) {
        if (item.nCommand == 0) {
            pMenu->addSeparator();
        } else {
            AddItem(*pMenu, item, fnCommand);
        }
    }
    pMenu->addSeparator();
    QMenu* pCodePages = pMenu->addMenu(QStringLiteral("字符编码"));
    AddItem(*pCodePages, {IDM_CODEPAGE_GBK, "GBK", true, nCodePage != CP_UTF8}, fnCommand);
    AddItem(*pCodePages, {IDM_CODEPAGE_UTF8, "UTF-8", true, nCodePage == CP_UTF8}, fnCommand);
    return pMenu;
}
