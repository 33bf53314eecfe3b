#include "ReceiveView.h"

#include <QAccessible>
#include <QGuiApplication>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <chrono>
#include <cmath>

#include "CharWidths.h"
#include "GlyphCache.h"
#include "IniFile.h"
#include "RxDocumentLayout.h"
#include "RxPainter.h"
#include "RxScreen.h"
#include "SteadyScrollBar.h"

namespace {

// A refresh due this soon is done at once: the delivery that brought the bytes runs on the same
// period, and a timer of its own would wake the window a second time for nothing.
constexpr int kEarlyMs = 5;
// Kept free at the right edge, so that rounding never lets a line exceed the width.
constexpr qreal kWrapSlack = 1.0;

}  // namespace

CReceiveView::CReceiveView(const std::string& strIniPath, QWidget* pParent)
    : CColorEdit(strIniPath, "RX", pParent), m_strIniPath(strIniPath) {
    auto* pDoc = new QTextDocument(this);
    m_pLayout = new CRxDocumentLayout(pDoc);
    pDoc->setDocumentLayout(m_pLayout);
    setDocument(pDoc);
    auto* pBar = new CSteadyScrollBar(Qt::Vertical);
    setVerticalScrollBar(pBar);
    // The slider moves at every refresh while the text grows: an opaque bar is repainted alone,
    // not with the frame and the window behind it (it fills with what they show there).
    pBar->setAutoFillBackground(true);
    // The edit's handling of clicks on the groove (page up and down) was tied to its own bar.
    connect(pBar, SIGNAL(actionTriggered(int)), this,
            SLOT(_q_verticalScrollbarActionTriggered(int)));
    // The edit repaints the whole viewport at every change of the document; while the screen is
    // brought up to date the layout is silent and the box repaints only what changed in view
    // (UpdateScreen, RepaintChanged).
    disconnect(m_pLayout, &QAbstractTextDocumentLayout::update, nullptr, nullptr);
    connect(m_pLayout, &QAbstractTextDocumentLayout::update, this,
            [this] { viewport()->update(); });
    // The edit sets its scroll bar by laying out the lines at the end, which are only painted.
    disconnect(m_pLayout, &QAbstractTextDocumentLayout::documentSizeChanged, nullptr, nullptr);
    connect(m_pLayout, &QAbstractTextDocumentLayout::documentSizeChanged, this,
            &CReceiveView::AdjustScrollBar);
    m_pPainter = std::make_unique<CRxPainter>(m_pLayout);
    m_pScreen = std::make_unique<CRxScreen>(pDoc);
    m_pLayout->SetBlockLines(
        [this](int nBlock) { return m_pScreen ? m_pScreen->BlockLines(nBlock) : -1; });
    const CIniFile ini(m_strIniPath);
    m_bHexMode = ini.ReadBool("RX", "MODE", 0) != 0;
    m_bLfToCrLf = ini.ReadBool("RX", "CR", 1) != 0;
    m_bLfToCrLfDue = m_bLfToCrLf;
    m_bLfToCrLfShown = m_bLfToCrLf;
    m_options = SRxOptions::Read(m_strIniPath);
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setUndoRedoEnabled(false);
    // What depends on the font is set up when text is first laid out (CurrentLayout): a window
    // usually gives the box its font right after making it.
    m_refreshTimer.setSingleShot(true);
    connect(&m_refreshTimer, &QTimer::timeout, this, &CReceiveView::Refresh);
}

CReceiveView::~CReceiveView() = default;

void CReceiveView::ScheduleRefresh() {
    m_bRefreshPending = true;
    const qint64 nSince = m_sinceRefresh.isValid() ? m_sinceRefresh.elapsed() : kRefreshMs;
    m_refreshTimer.start(nSince >= kRefreshMs - kEarlyMs ? 0
                                                         : static_cast<int>(kRefreshMs - nSince));
}

void CReceiveView::SetMode(int bHexMode) {
    CIniFile(m_strIniPath).WriteBool("RX", "MODE", bHexMode != 0);
    SetModeForRun(bHexMode);
}

void CReceiveView::SetModeForRun(int bHexMode) {
    m_bHexMode = bHexMode != 0;
    RenderAllNow();
}

void CReceiveView::AppendSent(const std::uint8_t* pBytes, std::size_t nCount, ReadTime tSent) {
    if (!m_options.bEcho) {
        return;
    }
    m_ring.MarkSent(pBytes, nCount, tSent);
    if (!m_bRefreshPending) {
        ScheduleRefresh();
    }
}

