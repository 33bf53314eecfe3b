#include "RxScreen.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <cstdint>
#include <numeric>

CRxScreen::CRxScreen(QTextDocument* pDoc) : m_pDoc(pDoc) {}

CRxScreen::~CRxScreen() = default;

void CRxScreen::SetLayout(const SRxLayout& layout) {
    m_layout = layout;
    m_bStale = true;
}

bool CRxScreen::Update(const CByteRing& ring) {
    if (m_bStale || !m_pRenderer || m_pRenderer->NextByte() < ring.Start() ||
        m_pRenderer->NextByte() > ring.Total() ||
        (m_pRenderer->NextMark() != CRxRenderer::kNoMark &&
         m_pRenderer->NextMark() < ring.FirstMark())) {
        RenderAll(ring);
        return true;
    }
    m_nStableFrom = m_nFirstChar;
    m_nMovedFrom = UINT64_MAX;
    m_bBlocksRenumbered = false;
    Append(ring);
    if ((m_nFirstByte < ring.Start() || m_nFirstMark < ring.FirstMark()) && !TrimFront(ring)) {
        RenderAll(ring);
        return true;
    }
    return false;
}

void CRxScreen::Clear() {
    m_arrBlockLines.assign(1, 1);
    m_pDoc->clear();
    m_syncs.clear();
    m_spans.clear();
    m_pRenderer = std::make_unique<CRxRenderer>(m_layout, 0, 0);
    m_nFirstByte = 0;
    m_nFirstMark = 0;
    m_nFirstChar = 0;
    m_nStableFrom = UINT64_MAX;
}

void CRxScreen::RenderAll(const CByteRing& ring) {
    m_bStale = false;
    m_syncs.clear();
    m_spans.clear();
    m_pRenderer = std::make_unique<CRxRenderer>(m_layout, ring.Start(), 0);
    m_strScratch.clear();
    m_pRenderer->RenderRing(ring, ring.Total(), m_strScratch, m_syncs, m_spans);
    m_nFirstMark = ring.FirstMark();
    m_arrBlockLines.clear();
    for (const int nSeparators : JoinOlderLines(m_strScratch)) {
        m_arrBlockLines.push_back(1 + nSeparators);
    }
    m_pDoc->setPlainText(m_strScratch);
    m_nFirstByte = ring.Start();
    m_nFirstChar = 0;
    m_nStableFrom = UINT64_MAX;
    m_nMovedFrom = UINT64_MAX;
}

void CRxScreen::Append(const CByteRing& ring) {
    m_strScratch.clear();
    const std::uint64_t nLateWrap =
        m_pRenderer->RenderRing(ring, ring.Total(), m_strScratch, m_syncs, m_spans);
    m_nTailFrom = m_nFirstChar + static_cast<std::uint64_t>(m_pDoc->characterCount() - 1);
    const std::vector<int> arrSeparators = JoinOlderLines(m_strScratch);
    QTextCursor cursor(m_pDoc);
    // One change for the layout, and the cursor moves without laying out the line it is on.
    cursor.beginEditBlock();
    if (nLateWrap != CRxRenderer::kNoLateWrap) {
        // The last word of the last line grew past the edge: it moves to a line of its own.
        cursor.setPosition(DocPosOf(nLateWrap));
        cursor.insertText(QStringLiteral("\n"));
        m_arrBlockLines.push_back(1);  // the last line of the last block moved on
        m_nTailFrom = nLateWrap;
        m_nMovedFrom = nLateWrap;
    }
    if (!m_strScratch.isEmpty()) {
        cursor.setPosition(m_pDoc->characterCount() - 1);  // (moving to End lays the line out)
        m_arrBlockLines.back() += arrSeparators.front();
        for (std::size_t i = 1; i < arrSeparators.size(); ++i) {
            m_arrBlockLines.push_back(1 + arrSeparators[i]);
        }
        cursor.insertText(m_strScratch);
    }
    cursor.endEditBlock();
}

