#pragma once
// CNewMenu: a popup menu that draws its items and its window frame itself, in the flat style of
// CMenuStyle: an icon column with icons from a shared CNewMenuIcons set, accelerator text, titles,
// a thin border and, where the window system draws no shadow under menus, a shadow of its own.
// Menus that are not CNewMenus keep the platform's look.
//
// It stays a QMenu: keyboard and mouse handling, submenus and the accessibility of its items
// (text, checked and disabled states, focus events) are QMenu's. Only the measuring (through a
// proxy style) and the painting are the skin's.
//
//     CNewMenu menu;
//     menu.AppendMenu(MF_STRING, IDM_SAVE, "保存文件");
//     menu.AppendMenu(MF_SEPARATOR, 0, {});
//     menu.AppendMenu(MF_CHECKED, IDM_TEXT, "文本模式");
//     CNewMenu* pSub = menu.AppendPopup("字符编码");
//     menu.LoadToolBar(table, qRgb(192, 192, 192), loader);  // icons for the commands in table
//     menu.exec(pos);
#include <QMenu>
#include <cstdint>
#include <memory>
#include <vector>

#include "MenuStyle.h"
#include "NewMenuIcons.h"

// Item flags, with the values of the classic menu API.
enum : unsigned {
    MF_STRING = 0x0000,
    MF_GRAYED = 0x0001,
    MF_DISABLED = 0x0002,
    MF_CHECKED = 0x0008,
    MF_POPUP = 0x0010,
    // A choice or an on/off option: checkable even while unchecked, so that assistive technology
    // tells an option that is off from a plain command.
    MF_CHECKABLE = 0x0200,
    MF_BYPOSITION = 0x0400,
    MF_SEPARATOR = 0x0800,
    MF_DEFAULT = 0x1000,
};

// One record per item, in menu order.
struct CNewMenuItemData {
    virtual ~CNewMenuItemData() = default;

    QString m_strText;
    unsigned m_nExtraFlags = 0;  // title style bits (MFT_TITLE_*)
    unsigned m_nFlags = 0;       // the MF_ flags the item was inserted with
    int m_nCommand = 0;
    std::shared_ptr<CNewMenuIcons> m_pIcons;
    int m_nIconIndex = -1;
    QAction* m_pAction = nullptr;
};

// A title: a separator that carries a caption.
struct CNewMenuItemDataTitle : CNewMenuItemData {
    QColor m_crText;
    QColor m_crGradient;
    QColor m_crBack;
};

class CNewMenu : public QMenu {
    Q_OBJECT
public:
    explicit CNewMenu(QWidget* pParent = nullptr);
    ~CNewMenu() override;

    // Inserts an item: with MF_BYPOSITION at nPosition (past the end, or -1: at the end),
    // otherwise before the item whose command is nPosition, in whichever submenu holds it (null
    // when none does). MF_SEPARATOR or a command of 0 makes a separator. The action carries
    // nCommand in data().
    QAction* InsertMenu(int nPosition, unsigned nFlags, int nCommand, const QString& strText);
    QAction* AppendMenu(unsigned nFlags, int nCommand, const QString& strText);
    // A submenu, itself a CNewMenu, owned by this menu.
    CNewMenu* AppendPopup(const QString& strText);
    // A title with MFT_TITLE_* bits, in the caption colours of the palette.
    QAction* AppendTitle(const QString& strText, unsigned nTitleFlags);

    // Gives every item (submenus included) whose command the table lists its icon from the shared
    // set for arrTable and crTransparent; false when the set cannot be made.
    bool LoadToolBar(const std::vector<std::uint16_t>& arrTable, QRgb crTransparent,
                     const CNewMenuIcons::BitmapLoader& fnLoad);

    // The record of pAction, or null for an action not inserted through this class.
    const CNewMenuItemData* ItemData(const QAction* pAction) const;
    const std::vector<std::unique_ptr<CNewMenuItemData>>& Items() const { return m_arrItems; }
    // 16 x 15 until an icon set makes it larger.
    QSize IconSize() const { return m_szIcon; }
    // The size the style gives pAction's item (QMenu then makes all items as wide as the widest).
    QSize MeasureItem(const QAction* pAction) const;
    CMenuStyle Style() const;

    // Whether the window system draws the shadows of menus (a compositing manager runs); menus
    // made afterwards follow nOverride when it is 0 (no) or 1 (yes), -1 asks the window system.
    static bool SystemShadows();
    static void OverrideSystemShadows(int nOverride);

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void showEvent(QShowEvent* pEvent) override;
    void moveEvent(QMoveEvent* pEvent) override;
    void actionEvent(QActionEvent* pEvent) override;

private:
    friend class CNewMenuProxyStyle;

    QAction* InsertAt(int nIndex, unsigned nFlags, int nCommand, const QString& strText);
    CNewMenu* FindHolder(int nCommand, QAction** ppBefore);
    void AddRecord(std::unique_ptr<CNewMenuItemData> pRecord, unsigned nFlags, int nCommand,
                   const QString& strText, QAction* pAction);
    void ApplyIcons(const std::shared_ptr<CNewMenuIcons>& pIcons);
    void Relayout();
    SMenuItemLook Look(const QStyleOptionMenuItem& option, const CNewMenuItemData* pRecord) const;
    // The measure QMenu asks for: the accelerator text is left out, QMenu adds a column for it.
    QSize MeasureForLayout(const QStyleOptionMenuItem& option) const;
    SMenuColors Colors() const;

    std::vector<std::unique_ptr<CNewMenuItemData>> m_arrItems;
    std::vector<CNewMenu*> m_arrSubMenus;  // children of this menu
    QSize m_szIcon{16, 15};
    bool m_bSystemShadows;
    QImage m_imgBelow;  // the screen beneath the window when it was shown, for the shadow
};
