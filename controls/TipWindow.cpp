#include "TipWindow.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QCursor>
#include <QFontInfo>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <QScreen>
#include <QToolTip>
#include <algorithm>

namespace {

constexpr QChar kPageBreak = u'\r';
// Two half-em spaces keep the room of the page arrow: as wide as two spaces of the bitmap font the
// tips were designed for, where a proportional font's spaces would leave too little.
constexpr QChar kHalfEm = u'\u2002';
const QString kArrowRoom = QString(2, kHalfEm);

QColor FromColorRef(COLORREF clr, QPalette::ColorRole roleDefault) {
    if (clr == CLR_DEFAULT) {
        return QToolTip::palette().color(roleDefault);
    }
    return QColor(clr & 0xFF, (clr >> 8) & 0xFF, (clr >> 16) & 0xFF);
}

// The tip as assistive technology sees it: a tool tip named by its whole text.
class CTipAccessible : public QAccessibleWidget {
public:
    explicit CTipAccessible(CTipWindow* pTip) : QAccessibleWidget(pTip, QAccessible::ToolTip) {}
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name) {
            return static_cast<CTipWindow*>(widget())->GetAccessibleText();
        }
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* TipAccessibleFactory(const QString& strClass, QObject* pObject) {
    if (strClass == QLatin1String("CTipWindow") && pObject != nullptr && pObject->isWidgetType()) {
        return new CTipAccessible(static_cast<CTipWindow*>(pObject));
    }
    return nullptr;
}

}  // namespace

QString ExtractField(const QString& text, int n, QChar chSep) {
    qsizetype nStart = 0;
    for (int i = 0; i < n; ++i) {
        const qsizetype nSep = text.indexOf(chSep, nStart);
        if (nSep < 0) {
            return {};
        }
        nStart = nSep + 1;
    }
    const qsizetype nEnd = text.indexOf(chSep, nStart);
    return text.mid(nStart, nEnd < 0 ? -1 : nEnd - nStart);
}

QRect PlaceTipRect(QPoint pt, QSize sizeBox, const QRect& rcScreen, const QRect& rcToolWnd) {
    QRect rc(pt, sizeBox);
    const int nScreenRight = rcScreen.left() + rcScreen.width();
    const int nScreenBottom = rcScreen.top() + rcScreen.height();
    if (rc.left() + rc.width() > nScreenRight) {
        rc.moveLeft(nScreenRight - rc.width());
    }
    if (rc.left() < rcScreen.left()) {
        rc.moveLeft(rcScreen.left());
    }
    if (rc.top() + rc.height() > nScreenBottom) {
        rc.moveTop(rcToolWnd.top() - rc.height());
    }
    return rc;
}

CTipWindow::CTipWindow()
    : m_nDrawFlags(Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap | Qt::TextExpandTabs) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
}

CTipWindow::~CTipWindow() {
    if (qApp != nullptr) {
        qApp->removeEventFilter(this);
    }
}

bool CTipWindow::Create(QWidget* pParentWnd) {
    if (pParentWnd == nullptr) {
        return false;
    }
    m_pParentWnd = pParentWnd;
    setParent(pParentWnd, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                              Qt::WindowDoesNotAcceptFocus);
    setGeometry(0, 0, 10, 10);
    setFont(QToolTip::font());
    m_bSysFont = true;
    QAccessible::installFactory(TipAccessibleFactory);
    qApp->installEventFilter(this);
    // A window that gets the focus gives it back when clicked.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* pOld, QWidget* pNew) {
        if (pNew == this) {
            m_pPrevFocus = pOld;
        }
    });
    return true;
}

void CTipWindow::RelayEvent(QEvent* pEvent) {
    if (m_pParentWnd == nullptr) {
        return;
    }
    switch (pEvent->type()) {
        case QEvent::MouseMove: {
            const QPoint ptScreen = static_cast<QMouseEvent*>(pEvent)->globalPosition().toPoint();
            const QPoint pt = m_pParentWnd->mapFromGlobal(ptScreen);
            TipTool* pTool = HitTest(ChildFromPoint(pt), pt);
            if (pTool == nullptr) {
                if (m_bSuppressed) {
                    m_pCurTool = nullptr;
                }
            } else if (pTool != m_pCurTool && (m_pCurTool == nullptr || !IsCursorOverTip())) {
                ArmTool(pTool);
            }
            break;
        }
        case QEvent::MouseButtonPress:
            if (static_cast<QMouseEvent*>(pEvent)->button() != Qt::LeftButton ||
                !IsCursorOverTip()) {
                HideTip();
            }
            break;
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::InputMethod:  // typing through an input method, composing or committing
        case QEvent::MouseButtonDblClick:
        case QEvent::NonClientAreaMouseButtonPress:
        case QEvent::NonClientAreaMouseButtonDblClick:
            HideTip();
            break;
        default:
            break;
    }
}

