#include "BoxMenu.h"

#include "CodePage.h"
#include "NewMenu.h"
#include "Resources.h"

namespace {

void AddItem(CNewMenu& menu, const SBoxMenuItem& item, const std::function<void(int)>& fnCommand) {
    const unsigned nFlags =
        (item.bEnabled ? MF_STRING : MF_GRAYED) | (item.bChecked ? MF_CHECKED : MF_STRING);
    QAction* pAction = menu.AppendMenu(nFlags, item.nCommand, QString::fromUtf8(item.pszText));
    const int nCommand = item.nCommand;
    QObject::connect(pAction, &QAction::triggered, pAction,
                     [fnCommand, nCommand] { fnCommand(nCommand); });
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
                                       QWidget* pParent, std::function<void(int)> fnCommand) {
    auto pMenu = std::make_unique<CNewMenu>(pParent);
    for (const SBoxMenuItem& item : items) {
        if (item.nCommand == 0) {
            pMenu->AppendMenu(MF_SEPARATOR, 0, {});
        } else {
            AddItem(*pMenu, item, fnCommand);
        }
    }
    pMenu->AppendMenu(MF_SEPARATOR, 0, {});
    CNewMenu* pCodePages = pMenu->AppendPopup(QStringLiteral("字符编码"));
    AddItem(*pCodePages, {IDM_CODEPAGE_GBK, "GBK", true, nCodePage != CP_UTF8}, fnCommand);
    AddItem(*pCodePages, {IDM_CODEPAGE_UTF8, "UTF-8", true, nCodePage == CP_UTF8}, fnCommand);
    pMenu->LoadToolBar(BoxMenuIconTable(), qRgb(192, 192, 192),
                       [](int nBitmap) { return LoadBitmap(nBitmap).toImage(); });
    return pMenu;
}
