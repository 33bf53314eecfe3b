#include "BoxMenu.h"

#include "CodePage.h"
#include "NewMenu.h"
#include "Resources.h"

namespace {

void AddItem(CNewMenu& menu, const SBoxMenuItem& item, const std::function<void(int)>& fnCommand) {
    const unsigned nFlags = (item.bEnabled ? MF_STRING : MF_GRAYED) |
                            (item.bChecked ? MF_CHECKED : MF_STRING) |
                            (item.bCheckable ? MF_CHECKABLE : MF_STRING);
    QAction* pAction = menu.AppendMenu(nFlags, item.nCommand, QString::fromStdString(item.strText));
    const int nCommand = item.nCommand;
    QObject::connect(pAction, &QAction::triggered, pAction,
                     [fnCommand, nCommand] { fnCommand(nCommand); });
}

void AddItems(CNewMenu& menu, const std::vector<SBoxMenuItem>& items,
              const std::function<void(int)>& fnCommand) {
    for (const SBoxMenuItem& item : items) {
        if (item.nCommand == 0) {
            menu.AppendMenu(MF_SEPARATOR, 0, {});
        } else {
            AddItem(menu, item, fnCommand);
        }
    }
}

}  // namespace

const std::vector<std::uint16_t>& BoxMenuIconTable() {
    static const std::vector<std::uint16_t> arrTable = {
        IDB_MENU_ICONS, 16, 16,       WM_COPY,     IDM_SAVEFILE, IDM_SELECTALL, 1,
        IDM_TEXTCOLOR,  1,  WM_CLEAR, IDM_BKCOLOR, WM_CUT,       WM_PASTE,      EM_UNDO,
        IDM_CLEARALL,   0,
    };
    return arrTable;
}

std::unique_ptr<CNewMenu> BuildBoxMenu(const std::vector<SBoxMenuItem>& items, int nCodePage,
                                       QWidget* pParent, std::function<void(int)> fnCommand,
                                       const std::vector<SBoxSubMenu>& arrSubMenus,
                                       const std::vector<SBoxMenuItem>& arrTail) {
    auto pMenu = std::make_unique<CNewMenu>(pParent);
    AddItems(*pMenu, items, fnCommand);
    pMenu->AppendMenu(MF_SEPARATOR, 0, {});
    CNewMenu* pCodePages = pMenu->AppendPopup(QStringLiteral("字符编码"));
    AddItems(*pCodePages,
             {{IDM_CODEPAGE_GBK, "GBK", true, nCodePage != CP_UTF8, true},
              {IDM_CODEPAGE_UTF8, "UTF-8", true, nCodePage == CP_UTF8, true}},
             fnCommand);
    for (const SBoxSubMenu& sub : arrSubMenus) {
        AddItems(*pMenu->AppendPopup(QString::fromStdString(sub.strTitle)), sub.arrItems,
                 fnCommand);
    }
    AddItems(*pMenu, arrTail, fnCommand);
    pMenu->LoadToolBar(BoxMenuIconTable(), qRgb(192, 192, 192),
                       [](int nBitmap) { return LoadBitmap(nBitmap).toImage(); });
    return pMenu;
}
