#include "RxDocumentLayout.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <algorithm>

#include "GlyphCache.h"

CRxDocumentLayout::CRxDocumentLayout(QTextDocument* pDoc) : QPlainTextDocumentLayout(pDoc) {}

QRectF CRxDocumentLayout::blockBoundingRect(const QTextBlock& block) const {
    int nHeight = 0;
    if (m_nGeometryOnly > 0 && m_pGlyphs && block.isValid() && block.isVisible() &&
        block.layout()->lineCount() == 0 && m_pGlyphs->MeasureBlock(block.text(), nHeight)) {
        // As the base gives it: the margin below the last block.
        const qreal fMargin = block.next().isValid() ? 0 : document()->documentMargin();
        return QRectF(0, 0, documentSize().width(), nHeight + fMargin);
    }
    return QPlainTextDocumentLayout::blockBoundingRect(block);
}

QTextLayout* CRxDocumentLayout::LayOut(const QTextBlock& block) {
    QTextLayout* pLayout = block.layout();
    if (!pLayout->cacheEnabled()) {
        pLayout->setCacheEnabled(true);
    }
    if (pLayout->lineCount() == 0) {
        QPlainTextDocumentLayout::blockBoundingRect(block);
    }
    return pLayout;
}

void CRxDocumentLayout::LayOutJoined(const QTextBlock& block) {
    if (block.lineCount() > 1) {
        LayOut(block);
    }
}

bool CRxDocumentLayout::CountLines(QTextBlock block) const {
    int nLines = m_fnBlockLines ? m_fnBlockLines(block.blockNumber()) : -1;
    if (nLines < 0) {
        nLines = 1 + static_cast<int>(block.text().count(QChar::LineSeparator));
    }
    if (block.lineCount() == nLines) {
        return false;
    }
    block.setLineCount(nLines);
    return true;
}

void CRxDocumentLayout::CountJoinedLines() {
    bool bChanged = false;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        bChanged = CountLines(block) || bChanged;
    }
    if (bChanged) {
        emit documentSizeChanged(documentSize());
    }
}

int CRxDocumentLayout::LinesAtEnd(int nHeight) const {
    const CGeometryOnly geometry(*this);
    const qreal fVisible = nHeight - document()->documentMargin() - 1;
    qreal fY = 0;
    int nLines = 0;
    for (QTextBlock block = document()->lastBlock(); block.isValid(); block = block.previous()) {
        if (!block.isVisible()) {
            continue;
        }
        fY += blockBoundingRect(block).height();
        const QTextLayout* pLayout = block.layout();
        const int nInBlock = pLayout->lineCount() > 0 ? pLayout->lineCount() : 1;
        if (fY <= fVisible) {
            nLines += nInBlock;
            continue;
        }
        // The lines of the block that start in view.
        int nAbove = 0;
        while (nAbove < nInBlock &&
               (pLayout->lineCount() == 0 ? 0.0 : pLayout->lineAt(nAbove).naturalTextRect().top()) <
                   fY - fVisible) {
            ++nAbove;
        }
        return nLines + nInBlock - nAbove;
    }
    return nLines;
}

int CRxDocumentLayout::TopLine(const QTextBlock& first, qreal fOffset) {
    const QTextLayout* pLayout = first.layout();
    int nLine = 0;
    while (nLine < pLayout->lineCount() &&
           pLayout->lineAt(nLine).naturalTextRect().bottom() <= fOffset) {
        ++nLine;
    }
    return nLine;
}

void CRxDocumentLayout::documentChanged(int nFrom, int nRemoved, int nAdded) {
    QTextDocument* pDoc = document();
    const QTextBlock first = pDoc->findBlock(nFrom);
    const QTextBlock last = pDoc->findBlock(std::max(0, nFrom + nRemoved + nAdded - 1));
    bool bCounted = false;
    for (QTextBlock block = first; block.isValid() && block.position() <= nFrom + nAdded;
         block = block.next()) {
        bCounted = CountLines(block) || bCounted;
    }
    // The base lays out at once a block that changed alone, or the blocks of a change that added
    // one block at the end, only to paint them. Told that the change reaches one block further
    // (or past the end), it forgets the changed blocks' lines instead, and they are laid out when
    // something needs them.
    const int nBlocks = m_nBlocks;
    m_nBlocks = pDoc->blockCount();
    if (first == last && nBlocks == m_nBlocks && first.next().isValid()) {
        nAdded = first.next().position() + 1 - nFrom - nRemoved;
    } else if (first == last && nBlocks == m_nBlocks && first.previous().isValid()) {
        nAdded += nFrom - first.previous().position();
        nFrom = first.previous().position();
    } else if (m_nBlocks == nBlocks + 1 && !last.next().isValid()) {
        nAdded = pDoc->characterCount() + 1 - nFrom - nRemoved;
    }
    QPlainTextDocumentLayout::documentChanged(nFrom, nRemoved, nAdded);
    // The base tells of a new size only when the number of blocks changed.
    if (bCounted && nBlocks == m_nBlocks) {
        emit documentSizeChanged(documentSize());
    }
}