bool CRxScreen::TrimFront(const CByteRing& ring) {
    const std::uint64_t nStart = ring.Start();
    // A sync point before a mark that left the ring has that mark's text after it.
    while (!m_syncs.empty() &&
           (m_syncs.front().nByte < nStart || m_syncs.front().nMark < ring.FirstMark())) {
        m_syncs.pop_front();
    }
    // A fresh rendering from nStart meets the document at the first sync point where it has one
    // of the same kind (and so the same state): the first or the second after nStart (the
    // dropped bytes can be part of a line break, a CR of CR LF) when lines end, within two
    // multiples of the line start distance in a long line (RxRenderer.h).
    CRxRenderer fresh(m_layout, nStart, 0);
    std::deque<SRxSyncPoint> frontSyncs;
    std::deque<SRxSpan> frontSpans;
    m_strScratch.clear();
    for (std::size_t nTarget = 0; nTarget < m_syncs.size(); ++nTarget) {
        const SRxSyncPoint target = m_syncs[nTarget];
        if (nTarget >= 2 && target.nByte - nStart > 3 * CRxRenderer::kLineStartBytes) {
            break;
        }
        // A fresh line start is decided at the byte after it.
        const std::uint64_t nTo = std::min(target.nByte + 1, ring.Total());
        if (fresh.NextByte() < nTo || fresh.NextMark() == CRxRenderer::kNoMark) {
            fresh.RenderRing(ring, nTo, m_strScratch, frontSyncs, frontSpans);
        }
        const auto it =
            std::find_if(frontSyncs.begin(), frontSyncs.end(), [&](const SRxSyncPoint& sync) {
                return sync.nByte == target.nByte && sync.bWrap == target.bWrap &&
                       sync.nMark == target.nMark && sync.nFrame == target.nFrame;
            });
        if (it == frontSyncs.end()) {
            continue;
        }
        // The text from the sync point on is the document's already.
        m_strScratch.truncate(static_cast<qsizetype>(it->nChar));
        frontSyncs.erase(it, frontSyncs.end());
        const std::vector<int> arrSeparators = JoinOlderLines(m_strScratch);
        const int nTargetPos = static_cast<int>(target.nChar - m_nFirstChar);
        DropFrontBlocks(nTargetPos, arrSeparators);
        QTextCursor cursor(m_pDoc);
        cursor.beginEditBlock();
        cursor.setPosition(nTargetPos, QTextCursor::KeepAnchor);
        if (m_strScratch.isEmpty()) {
            cursor.removeSelectedText();
        } else {
            cursor.insertText(m_strScratch);
        }
        cursor.endEditBlock();
        m_nFirstByte = nStart;
        m_nFirstMark = ring.FirstMark();
        m_nFirstChar = target.nChar - static_cast<std::uint64_t>(m_strScratch.size());
        m_nStableFrom = target.nChar;
        while (!m_spans.empty() && m_spans.front().nChar < target.nChar) {
            m_spans.pop_front();
        }
        for (auto itSpan = frontSpans.rbegin(); itSpan != frontSpans.rend(); ++itSpan) {
            if (itSpan->nChar < it->nChar) {
                m_spans.push_front({itSpan->nChar + m_nFirstChar, itSpan->nLength, itSpan->bSent});
            }
        }
        m_syncs.erase(m_syncs.begin(), m_syncs.begin() + static_cast<std::ptrdiff_t>(nTarget));
        for (auto itFront = frontSyncs.rbegin(); itFront != frontSyncs.rend(); ++itFront) {
            m_syncs.push_front({itFront->nByte, itFront->nChar + m_nFirstChar, itFront->bWrap,
                                itFront->nMark, itFront->nFrame});
        }
        return true;
    }
    return false;
}

void CRxScreen::DropFrontBlocks(int nTo, const std::vector<int>& arrSeparators) {
    const QTextBlock block = m_pDoc->findBlock(nTo);
    const int nInBlock = nTo - block.position();
    const QString strBlock = nInBlock > 0 ? block.text() : QString();
    const auto nDropped =
        static_cast<int>(QStringView(strBlock).left(nInBlock).count(QChar::LineSeparator));
    m_bBlocksRenumbered = block.blockNumber() + 1 != static_cast<int>(arrSeparators.size());
    m_arrBlockLines.erase(m_arrBlockLines.begin(), m_arrBlockLines.begin() + block.blockNumber());
    m_arrBlockLines.front() += arrSeparators.back() - nDropped;
    for (auto it = arrSeparators.rbegin() + 1; it != arrSeparators.rend(); ++it) {
        m_arrBlockLines.push_front(1 + *it);
    }
}