void CReceiveView::AppendNote(const QString& strText) {
    const QByteArray utf8 = strText.toUtf8();
    m_ring.MarkNote(reinterpret_cast<const std::uint8_t*>(utf8.constData()),
                    static_cast<std::size_t>(utf8.size()), std::chrono::system_clock::now());
    if (!m_bRefreshPending) {
        ScheduleRefresh();
    }
}

void CReceiveView::SetOptions(const SRxOptions& options) {
    if (options == m_options) {
        return;
    }
    m_options = options;
    RenderAllNow();
    emit OptionsChanged();
}

QColor CReceiveView::StampColor() const {
    // Half way to the background: the same hue, read after the data.
    const QColor text = palette().color(QPalette::Text);
    const QColor back = palette().color(QPalette::Base);
    return QColor((text.red() + back.red()) / 2, (text.green() + back.green()) / 2,
                  (text.blue() + back.blue()) / 2);
}

QColor CReceiveView::SentColor() {
    return QColor(0x00, 0x40, 0xC0);  // a dark blue beside the received text's dark green
}

void CReceiveView::RenderAllNow() {
    m_bLfToCrLfDue = m_bLfToCrLf;
    InvalidateLayout(false);
    Refresh();
}

void CReceiveView::NoteBytesSinceFlip() {
    if (m_ring.Total() != m_nTotalAtFlip) {
        m_bLfToCrLfDue = m_bLfToCrLf;
    }
}

void CReceiveView::Refresh() {
    NoteBytesSinceFlip();
    // The hexadecimal text does not depend on the option; text under another option is rendered
    // whole, as every byte re-rendering the whole buffer would show it.
    if (!m_bHexMode && m_bLfToCrLfDue != m_bLfToCrLfShown) {
        InvalidateLayout(false);
    }
    m_bRefreshPending = false;
    m_refreshTimer.stop();
    m_sinceRefresh.start();

    const QTextCursor before = textCursor();
    const bool bSelection = before.hasSelection();
    if (m_bLayoutStale) {
        // A new width or font leaves the text as it was: the selection moves with its text.
        const bool bKeep = m_bKeepSelection && bSelection;
        const int nAnchor = bKeep ? m_pScreen->LogicalPos(before.anchor()) : 0;
        const int nPosition = bKeep ? m_pScreen->LogicalPos(before.position()) : 0;
        m_pScreen->SetLayout(CurrentLayout());
        m_bLayoutStale = false;
        UpdateScreen();
        if (bKeep) {
            Select(m_pScreen->DocPos(nAnchor), m_pScreen->DocPos(nPosition));
        }
    } else {
        const std::uint64_t nAnchor = m_pScreen->AbsolutePos(before.anchor());
        const std::uint64_t nPosition = m_pScreen->AbsolutePos(before.position());
        {
            // The edit hears of each edit's text and cursor moves only to tell assistive tools
            // and to follow the selection, which is set below: while no tool listens, it is quiet.
            const QSignalBlocker quiet(QAccessible::isActive() ? nullptr : document());
            UpdateScreen();
        }
        // Qt moves a selection that ends at the end along with appended text, and one whose text
        // was dropped or rendered anew would now select other text: pin it, or let it go.
        if (bSelection && std::min(nAnchor, nPosition) >= m_pScreen->StableFrom()) {
            Select(m_pScreen->DocPosOf(m_pScreen->Carried(nAnchor)),
                   m_pScreen->DocPosOf(m_pScreen->Carried(nPosition)));
        } else if (bSelection) {
            Select(-1, -1);
        }
    }
    // A release that never reached the box (a popup took it) must not stop it following the end.
    if (m_bDragging && !(QGuiApplication::mouseButtons() & Qt::LeftButton)) {
        m_bDragging = false;
    }
    if (!m_bDragging) {
        ScrollToEnd();
    }
    RepaintChanged(m_pScreen->StableFrom() == UINT64_MAX);
    emit Refreshed();
}

void CReceiveView::UpdateScreen() {
    {
        // The scroll bar and the view follow the new text once, not each of its edits, which
        // would lay out lines that never show.
        const QSignalBlocker quiet(m_pLayout);
        m_pScreen->Update(m_ring);
    }
    emit m_pLayout->documentSizeChanged(m_pLayout->documentSize());
}

