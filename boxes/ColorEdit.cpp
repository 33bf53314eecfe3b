#include "ColorEdit.h"

#include <QMouseEvent>
#include <QTextCursor>
#include <utility>
#include "NewMenu.h"

#include "IniFile.h"

CColorEdit::CColorEdit(const std::string& strIniPath, std::string strSection, QWidget* pParent)
    : QPlainTextEdit(pParent),
      m_strIniPath(strIniPath),
      m_strSection(std::move(strSection)),
      m_pDialogs(MakeQtBoxDialogs()) {
    const CIniFile ini(m_strIniPath);
    m_crText = static_cast<std::uint32_t>(
        ini.ReadInt(m_strSection, "COLORTXT", static_cast<int>(kDefaultTextColor)));
    m_crBack = static_cast<std::uint32_t>(
        ini.ReadInt(m_strSection, "COLORBAK", static_cast<int>(kDefaultBackColor)));
    ApplyColors();
    // Both boxes scroll vertically only and wrap long lines; the bar is always there, so the
    // width that lines wrap at does not change when the text grows past one screen.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    SetCodePage(std::make_shared<CCodePage>(m_strIniPath));
}

void CColorEdit::SetTextColor(std::uint32_t crText, int bRepaint) {
    m_crText = crText;
    ApplyColors();
    if (bRepaint) {
        RedrawInside();
    }
}

void CColorEdit::SetBkColor(std::uint32_t crBack, int bRepaint) {
    m_crBack = crBack;
    ApplyColors();
    if (bRepaint) {
        RedrawInside();
    }
}

void CColorEdit::RedrawInside() {
    viewport()->update();
    // A transparent box shows its parent: that part of the parent must be painted anew too.
    if (m_crBack == kTransparent && parentWidget() != nullptr) {
        parentWidget()->update(geometry().adjusted(2, 2, -2, -2));
    }
}

void CColorEdit::ChooseTextColor() {
    ChooseColor(true);
}

void CColorEdit::ChooseBkColor() {
    ChooseColor(false);
}

void CColorEdit::ChooseColor(bool bText) {
    const std::optional<QColor> color = m_pDialogs->GetColor(this);
    if (!color) {
        return;
    }
    const std::uint32_t cr = ColorRefFromColor(*color);
    if (bText) {
        SetTextColor(cr, 1);
    } else {
        SetBkColor(cr, 1);
    }
    CIniFile(m_strIniPath)
        .WriteInt(m_strSection, bText ? "COLORTXT" : "COLORBAK", static_cast<int>(cr));
}

void CColorEdit::SetDialogs(std::unique_ptr<IBoxDialogs> pDialogs) {
    m_pDialogs = std::move(pDialogs);
}

void CColorEdit::SetCodePage(std::shared_ptr<CCodePage> pCodePage) {
    const bool bChanged = m_pCodePage && m_pCodePage->Get() != pCodePage->Get();
    disconnect(m_codePageLink);
    m_pCodePage = std::move(pCodePage);
    m_codePageLink =
        connect(m_pCodePage.get(), &CCodePage::Changed, this, [this] { OnCodePageChanged(); });
    if (bChanged) {
        OnCodePageChanged();
    }
}

std::unique_ptr<CNewMenu> CColorEdit::CreateContextMenu() {
    return BuildBoxMenu(
        MenuItems(), m_pCodePage->Get(), this, [this](int nCommand) { OnCommand(nCommand); },
        SubMenus(), TailItems());
}

void CColorEdit::OnCommand(int nCommand) {
    switch (nCommand) {
        case WM_COPY:
            copy();
            break;
        case IDM_SELECTALL:
            selectAll();
            break;
        case IDM_HEXMODE:
            SetMode(1);
            break;
        case IDM_TEXTMODE:
            SetMode(0);
            break;
        case IDM_TEXTCOLOR:
            ChooseTextColor();
            break;
        case IDM_BKCOLOR:
            ChooseBkColor();
            break;
        case IDM_CODEPAGE_GBK:
            m_pCodePage->Set(CP_GBK);
            break;
        case IDM_CODEPAGE_UTF8:
            m_pCodePage->Set(CP_UTF8);
            break;
        default:
            break;
    }
}

QColor CColorEdit::ColorFromColorRef(std::uint32_t cr) {
    return QColor(cr & 0xFF, (cr >> 8) & 0xFF, (cr >> 16) & 0xFF);
}

std::uint32_t CColorEdit::ColorRefFromColor(const QColor& color) {
    return static_cast<std::uint32_t>(color.red()) |
           (static_cast<std::uint32_t>(color.green()) << 8) |
           (static_cast<std::uint32_t>(color.blue()) << 16);
}

bool CColorEdit::IsAllSelected() const {
    const QTextCursor cursor = textCursor();
    return cursor.selectionStart() == 0 &&
           cursor.selectionEnd() == document()->characterCount() - 1;
}

void CColorEdit::contextMenuEvent(QContextMenuEvent* pEvent) {
    setFocus(Qt::PopupFocusReason);
    const std::unique_ptr<CNewMenu> pMenu = CreateContextMenu();
    pMenu->exec(pEvent->globalPos());
}

void CColorEdit::focusOutEvent(QFocusEvent* pEvent) {
    RedrawInside();
    QPlainTextEdit::focusOutEvent(pEvent);
}

void CColorEdit::mousePressEvent(QMouseEvent* pEvent) {
    if (pEvent->button() == Qt::LeftButton) {
        RedrawInside();
    }
    QPlainTextEdit::mousePressEvent(pEvent);
}

void CColorEdit::ApplyColors() {
    QPalette pal = palette();
    pal.setColor(QPalette::Text, ColorFromColorRef(m_crText));
    const bool bTransparent = m_crBack == kTransparent;
    pal.setColor(QPalette::Base,
                 bTransparent ? QColor(Qt::transparent) : ColorFromColorRef(m_crBack));
    setPalette(pal);
    viewport()->setAutoFillBackground(!bTransparent);
}
