// The tip window's tools: registering them, their texts and colours, and finding the tool
// under the cursor, disabled controls included.
#include "TipWindow.h"

#include <QApplication>
#include <algorithm>

namespace {

bool IsSameOrDescendant(const QWidget* pAncestor, const QWidget* pWidget) {
    return pAncestor != nullptr && pWidget != nullptr &&
           (pAncestor == pWidget || pAncestor->isAncestorOf(pWidget));
}

}  // namespace

bool CTipWindow::AddTool(QWidget* pWnd, std::optional<QString> text, const QRect* pRect,
                         std::uint32_t uId) {
    if (pWnd == nullptr || m_pParentWnd == nullptr) {
        return false;
    }
    auto pTool = std::make_unique<TipTool>();
    pTool->hWnd = pWnd;
    pTool->uId = uId;
    pTool->bFollowWindow = pRect == nullptr;
    if (pRect != nullptr) {
        pTool->rect = QRect(pWnd->mapTo(m_pParentWnd, pRect->topLeft()), pRect->size());
    }
    pTool->bAskText = !text.has_value();
    pTool->text = text.value_or(QString());
    pTool->nMaxWidth = m_nDefMaxWidth;
    pTool->clrText = m_clrTextDefault;
    pTool->clrBk = m_clrBkDefault;
    m_arrTools.push_back(std::move(pTool));
    return true;
}

TipTool* CTipWindow::FindTool(const QWidget* pWnd, std::uint32_t uId) const {
    for (const auto& pTool : m_arrTools) {
        if (pTool->hWnd == pWnd && pTool->uId == uId) {
            return pTool.get();
        }
    }
    return nullptr;
}

void CTipWindow::FillInfo(const TipTool& tool, TipToolInfo& info) const {
    info.uFlags = tool.uFlags;
    info.hWnd = tool.hWnd;
    info.uId = tool.uId;
    info.rect = ToolRect(tool);
    info.lpszText = tool.bAskText ? std::nullopt : std::optional<QString>(tool.text);
    info.lParam = tool.lParam;
    info.nMaxWidth = tool.nMaxWidth;
    info.clrText = tool.clrText;
    info.clrBk = tool.clrBk;
}

bool CTipWindow::GetToolInfo(TipToolInfo& info, QWidget* pWnd, std::uint32_t uId) const {
    const TipTool* pTool = FindTool(pWnd, uId);
    if (pTool == nullptr) {
        return false;
    }
    FillInfo(*pTool, info);
    return true;
}

void CTipWindow::SetToolInfo(const TipToolInfo& info) {
    TipTool* pTool = FindTool(info.hWnd, info.uId);
    if (pTool == nullptr) {
        return;
    }
    pTool->uFlags = info.uFlags;
    pTool->rect = info.rect;
    pTool->bFollowWindow = !info.rect.isValid();
    pTool->bAskText = !info.lpszText.has_value();
    pTool->text = info.lpszText.value_or(QString());
    pTool->nMaxWidth = info.nMaxWidth;
    pTool->clrText = info.clrText;
    pTool->clrBk = info.clrBk;
    pTool->lParam = info.lParam;
}

int CTipWindow::SetMaxTipWidth(int nWidth) {
    for (const auto& pTool : m_arrTools) {
        if (pTool->nMaxWidth == m_nDefMaxWidth) {
            pTool->nMaxWidth = nWidth;
        }
    }
    return std::exchange(m_nDefMaxWidth, nWidth);
}

void CTipWindow::SetTipBkColor(COLORREF clr) {
    for (const auto& pTool : m_arrTools) {
        if (pTool->clrBk == m_clrBkDefault) {
            pTool->clrBk = clr;
        }
    }
    m_clrBkDefault = clr;
}

void CTipWindow::SetTipTextColor(COLORREF clr) {
    for (const auto& pTool : m_arrTools) {
        if (pTool->clrText == m_clrTextDefault) {
            pTool->clrText = clr;
        }
    }
    m_clrTextDefault = clr;
}

QRect CTipWindow::ToolRect(const TipTool& tool) const {
    if (!tool.bFollowWindow || tool.hWnd == nullptr || m_pParentWnd == nullptr) {
        return tool.rect;
    }
    const QWidget* pParentOfTool = tool.hWnd->parentWidget();
    const QPoint ptTopLeft = pParentOfTool == m_pParentWnd || pParentOfTool == nullptr
                                 ? tool.hWnd->pos()
                                 : pParentOfTool->mapTo(m_pParentWnd, tool.hWnd->pos());
    return QRect(ptTopLeft, tool.hWnd->size());
}

QWidget* CTipWindow::ChildFromPoint(QPoint pt) const {
    if (m_pParentWnd == nullptr) {
        return nullptr;
    }
    const QPoint ptScreen = m_pParentWnd->mapToGlobal(pt);
    // The tip itself, or another window in front of the parent, covers the point.
    if (isVisible() && geometry().contains(ptScreen)) {
        return nullptr;
    }
    if (const QWidget* pTop = QApplication::topLevelAt(ptScreen);
        pTop != nullptr && pTop != m_pParentWnd->window()) {
        return nullptr;
    }
    // Unlike mouse events, this finds disabled children too.
    QWidget* pChild = m_pParentWnd->childAt(pt);
    return m_pParentWnd->isAncestorOf(pChild) ? pChild : nullptr;
}

TipTool* CTipWindow::HitTest(QWidget* pChild, QPoint pt) const {
    if (pChild == nullptr) {
        return nullptr;
    }
    const auto it = std::find_if(m_arrTools.begin(), m_arrTools.end(), [pChild](const auto& p) {
        return IsSameOrDescendant(p->hWnd, pChild);
    });
    if (it == m_arrTools.end()) {
        return nullptr;
    }
    TipTool* pTool = it->get();
    if (!IsSameOrDescendant(pTool->hWnd, ChildFromPoint(pt))) {
        return nullptr;
    }
    return ToolRect(*pTool).contains(pt) ? pTool : nullptr;
}

const TipTool* CTipWindow::ToolFromPoint(QPoint pt) const {
    return HitTest(ChildFromPoint(pt), pt);
}

bool CTipWindow::IsCursorInTool(const TipTool& tool) const {
    if (m_pParentWnd == nullptr) {
        return false;
    }
    // The first tool registered for the window decides.
    const QPoint pt = m_pParentWnd->mapFromGlobal(GetCursorPos());
    return HitTest(tool.hWnd, pt) != nullptr;
}

bool CTipWindow::IsCursorOverTip() const {
    return !m_bSuppressed && isVisible() && geometry().contains(GetCursorPos());
}