void CReceiveView::RepaintChanged(bool bWhole) {
    const int nTop = firstVisibleBlock().position();
    // With the blocks before it renumbered, the edit scrolled the view by the distance from
    // another block: what it moved is not where it belongs.
    if (bWhole || m_pScreen->BlocksRenumbered() ||
        m_pScreen->DocPosOf(m_pScreen->StableFrom()) > nTop) {
        viewport()->update();
        return;
    }
    const int nTail = m_pScreen->DocPosOf(m_pScreen->TailFrom());
    if (nTail < 0 || nTail >= document()->characterCount()) {
        return;
    }
    if (nTail < nTop) {
        // Above the view (where its geometry would lay out lines joined in a block).
        viewport()->update();
        return;
    }
    const CRxDocumentLayout::CGeometryOnly geometry(*m_pLayout);
    const qreal fTop =
        blockBoundingGeometry(document()->findBlock(nTail)).translated(contentOffset()).top();
    const QRect view = viewport()->rect();
    if (fTop < view.bottom()) {
        viewport()->update(view.adjusted(0, std::max(0, static_cast<int>(fTop)), 0, 0));
    }
}

void CReceiveView::Select(int nAnchor, int nPosition) {
    QTextCursor cursor = textCursor();
    if (nAnchor < 0) {
        cursor.clearSelection();
    } else if (cursor.anchor() != nAnchor || cursor.position() != nPosition) {
        cursor.setPosition(nAnchor);
        cursor.setPosition(nPosition, QTextCursor::KeepAnchor);
    } else {
        return;
    }
    setTextCursor(cursor);
}

void CReceiveView::ClearAll() {
    m_ring.Clear();
    m_pScreen->Clear();
    // The empty text is the same under either option; the next byte shows under the current one.
    m_bLfToCrLfDue = m_bLfToCrLf;
    m_nTotalAtFlip = 0;
}

QString CReceiveView::ShownText() const {
    return m_pScreen->LogicalText(0, document()->characterCount() - 1);
}

QMimeData* CReceiveView::createMimeDataFromSelection() const {
    const QTextCursor cursor = textCursor();
    auto* pData = new QMimeData;
    pData->setText(m_pScreen->CopiedText(cursor.selectionStart(), cursor.selectionEnd(), m_ring));
    return pData;
}

void CReceiveView::resizeEvent(QResizeEvent* pEvent) {
    CColorEdit::resizeEvent(pEvent);
    const int nLinesInView = viewport()->height() / std::max(1, fontMetrics().lineSpacing()) + 2;
    m_pScreen->SetLinesInView(nLinesInView);
    if (viewport()->width() != m_nLaidOutWidth) {
        // Until the next refresh wraps the text anew, the scroll bar stays as it was.
        m_pLayout->CountJoinedLines();
        InvalidateLayout(true);
    }
}

void CReceiveView::changeEvent(QEvent* pEvent) {
    CColorEdit::changeEvent(pEvent);
    if (pEvent->type() == QEvent::FontChange) {
        m_pWidths.reset();  // for the new font at the next layout
        m_pLayout->SetGlyphs(nullptr);
        m_pGlyphs.reset();
        InvalidateLayout(true);
    }
}

void CReceiveView::mousePressEvent(QMouseEvent* pEvent) {
    if (pEvent->button() == Qt::LeftButton) {
        m_bDragging = true;
    }
    CColorEdit::mousePressEvent(pEvent);
}

void CReceiveView::mouseReleaseEvent(QMouseEvent* pEvent) {
    if (pEvent->button() == Qt::LeftButton) {
        m_bDragging = false;
    }
    CColorEdit::mouseReleaseEvent(pEvent);
}

void CReceiveView::paintEvent(QPaintEvent* pEvent) {
    m_pLayout->LayOutJoined(firstVisibleBlock());
    CRxPainter::SView view;
    view.first = firstVisibleBlock();
    view.offset = contentOffset();
    view.viewport = viewport()->rect();
    view.context = getPaintContext();
    view.nCursorWidth = cursorWidth();
    view.bCursorShown = !isReadOnly() || (textInteractionFlags() & Qt::TextSelectableByKeyboard);
    view.fTabStop = tabStopDistance() * viewport()->logicalDpiY() / 96.0;
    if (m_options.bTimeStamps || m_options.bEcho) {
        // At most a span a screen line: a timestamp, or a send that began above.
        const int nLines = viewport()->height() / std::max(1, fontMetrics().lineSpacing()) + 4;
        std::vector<CRxScreen::SDocSpan> spans;
        m_pScreen->SpansFrom(view.first.position(), 2 * static_cast<std::size_t>(nLines), spans);
        const QColor stamp = StampColor();
        const QColor sent = SentColor();
        for (const CRxScreen::SDocSpan& span : spans) {
            view.spans.push_back({span.nFrom, span.nTo, span.bSent ? sent : stamp});
        }
    }
    QPainter painter(viewport());
    m_pPainter->Paint(painter, pEvent->rect(), view, m_pGlyphs.get());
}

