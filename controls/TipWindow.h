#pragma once
// CTipWindow: the help tips of one parent window's controls, in a top-most popup of its own.
//
// A tool is a control of the parent (or a descendant) with a text. The tip watches the mouse
// through an application event filter (RelayEvent) and does its own hit testing, so disabled
// controls get tips too. 500 ms after the mouse comes to rest in a tool the tip shows 20 pixels
// below the cursor, framed, in the tool's colours, the text wrapped at the tool's width (0: as wide
// as the widest line); it is checked every 500 ms and hides after 5000 ms unless the cursor is
// over the tip, or at once when the cursor moves into another tool or off both tool and tip, at a
// key press, a double click, a right, middle or non-client click, or a left click outside it. A
// dismissed tip comes back only after the mouse leaves to a place without a tool or enters another
// tool. Near the right screen edge the tip moves left; near the bottom it stands above the tool.
//
// A text may hold '\n' line breaks and one '\r' page break: the first page then ends with a black
// arrow pointing right, and a click on the tip flips between the pages (the second one shows an
// arrow pointing left). Anything after a second '\r' is never shown. Assistive technology reads the
// tip as a tool tip whose name is the whole text, both pages.
//
// A tool added without a rectangle follows its control: its area is the control's current
// rectangle, wherever the resizable layout has moved it.
#include <QBasicTimer>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

using COLORREF = std::uint32_t;  // 0x00BBGGRR
constexpr COLORREF RGB(int r, int g, int b) {
    return static_cast<COLORREF>(r & 0xFF) | static_cast<COLORREF>(g & 0xFF) << 8 |
           static_cast<COLORREF>(b & 0xFF) << 16;
}
// The system's tool-tip colour (the palette's tool-tip base or text).
constexpr COLORREF CLR_DEFAULT = 0xFF000000;

struct TipTool {
    std::uint32_t uFlags = 0;  // carried for the caller
    QPointer<QWidget> hWnd;
    std::uint32_t uId = 0;       // (hWnd, uId) identifies a tool
    QRect rect;                  // active area in the parent's client coordinates
    bool bFollowWindow = false;  // added without a rectangle: the area is hWnd's current one
    bool bAskText = false;       // the text is asked for each time it is needed
    QString text;                // '\n' line breaks, one '\r' page break
    int nMaxWidth = 0;           // 0: as wide as the widest line
    COLORREF clrText = CLR_DEFAULT;
    COLORREF clrBk = CLR_DEFAULT;
    std::intptr_t lParam = 0;  // carried for the caller
};

// What callers exchange with the tip about one tool; lpszText nullopt: an asked-for text.
struct TipToolInfo {
    std::uint32_t uFlags = 0;
    QWidget* hWnd = nullptr;
    std::uint32_t uId = 0;
    QRect rect;  // on output the current area; on input an invalid one makes the tool follow hWnd
    std::optional<QString> lpszText;
    std::intptr_t lParam = 0;
    int nMaxWidth = 0;
    COLORREF clrText = CLR_DEFAULT;
    COLORREF clrBk = CLR_DEFAULT;
};

// The n-th field (from 0) of text split at chSep; the last runs to the end; missing ones are empty.
QString ExtractField(const QString& text, int n, QChar chSep);
// Where a tip box of sizeBox stands for a point: its top-left at the point, moved left so that it
// ends at the screen's right edge, but not past the left one; one that would cross the bottom
// stands above the tool instead, its bottom on the tool window's top (rcToolWnd in screen
// coordinates).
QRect PlaceTipRect(QPoint pt, QSize sizeBox, const QRect& rcScreen, const QRect& rcToolWnd);

class CTipWindow : public QWidget {
    Q_OBJECT
public:
    enum : int { TIMER_SHOW = 1, TIMER_POLL = 2 };
    enum class State { Idle, Armed, Waiting, Shown, Dismissed };

    CTipWindow();
    ~CTipWindow() override;

