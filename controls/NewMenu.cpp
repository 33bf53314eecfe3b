#include "NewMenu.h"

#include <QActionEvent>
#include <QActionGroup>
#include <QApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QScreen>
#include <QStyleOptionMenuItem>
#include <algorithm>

bool WindowSystemDrawsMenuShadows();  // MenuShadows.cpp

namespace {

int g_nShadowOverride = -1;

// The height of a menu bar line for the menu font: the font's height and the classic padding.
int CyMenuFor(const QFont& font) {
    return QFontMetrics(font).height() + 6;
}

}  // namespace

// Measures the items of CNewMenus through the skin and takes away the frame and margins the
// platform style would add; everything else, and every other widget, is the application style's.
class CNewMenuProxyStyle : public QProxyStyle {
public:
    static CNewMenuProxyStyle* Instance() {
        static QPointer<CNewMenuProxyStyle> s_pStyle;
        if (s_pStyle.isNull()) {
            s_pStyle = new CNewMenuProxyStyle;
            s_pStyle->setParent(qApp);
        }
        return s_pStyle;
    }

    QSize sizeFromContents(ContentsType type, const QStyleOption* pOption, const QSize& size,
                           const QWidget* pWidget) const override {
        const auto* pMenu = qobject_cast<const CNewMenu*>(pWidget);
        const auto* pItem = qstyleoption_cast<const QStyleOptionMenuItem*>(pOption);
        if (pMenu != nullptr && type == CT_MenuItem && pItem != nullptr) {
            return pMenu->MeasureForLayout(*pItem);
        }
        if (pMenu != nullptr && type == CT_Menu) {
            return size;
        }
        return QProxyStyle::sizeFromContents(type, pOption, size, pWidget);
    }

    int pixelMetric(PixelMetric metric, const QStyleOption* pOption,
                    const QWidget* pWidget) const override {
        if (qobject_cast<const CNewMenu*>(pWidget) != nullptr) {
            switch (metric) {
                case PM_MenuPanelWidth:
                case PM_MenuHMargin:
                case PM_MenuVMargin:
                case PM_MenuDesktopFrameWidth:
                    return 0;
                default:
                    break;
            }
        }
        return QProxyStyle::pixelMetric(metric, pOption, pWidget);
    }

    int styleHint(StyleHint hint, const QStyleOption* pOption, const QWidget* pWidget,
                  QStyleHintReturn* pReturn) const override {
        if (hint == SH_Menu_SupportsSections && qobject_cast<const CNewMenu*>(pWidget)) {
            return 1;
        }
        return QProxyStyle::styleHint(hint, pOption, pWidget, pReturn);
    }
};

CNewMenu::CNewMenu(QWidget* pParent) : QMenu(pParent), m_bSystemShadows(SystemShadows()) {
    setStyle(CNewMenuProxyStyle::Instance());
    setContentsMargins(CMenuStyle::FrameSizes(m_bSystemShadows));
}

CNewMenu::~CNewMenu() = default;

bool CNewMenu::SystemShadows() {
    return g_nShadowOverride >= 0 ? g_nShadowOverride == 1 : WindowSystemDrawsMenuShadows();
}

void CNewMenu::OverrideSystemShadows(int nOverride) {
    g_nShadowOverride = nOverride;
}

QAction* CNewMenu::InsertMenu(int nPosition, unsigned nFlags, int nCommand,
                              const QString& strText) {
    if (nFlags & MF_BYPOSITION) {
        return InsertAt(nPosition, nFlags, nCommand, strText);
    }
    QAction* pBefore = nullptr;
    CNewMenu* pHolder = FindHolder(nPosition, &pBefore);
    if (pHolder == nullptr) {
        return nullptr;
    }
    return pHolder->InsertAt(static_cast<int>(pHolder->actions().indexOf(pBefore)), nFlags,
                             nCommand, strText);
}

QAction* CNewMenu::AppendMenu(unsigned nFlags, int nCommand, const QString& strText) {
    return InsertAt(-1, nFlags, nCommand, strText);
}

CNewMenu* CNewMenu::FindHolder(int nCommand, QAction** ppBefore) {
    for (const auto& pRecord : m_arrItems) {
        if (pRecord->m_nCommand == nCommand && !(pRecord->m_nFlags & (MF_POPUP | MF_SEPARATOR))) {
            *ppBefore = pRecord->m_pAction;
            return this;
        }
    }
    for (CNewMenu* pSub : m_arrSubMenus) {
        if (CNewMenu* pHolder = pSub->FindHolder(nCommand, ppBefore)) {
            return pHolder;
        }
    }
    return nullptr;
}

