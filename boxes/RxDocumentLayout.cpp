#include "RxDocumentLayout.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <algorithm>

CRxDocumentLayout::CRxDocumentLayout(QTextDocument* pDoc) : QPlainTextDocumentLayout(pDoc) {}

void CRxDocumentLayout::KeepShaping(const QTextBlock& block) {
    if (!block.layout()->cacheEnabled()) {
        block.layout()->setCacheEnabled(true);
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

void CRxDocumentLayout::documentChanged(int nFrom, int nRemoved, int nAdded) {
    QTextDocument* pDoc = document();
    const QTextBlock first = pDoc->findBlock(nFrom);
    bool bCounted = false;
    for (QTextBlock block = first; block.isValid() && block.position() <= nFrom + nAdded;
         block = block.next()) {
        bCounted = CountLines(block) || bCounted;
    }
    // Marked before the base lays out the newest line, so that it is shaped once.
    QTextBlock block = pDoc->findBlock(nFrom + nAdded);
    for (int i = 0;
         i < m_nLinesInView && block.isValid() && block.blockNumber() >= first.blockNumber(); ++i) {
        KeepShaping(block);
        block = block.previous();
    }
    // The base lays out a block that changed alone at once; joined lines wait until they show.
    const bool bAlone = pDoc->findBlock(std::max(0, nFrom + nRemoved + nAdded - 1)) == first;
    if (bAlone && first.lineCount() > 1 && first.next().isValid()) {
        nRemoved = 0;
        nAdded = first.next().position() + 1 - nFrom;
    }
    QPlainTextDocumentLayout::documentChanged(nFrom, nRemoved, nAdded);
    // The base tells of a new size only when the number of blocks changed.
    const int nBlocks = m_nBlocks;
    m_nBlocks = pDoc->blockCount();
    if (bCounted && nBlocks == m_nBlocks) {
        emit documentSizeChanged(documentSize());
    }
}
