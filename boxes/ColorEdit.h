#pragma once
// CColorEdit: the coloured multi-line edit from which both boxes derive.
//
// Colours are COLORREFs (0x00BBGGRR): text 0x008000 and background 0xE6FFFF by default; the
// background 0xFFFFFFFF is transparent and lets the parent show through. Each box keeps its colours
// in its own section of the settings file ("RX" or "TX"), keys "COLORTXT" and "COLORBAK" as
// decimal integers (0xFFFFFFFF is stored as -1): read at construction, written the moment the user
// chooses a colour.
//
// The base also owns what both box menus share: the dialogs seam, the code page, the common
// commands (select all, the two modes, colours, code page) and the building of the menu from a
// box's item list.
#include <QPlainTextEdit>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "BoxDialogs.h"
#include "BoxMenu.h"
#include "CodePage.h"

class CNewMenu;

class CColorEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    static constexpr std::uint32_t kDefaultTextColor = 0x008000;
    static constexpr std::uint32_t kDefaultBackColor = 0xE6FFFF;
    static constexpr std::uint32_t kTransparent = 0xFFFFFFFF;

    // Reads "COLORTXT" and "COLORBAK" of strSection and applies them without repainting.
    CColorEdit(const std::string& strIniPath, std::string strSection, QWidget* pParent);

    std::uint32_t GetTextColor() const { return m_crText; }
    std::uint32_t GetBkColor() const { return m_crBack; }
    // Store the colour; with bRepaint non-zero, show it at once (RedrawInside).
    void SetTextColor(std::uint32_t crText, int bRepaint);
    void SetBkColor(std::uint32_t crBack, int bRepaint);
    // Repaints the box, and the parent beneath it when the background is transparent.
    void RedrawInside();

    // Colour dialog; on a choice: set the colour with repaint and write it to the settings file.
    // A cancelled dialog changes nothing.
    void ChooseTextColor();
    void ChooseBkColor();

    // The dialogs seam; tests put a scripted one in place.
    void SetDialogs(std::unique_ptr<IBoxDialogs> pDialogs);
    IBoxDialogs& Dialogs() { return *m_pDialogs; }

    const std::shared_ptr<CCodePage>& CodePage() const { return m_pCodePage; }
    // Makes the box use (and follow) pCodePage instead of its own.
    void SetCodePage(std::shared_ptr<CCodePage> pCodePage);

    // The context menu exactly as a right click shows it, with each action's command number in
    // its data(); triggering an action runs OnCommand.
    std::unique_ptr<CNewMenu> CreateContextMenu();
    // A menu command (BoxCommands.h); unknown numbers are ignored.
    virtual void OnCommand(int nCommand);
    // 0 text, 1 hexadecimal (the mode items of both menus); what a mode means is the box's own.
    virtual void SetMode(int bHexMode) = 0;

    static QColor ColorFromColorRef(std::uint32_t cr);
    static std::uint32_t ColorRefFromColor(const QColor& color);

protected:
    // The box's own items, in menu order, with their current states.
    virtual std::vector<SBoxMenuItem> MenuItems() const = 0;
    // The box's own submenus, after "字符编码".
    virtual std::vector<SBoxSubMenu> SubMenus() const { return {}; }
    // The box's own items after the submenus.
    virtual std::vector<SBoxMenuItem> TailItems() const { return {}; }
    // The code page changed: re-render what depends on it.
    virtual void OnCodePageChanged() {}
    const std::string& IniPath() const { return m_strIniPath; }
    // Whether the whole text is selected (the select-all item's grey rule).
    bool IsAllSelected() const;

    void contextMenuEvent(QContextMenuEvent* pEvent) override;
    void focusOutEvent(QFocusEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;

private:
    void ApplyColors();
    void ChooseColor(bool bText);

    std::string m_strIniPath;
    std::string m_strSection;
    std::uint32_t m_crText = kDefaultTextColor;
    std::uint32_t m_crBack = kDefaultBackColor;
    std::unique_ptr<IBoxDialogs> m_pDialogs;
    std::shared_ptr<CCodePage> m_pCodePage;
    QMetaObject::Connection m_codePageLink;
};