QAction* CNewMenu::InsertAt(int nIndex, unsigned nFlags, int nCommand, const QString& strText) {
    const QList<QAction*> arrActions = actions();
    QAction* pBefore = (nIndex >= 0 && nIndex < arrActions.size()) ? arrActions[nIndex] : nullptr;
    QAction* pAction = nullptr;
    if ((nFlags & MF_SEPARATOR) || nCommand == 0) {
        pAction = insertSeparator(pBefore);
    } else {
        pAction = new QAction(strText, this);
        pAction->setData(nCommand);
        pAction->setEnabled(!(nFlags & (MF_GRAYED | MF_DISABLED)));
        // Only checked items and choices are checkable: an unchecked one shows nothing in its
        // column.
        pAction->setCheckable(nFlags & (MF_CHECKED | MF_CHECKABLE));
        pAction->setChecked(nFlags & MF_CHECKED);
        insertAction(pBefore, pAction);
        if (nFlags & MF_DEFAULT) {
            setDefaultAction(pAction);
        }
    }
    AddRecord(std::make_unique<CNewMenuItemData>(), nFlags, nCommand, strText, pAction);
    return pAction;
}

CNewMenu* CNewMenu::AppendPopup(const QString& strText) {
    auto* pSub = new CNewMenu(this);
    pSub->setTitle(strText);
    addMenu(pSub);
    m_arrSubMenus.push_back(pSub);
    AddRecord(std::make_unique<CNewMenuItemData>(), MF_POPUP, 0, strText, pSub->menuAction());
    return pSub;
}

QAction* CNewMenu::AppendTitle(const QString& strText, unsigned nTitleFlags) {
    QAction* pAction = addSection(strText);
    auto pTitle = std::make_unique<CNewMenuItemDataTitle>();
    pTitle->m_nExtraFlags = nTitleFlags;
    pTitle->m_crBack = palette().color(QPalette::Active, QPalette::Highlight);
    pTitle->m_crText = palette().color(QPalette::Active, QPalette::HighlightedText);
    pTitle->m_crGradient =
        Mix86(palette().color(QPalette::Base), palette().color(QPalette::Window));
    AddRecord(std::move(pTitle), MF_SEPARATOR, 0, strText, pAction);
    return pAction;
}

void CNewMenu::AddRecord(std::unique_ptr<CNewMenuItemData> pRecord, unsigned nFlags, int nCommand,
                         const QString& strText, QAction* pAction) {
    pRecord->m_strText = strText;
    pRecord->m_nFlags = nFlags;
    pRecord->m_nCommand = nCommand;
    pRecord->m_pAction = pAction;
    // Records follow the menu order of their actions.
    const qsizetype nIndex = actions().indexOf(pAction);
    auto it = std::find_if(m_arrItems.begin(), m_arrItems.end(),
                           [&](const auto& p) { return actions().indexOf(p->m_pAction) > nIndex; });
    m_arrItems.insert(it, std::move(pRecord));
}

bool CNewMenu::LoadToolBar(const std::vector<std::uint16_t>& arrTable, QRgb crTransparent,
                           const CNewMenuIcons::BitmapLoader& fnLoad) {
    const std::shared_ptr<CNewMenuIcons> pIcons = CNewMenuIcons::Load(
        arrTable, crTransparent, fnLoad, palette().color(QPalette::Active, QPalette::Window));
    if (!pIcons) {
        return false;
    }
    ApplyIcons(pIcons);
    return true;
}

void CNewMenu::ApplyIcons(const std::shared_ptr<CNewMenuIcons>& pIcons) {
    for (const auto& pRecord : m_arrItems) {
        const int nIndex = pRecord->m_nCommand != 0 ? pIcons->FindIndex(pRecord->m_nCommand) : -1;
        if (nIndex >= 0) {
            pRecord->m_pIcons = pIcons;
            pRecord->m_nIconIndex = nIndex;
            m_szIcon = m_szIcon.expandedTo(pIcons->IconSize());
        }
    }
    for (CNewMenu* pSub : m_arrSubMenus) {
        pSub->ApplyIcons(pIcons);
    }
    Relayout();
}

void CNewMenu::Relayout() {
    // QMenu measures its items again after a style change.
    QEvent event(QEvent::StyleChange);
    QMenu::changeEvent(&event);
    update();
}

const CNewMenuItemData* CNewMenu::ItemData(const QAction* pAction) const {
    for (const auto& pRecord : m_arrItems) {
        if (pRecord->m_pAction == pAction) {
            return pRecord.get();
        }
    }
    return nullptr;
}

CMenuStyle CNewMenu::Style() const {
    return CMenuStyle(CyMenuFor(font()));
}