bool CTipWindow::eventFilter(QObject* pWatched, QEvent* pEvent) {
    if (pWatched->isWidgetType() && m_pParentWnd != nullptr) {
        const QWidget* pWindow = static_cast<QWidget*>(pWatched)->window();
        if (pWindow == m_pParentWnd->window() || pWindow == this) {
            RelayEvent(pEvent);
        }
    }
    return false;
}

void CTipWindow::ArmTool(TipTool* pTool) {
    KillTimerOf(TIMER_SHOW);
    KillTimerOf(TIMER_POLL);
    HideTip();
    m_bSuppressed = false;
    m_pCurTool = pTool;
    StartTimerOf(TIMER_SHOW, m_nInitialDelay);
}

void CTipWindow::HideTip() {
    hide();
    m_bSuppressed = true;
}

void CTipWindow::OnTimer(int nId) {
    if (m_pCurTool == nullptr || m_bSuppressed) {
        KillTimerOf(nId);
        HideTip();
        return;
    }
    if (nId == TIMER_SHOW) {
        KillTimerOf(TIMER_SHOW);
        if (!IsCursorInTool(*m_pCurTool)) {
            return;
        }
        ShowTip(GetCursorPos() + m_ptOffset, false);
        m_nElapsed = 0;
        StartTimerOf(TIMER_POLL, m_nPollPeriod);
        return;
    }
    m_nElapsed += static_cast<unsigned>(m_nPollPeriod);
    const TipTool* pUnder = ToolFromPoint(m_pParentWnd->mapFromGlobal(GetCursorPos()));
    if (pUnder != nullptr && pUnder != m_pCurTool) {
        KillTimerOf(TIMER_POLL);
        HideTip();
        return;
    }
    if ((IsCursorInTool(*m_pCurTool) && m_nElapsed < m_nAutoHide) || IsCursorOverTip()) {
        return;
    }
    KillTimerOf(TIMER_POLL);
    HideTip();
}

QString CTipWindow::FullText(const TipTool& tool) const {
    if (!tool.bAskText) {
        return tool.text;
    }
    return m_fnTextRequest ? m_fnTextRequest(tool.hWnd, tool.uId) : QString();
}

QString CTipWindow::GetToolText(const TipTool* pTool) {
    if (pTool == nullptr) {
        return {};
    }
    const QString text = FullText(*pTool);
    m_bHasPages = text.contains(kPageBreak);
    if (!m_bHasPages) {
        return text;
    }
    return m_bSecondPage ? kArrowRoom + ExtractField(text, 1, kPageBreak)
                         : ExtractField(text, 0, kPageBreak) + kArrowRoom;
}

QString CTipWindow::GetAccessibleText() const {
    if (m_pCurTool == nullptr) {
        return {};
    }
    const QString text = FullText(*m_pCurTool);
    return ExtractField(text, 0, kPageBreak) +
           (text.contains(kPageBreak) ? QChar(u'\n') + ExtractField(text, 1, kPageBreak)
                                      : QString());
}

CTipWindow::State CTipWindow::GetState() const {
    if (m_pCurTool == nullptr) {
        return State::Idle;
    }
    if (m_bSuppressed) {
        return State::Dismissed;
    }
    if (isVisible()) {
        return State::Shown;
    }
    return m_bShowTimerOn ? State::Armed : State::Waiting;
}

QSize CTipWindow::CalcTextRect(const QString& text, int nWidth) const {
    const QFontMetrics fm(font());
    if (nWidth == 0) {
        for (const QString& strLine : text.split(u'\n')) {
            nWidth = std::max(nWidth, fm.horizontalAdvance(strLine + kArrowRoom));
        }
    }
    nWidth = std::max(nWidth, 0);
    // Trailing spaces count: they keep the room of the page arrow.
    const QRect rc =
        fm.boundingRect(QRect(0, 0, nWidth, 0), m_nDrawFlags | Qt::TextIncludeTrailingSpaces, text);
    // As a measured multi-line text, the box narrows to its widest line (or a longer word).
    return rc.size().grownBy(m_rcMargin);
}

QRect CTipWindow::CalcWindowRect(QPoint pt, const TipTool& tool, QSize sizeBox) const {
    const QScreen* pScreen = QGuiApplication::screenAt(pt);
    if (pScreen == nullptr) {
        pScreen = QGuiApplication::primaryScreen();
    }
    const QRect rcScreen = pScreen != nullptr ? pScreen->geometry() : QRect(pt, sizeBox);
    QRect rcToolWnd;
    if (tool.hWnd != nullptr) {
        rcToolWnd = QRect(tool.hWnd->mapToGlobal(QPoint(0, 0)), tool.hWnd->size());
    }
    return PlaceTipRect(pt, sizeBox, rcScreen, rcToolWnd);
}