    // Watches the parent's controls from now on. The tip window is owned by the parent (it stays
    // above it and goes with it).
    bool Create(QWidget* pParentWnd);
    // pRect in pWnd's own coordinates; nullptr: the tool follows pWnd's rectangle. Text nullopt:
    // asked for through the handler of SetTextRequest each time it is needed.
    bool AddTool(QWidget* pWnd, std::optional<QString> text, const QRect* pRect = nullptr,
                 std::uint32_t uId = 0);
    bool GetToolInfo(TipToolInfo& info, QWidget* pWnd, std::uint32_t uId = 0) const;
    void SetToolInfo(const TipToolInfo& info);
    // Each changes the default for new tools and every tool that still has the old default.
    int SetMaxTipWidth(int nWidth);
    void SetTipBkColor(COLORREF clr);
    void SetTipTextColor(COLORREF clr);
    // Asked-for texts come from here (tool window, tool id); none: empty.
    void SetTextRequest(std::function<QString(QWidget*, std::uint32_t)> fnText) {
        m_fnTextRequest = std::move(fnText);
    }
    // One event of the parent's thread, as the application event filter hands it on.
    void RelayEvent(QEvent* pEvent);

    State GetState() const;
    // The text of the tool being timed or shown, both pages ('\r' as a line break): what assistive
    // technology reads.
    QString GetAccessibleText() const;
    // The tool under a point in the parent's client coordinates, or nullptr.
    const TipTool* ToolFromPoint(QPoint pt) const;

protected:
    // The box that a text needs at a width (0: the widest line), margins included.
    virtual QSize CalcTextRect(const QString& text, int nWidth) const;
    virtual QRect CalcWindowRect(QPoint pt, const TipTool& tool, QSize sizeBox) const;
    // Time and cursor, replaceable so the timing can be driven without a display.
    virtual void StartTipTimer(int nId, int nMs);
    virtual void KillTipTimer(int nId);
    virtual QPoint GetCursorPos() const;
    void OnTimer(int nId);

    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;
    void paintEvent(QPaintEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void changeEvent(QEvent* pEvent) override;
    void timerEvent(QTimerEvent* pEvent) override;

private:
    TipTool* FindTool(const QWidget* pWnd, std::uint32_t uId) const;
    QWidget* ChildFromPoint(QPoint pt) const;
    TipTool* HitTest(QWidget* pChild, QPoint pt) const;
    QRect ToolRect(const TipTool& tool) const;
    bool IsCursorInTool(const TipTool& tool) const;
    bool IsCursorOverTip() const;
    void StartTimerOf(int nId, int nMs);
    void KillTimerOf(int nId);
    void ArmTool(TipTool* pTool);
    void HideTip();
    void ShowTip(QPoint pt, bool bSecondPage);
    QString FullText(const TipTool& tool) const;
    QString GetToolText(const TipTool* pTool);
    void FillInfo(const TipTool& tool, TipToolInfo& info) const;

    QPointer<QWidget> m_pParentWnd;
    QMargins m_rcMargin{2, 2, 3, 3};
    int m_nDefMaxWidth = 0;
    QPoint m_ptOffset{0, 20};
    int m_nDrawFlags;
    bool m_bSysFont = true;
    TipTool* m_pCurTool = nullptr;
    int m_nPollPeriod = 500;
    unsigned m_nAutoHide = 5000;
    unsigned m_nElapsed = 0;
    int m_nInitialDelay = 500;
    bool m_bSuppressed = false;
    bool m_bHasPages = false;
    bool m_bSecondPage = false;
    COLORREF m_clrBkDefault = CLR_DEFAULT;
    COLORREF m_clrTextDefault = CLR_DEFAULT;
    QPointer<QWidget> m_pPrevFocus;
    std::vector<std::unique_ptr<TipTool>> m_arrTools;  // registration order decides hit tests
    std::function<QString(QWidget*, std::uint32_t)> m_fnTextRequest;
    QString m_strShown;  // the page on screen
    bool m_bShowTimerOn = false;
    QBasicTimer m_timerShow;
    QBasicTimer m_timerPoll;
};