SMenuItemLook CNewMenu::Look(const QStyleOptionMenuItem& option,
                             const CNewMenuItemData* pRecord) const {
    SMenuItemLook look;
    look.strText = option.text;
    look.font = option.font;
    look.szIcon = m_szIcon;
    look.bSeparator = option.menuItemType == QStyleOptionMenuItem::Separator;
    look.bTitle = look.bSeparator && !option.text.isEmpty();
    look.bSubmenu = option.menuItemType == QStyleOptionMenuItem::SubMenu;
    look.bDefault = option.menuItemType == QStyleOptionMenuItem::DefaultItem;
    look.bSelected = option.state & QStyle::State_Selected;
    look.bGrayed = !(option.state & QStyle::State_Enabled);
    look.bChecked = option.checkType != QStyleOptionMenuItem::NotCheckable && option.checked;
    look.bRadio = option.checkType == QStyleOptionMenuItem::Exclusive;
    look.bRightToLeft = option.direction == Qt::RightToLeft;
    look.bShowPrefix = style()->styleHint(QStyle::SH_UnderlineShortcut, &option, this) != 0;
    if (look.bSubmenu) {
        look.strText = look.strText.section(u'\t', 0, 0);
    }
    if (pRecord != nullptr) {
        look.pIcons = pRecord->m_pIcons.get();
        look.nIconIndex = pRecord->m_nIconIndex;
        look.nTitleFlags = pRecord->m_nExtraFlags;
        if (const auto* pTitle = dynamic_cast<const CNewMenuItemDataTitle*>(pRecord)) {
            look.crTitleText = pTitle->m_crText;
            look.crTitleBack = pTitle->m_crBack;
            look.crTitleGradient = pTitle->m_crGradient;
        }
    }
    return look;
}

QSize CNewMenu::MeasureItem(const QAction* pAction) const {
    QStyleOptionMenuItem option;
    initStyleOption(&option, pAction);
    return Style().MeasureItem(Look(option, ItemData(pAction)));
}

QSize CNewMenu::MeasureForLayout(const QStyleOptionMenuItem& option) const {
    // QMenu measures without knowing the action; a title is found by its caption.
    const CNewMenuItemData* pRecord = nullptr;
    for (const auto& pItem : m_arrItems) {
        if (pItem->m_nExtraFlags != 0 && pItem->m_strText == option.text) {
            pRecord = pItem.get();
        }
    }
    SMenuItemLook look = Look(option, pRecord);
    const int nTab = static_cast<int>(look.strText.indexOf(u'\t'));
    if (nTab >= 0) {
        look.strText.truncate(nTab + 1);
    }
    // Like the classic menu manager, the layout adds the width of a check mark to the measured
    // width of every drawn item.
    QSize szItem = Style().MeasureItem(look);
    if (!look.bSeparator) {
        szItem.rwidth() += QFontMetrics(font()).height() - 1;
    }
    return szItem;
}

SMenuColors CNewMenu::Colors() const {
    const QScreen* pScreen = screen();
    return SMenuColors::FromPalette(palette(), pScreen != nullptr && pScreen->depth() <= 8);
}

void CNewMenu::paintEvent(QPaintEvent* pEvent) {
    QPainter painter(this);
    const SMenuColors colors = Colors();
    const CMenuStyle style = Style();
    painter.fillRect(contentsRect(), colors.crMenu);
    style.PaintFrame(painter, size(), m_bSystemShadows, m_imgBelow, colors);
    for (QAction* pAction : actions()) {
        const QRect rcItem = actionGeometry(pAction);
        if (!rcItem.isValid() || !pEvent->rect().intersects(rcItem)) {
            continue;
        }
        QStyleOptionMenuItem option;
        initStyleOption(&option, pAction);
        painter.save();
        painter.setClipRect(rcItem);
        style.DrawItem(painter, rcItem, Look(option, ItemData(pAction)), colors);
        painter.restore();
    }
}

void CNewMenu::showEvent(QShowEvent* pEvent) {
    QMenu::showEvent(pEvent);
    m_imgBelow = QImage();
    QScreen* pScreen = screen();
    if (!m_bSystemShadows && pScreen != nullptr) {
        const QPoint ptAt = geometry().topLeft() - pScreen->geometry().topLeft();
        m_imgBelow = pScreen->grabWindow(0, ptAt.x(), ptAt.y(), width(), height()).toImage();
    }
}

void CNewMenu::moveEvent(QMoveEvent* pEvent) {
    // What lay beneath is no longer beneath.
    if (isVisible()) {
        m_imgBelow = QImage();
    }
    QMenu::moveEvent(pEvent);
}

void CNewMenu::actionEvent(QActionEvent* pEvent) {
    if (pEvent->type() == QEvent::ActionRemoved) {
        std::erase_if(m_arrItems,
                      [pEvent](const auto& p) { return p->m_pAction == pEvent->action(); });
    }
    QMenu::actionEvent(pEvent);
}