int CRxScreen::BlockLines(int nBlock) const {
    if (nBlock < 0 || static_cast<std::size_t>(nBlock) >= m_arrBlockLines.size() ||
        static_cast<std::size_t>(m_pDoc->blockCount()) != m_arrBlockLines.size()) {
        return -1;
    }
    return m_arrBlockLines[static_cast<std::size_t>(nBlock)];
}

int CRxScreen::DocPosOf(std::uint64_t nAbsolutePos) const {
    if (nAbsolutePos < m_nFirstChar) {
        return -1;
    }
    return static_cast<int>(nAbsolutePos - m_nFirstChar);
}

bool CRxScreen::IsLineBreakBefore(std::uint64_t nAbsChar) const {
    // The sync points are the line breaks and the fresh line starts of long lines (in hexadecimal
    // mode without timestamps every line start, which is a wrap point).
    const auto it =
        std::lower_bound(m_syncs.begin(), m_syncs.end(), nAbsChar,
                         [](const SRxSyncPoint& sync, std::uint64_t n) { return sync.nChar < n; });
    return it != m_syncs.end() && it->nChar == nAbsChar && !it->bWrap;
}

int CRxScreen::HardBreaksUpTo(std::uint64_t nAbsChar) const {
    const auto it =
        std::upper_bound(m_syncs.begin(), m_syncs.end(), nAbsChar,
                         [](std::uint64_t n, const SRxSyncPoint& sync) { return n < sync.nChar; });
    return static_cast<int>(
        std::count_if(m_syncs.begin(), it, [](const SRxSyncPoint& sync) { return !sync.bWrap; }));
}

void CRxScreen::SpansFrom(int nDocPos, std::size_t nMax, std::vector<SDocSpan>& spans) const {
    const std::uint64_t nAbs = AbsolutePos(nDocPos);
    auto it = std::lower_bound(m_spans.begin(), m_spans.end(), nAbs,
                               [](const SRxSpan& span, std::uint64_t n) { return span.nChar < n; });
    if (it != m_spans.begin() && std::prev(it)->nChar + std::prev(it)->nLength > nAbs) {
        --it;  // a send's line that began above
    }
    for (; it != m_spans.end() && spans.size() < nMax; ++it) {
        const int nFrom = DocPosOf(it->nChar);
        spans.push_back({nFrom, nFrom + static_cast<int>(it->nLength), it->bSent});
    }
}

QString CRxScreen::LogicalText(int nFrom, int nTo,
                               const std::vector<SRxUndrawable>& undrawable) const {
    QTextCursor cursor(m_pDoc);
    cursor.setPosition(nFrom);
    cursor.setPosition(nTo, QTextCursor::KeepAnchor);
    const QString strSelected = cursor.selectedText();
    QString strText;
    strText.reserve(strSelected.size());
    const std::uint64_t nStart = m_nFirstChar + static_cast<std::uint64_t>(cursor.selectionStart());
    auto itUndrawable = std::lower_bound(
        undrawable.begin(), undrawable.end(), nStart,
        [](const SRxUndrawable& entry, std::uint64_t nChar) { return entry.nChar < nChar; });
    for (int i = 0; i < strSelected.size(); ++i) {
        const QChar ch = strSelected[i];
        const std::uint64_t nAbsChar = nStart + static_cast<std::uint64_t>(i);
        if (ch == QChar::ParagraphSeparator || ch == QChar::LineSeparator) {
            if (IsLineBreakBefore(nAbsChar + 1)) {
                strText += u'\n';
            }
            continue;
        }
        while (itUndrawable != undrawable.end() && itUndrawable->nChar < nAbsChar) {
            ++itUndrawable;
        }
        if (itUndrawable != undrawable.end() && itUndrawable->nChar == nAbsChar) {
            const char32_t ch32 = itUndrawable->ch;
            if (QChar::requiresSurrogates(ch32)) {
                strText += QChar(QChar::highSurrogate(ch32));
                strText += QChar(QChar::lowSurrogate(ch32));
            } else {
                strText += QChar(static_cast<char16_t>(ch32));
            }
        } else {
            strText += ch;
        }
    }
    return strText;
}