void CReceiveView::ApplyFont() {
    m_pWidths = std::make_unique<CCharWidths>(font());
    setTabStopDistance(m_pWidths->TabStop());
    SetDocumentFont();
}

void CReceiveView::SetDocumentFont() {
    // Shaping (kerning, ligatures) changes nothing in a box font's Latin and CJK text but costs
    // most of laying out a new line; scripts that need it are shaped all the same.
    QFont font = this->font();
    font.setStyleStrategy(QFont::StyleStrategy(font.styleStrategy() | QFont::PreferNoShaping));
    document()->setDefaultFont(font);
    m_pGlyphs = std::make_unique<CGlyphCache>(font);
    m_pLayout->SetGlyphs(m_pGlyphs.get());
}

void CReceiveView::InvalidateLayout(bool bSameText) {
    // Several changes before one refresh: the selection is kept only if all of them keep the text.
    m_bKeepSelection = m_bLayoutStale ? m_bKeepSelection && bSameText : bSameText;
    m_bLayoutStale = true;
    // An empty box looks the same under any layout: the first bytes lay it out.
    if (!m_bRefreshPending && (m_ring.Length() > 0 || !document()->isEmpty())) {
        ScheduleRefresh();
    }
}

SRxLayout CReceiveView::CurrentLayout() {
    m_nLaidOutWidth = viewport()->width();
    SRxLayout layout;
    layout.bHex = m_bHexMode;
    m_bLfToCrLfShown = m_bLfToCrLfDue;
    layout.bLfToCrLf = m_bLfToCrLfShown;
    layout.nCodePage = CodePage()->Get();
    layout.bStamps = m_options.bTimeStamps;
    layout.nFrameGapMs = m_options.nFrameGapMs;
    layout.bEcho = m_options.bEcho;
    if (!m_pWidths) {
        ApplyFont();
    }
    layout.pWidths = m_pWidths.get();
    layout.fLineWidth =
        std::max<qreal>(0, m_nLaidOutWidth - 2 * document()->documentMargin() - kWrapSlack);
    // A pair's trailing blank may hang past the edge, as in any wrapped text.
    const qreal fPair = m_pWidths->HexPairWidth() + m_pWidths->SpaceWidth();
    layout.nHexPerLine = std::max(
        1, static_cast<int>(std::floor((layout.fLineWidth + m_pWidths->SpaceWidth()) / fPair)));
    return layout;
}

void CReceiveView::ScrollToEnd() {
    m_pLayout->LayOutJoined(firstVisibleBlock());
    const CRxDocumentLayout::CGeometryOnly geometry(*m_pLayout);
    QScrollBar* pBar = verticalScrollBar();
    pBar->setValue(pBar->maximum());
}

void CReceiveView::AdjustScrollBar() {
    m_pLayout->LayOutJoined(firstVisibleBlock());
    const CRxDocumentLayout::CGeometryOnly geometry(*m_pLayout);
    // Hidden, the edit guesses the lines in view from the line spacing.
    const int nPage = isVisible() ? m_pLayout->LinesAtEnd(viewport()->rect().height())
                                  : viewport()->height() / std::max(1, fontMetrics().lineSpacing());
    const int nMax = std::max(0, document()->lineCount() - (isVisible() ? nPage : 1));
    QScrollBar* pBar = verticalScrollBar();
    pBar->setRange(0, nMax);
    pBar->setPageStep(nPage);
    const QTextBlock first = firstVisibleBlock();
    if (first.isValid()) {
        const QSignalBlocker quiet(pBar);
        pBar->setValue(first.firstLineNumber() +
                       CRxDocumentLayout::TopLine(first, -contentOffset().y()));
    }
    // The edit's view follows its scroll bar: the top line may be in another block now.
    scrollContentsBy(0, 0);
}