void CTipWindow::ShowTip(QPoint pt, bool bSecondPage) {
    if (m_pCurTool == nullptr) {
        return;
    }
    m_bSecondPage = bSecondPage;
    const QString text = GetToolText(m_pCurTool);
    if (text.isEmpty()) {
        return;
    }
    const QSize sizeBox = CalcTextRect(text, m_pCurTool->nMaxWidth);
    const QRect rc = CalcWindowRect(pt, *m_pCurTool, sizeBox);
    hide();
    m_strShown = text;
    setGeometry(rc);
    show();
    raise();
}

void CTipWindow::paintEvent(QPaintEvent*) {
    if (m_pCurTool == nullptr || m_strShown.isEmpty()) {
        return;
    }
    QPainter painter(this);
    const QRect rcClient = rect();
    painter.fillRect(rcClient, FromColorRef(m_pCurTool->clrBk, QPalette::ToolTipBase));
    painter.setPen(Qt::black);
    painter.drawRect(rcClient.adjusted(0, 0, -1, -1));
    const QRect rcText = rcClient.marginsRemoved(m_rcMargin);
    painter.setPen(FromColorRef(m_pCurTool->clrText, QPalette::ToolTipText));
    painter.drawText(rcText, m_nDrawFlags, m_strShown);
    if (!m_bHasPages) {
        return;
    }
    // The page arrow on the first line, in the room the two spaces keep.
    const QFontMetrics fm(font());
    const int nInternalLeading = std::max(0, fm.height() - QFontInfo(font()).pixelSize());
    const int g = std::max(nInternalLeading + fm.leading(), fm.descent());
    const int h = fm.horizontalAdvance(kHalfEm) / 2;
    const int cx = fm.horizontalAdvance(kArrowRoom);
    const int cy = fm.height() - fm.height() % 2;
    const int L = rcText.left();
    const int T = rcText.top();
    const int R = rcText.left() + rcText.width();
    QPolygon arrow;
    if (m_bSecondPage) {
        arrow << QPoint(L + cx - h, T + g) << QPoint(L, T + cy / 2)
              << QPoint(L + cx - h, T + cy - g);
    } else {
        arrow << QPoint(R - cx + h, T + g) << QPoint(R, T + cy / 2)
              << QPoint(R - cx + h, T + cy - g);
    }
    painter.setPen(Qt::black);
    painter.setBrush(Qt::black);
    painter.drawPolygon(arrow);
}

void CTipWindow::mousePressEvent(QMouseEvent* pEvent) {
    if (pEvent->button() != Qt::LeftButton || m_pCurTool == nullptr || m_bSuppressed) {
        return;
    }
    if (m_bHasPages) {
        ShowTip(pos(), !m_bSecondPage);
    }
    if (m_pPrevFocus != nullptr) {
        m_pPrevFocus->setFocus();
    }
}

void CTipWindow::changeEvent(QEvent* pEvent) {
    QWidget::changeEvent(pEvent);
    if (pEvent->type() == QEvent::ApplicationFontChange && m_bSysFont) {
        setFont(QToolTip::font());
    } else if (pEvent->type() == QEvent::FontChange) {
        m_bSysFont = font() == QToolTip::font();
        update();
    }
}

void CTipWindow::StartTimerOf(int nId, int nMs) {
    if (nId == TIMER_SHOW) {
        m_bShowTimerOn = true;
    }
    StartTipTimer(nId, nMs);
}

void CTipWindow::KillTimerOf(int nId) {
    if (nId == TIMER_SHOW) {
        m_bShowTimerOn = false;
    }
    KillTipTimer(nId);
}

void CTipWindow::StartTipTimer(int nId, int nMs) {
    (nId == TIMER_SHOW ? m_timerShow : m_timerPoll).start(nMs, this);
}

void CTipWindow::KillTipTimer(int nId) {
    (nId == TIMER_SHOW ? m_timerShow : m_timerPoll).stop();
}

QPoint CTipWindow::GetCursorPos() const {
    return QCursor::pos();
}

void CTipWindow::timerEvent(QTimerEvent* pEvent) {
    if (pEvent->timerId() == m_timerShow.timerId()) {
        OnTimer(TIMER_SHOW);
    } else if (pEvent->timerId() == m_timerPoll.timerId()) {
        OnTimer(TIMER_POLL);
    } else {
        QWidget::timerEvent(pEvent);
    }
}