QString CRxScreen::CopiedText(int nFrom, int nTo, const CByteRing& ring) const {
    std::vector<SRxUndrawable> undrawable;
    const std::uint64_t nEnd = m_pRenderer ? m_pRenderer->NextByte() : 0;
    // A fresh rendering from the document's first byte gives the document's text again, this
    // time telling which characters it replaced. Only while the ring still holds those bytes
    // (an update is due otherwise), and only in text mode, where anything is replaced.
    if (!m_layout.bHex && nEnd > m_nFirstByte && ring.Start() <= m_nFirstByte &&
        nEnd <= ring.Total()) {
        CRxRenderer fresh(m_layout, m_nFirstByte, m_nFirstChar);
        fresh.ListUndrawable(&undrawable);
        QString strScratch;
        std::deque<SRxSyncPoint> syncs;
        std::deque<SRxSpan> spans;
        fresh.RenderRing(ring, nEnd, strScratch, syncs, spans);
    }
    return LogicalText(nFrom, nTo, undrawable);
}

std::vector<int> CRxScreen::JoinOlderLines(QString& str) const {
    std::vector<int> arrSeparators;
    // The newest m_nLinesInView line breaks are found from the end, so the text is read once.
    const QChar* const pBegin = str.constData();
    const QChar* pKept = pBegin + str.size();
    int nKept = 0;
    while (nKept < m_nLinesInView && pKept != pBegin) {
        nKept += *--pKept == u'\n' ? 1 : 0;
    }
    if (pKept != pBegin) {
        int nInBlock = 0;
        const qsizetype nEnd = pKept - pBegin;
        QChar* p = str.data();  // unshared: no copy
        for (QChar* pEnd = p + nEnd; p != pEnd; ++p) {
            if (*p != u'\n') {
                continue;
            }
            if (++nInBlock < kJoinedLines) {
                *p = QChar::LineSeparator;
            } else {
                arrSeparators.push_back(nInBlock - 1);
                nInBlock = 0;
            }
        }
        arrSeparators.push_back(nInBlock);  // the block that the first kept line break ends
    } else {
        ++nKept;  // no line break joined: every block is a line
    }
    arrSeparators.insert(arrSeparators.end(), static_cast<std::size_t>(nKept), 0);
    return arrSeparators;
}

int CRxScreen::LogicalPos(int nDocPos) const {
    // Every block separator and line separator before the position ends a screen line: a block
    // holds as many as its lines.
    const QTextBlock block = m_pDoc->findBlock(nDocPos);
    const QString strBlock = block.text();
    int nBreaks = static_cast<int>(
        QStringView(strBlock).left(nDocPos - block.position()).count(QChar::LineSeparator));
    const auto nBefore =
        std::min(static_cast<std::size_t>(block.blockNumber()), m_arrBlockLines.size());
    nBreaks =
        std::accumulate(m_arrBlockLines.begin(),
                        m_arrBlockLines.begin() + static_cast<std::ptrdiff_t>(nBefore), nBreaks);
    const int nWraps = nBreaks - HardBreaksUpTo(m_nFirstChar + static_cast<std::uint64_t>(nDocPos));
    return nDocPos - nWraps;
}

int CRxScreen::DocPos(int nLogicalPos) const {
    // The first document position whose logical position is nLogicalPos or more.
    int nLow = 0;
    int nHigh = m_pDoc->characterCount() - 1;
    while (nLow < nHigh) {
        const int nMid = nLow + (nHigh - nLow) / 2;
        if (LogicalPos(nMid) < nLogicalPos) {
            nLow = nMid + 1;
        } else {
            nHigh = nMid;
        }
    }
    return nLow;
}
