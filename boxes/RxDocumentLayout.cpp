#include "RxDocumentLayout.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

CRxDocumentLayout::CRxDocumentLayout(QTextDocument* pDoc) : QPlainTextDocumentLayout(pDoc) {}

void CRxDocumentLayout::KeepShaping(const QTextBlock& block) {
    if (!block.layout()->cacheEnabled()) {
        block.layout()->setCacheEnabled(true);
    }
}

void CRxDocumentLayout::documentChanged(int nFrom, int nRemoved, int nAdded) {
    // Marked before the base lays out the newest line, so that it is shaped once.
    QTextBlock block = document()->findBlock(nFrom + nAdded);
    const int nFirst = document()->findBlock(nFrom).blockNumber();
    for (int i = 0; i < m_nLinesInView && block.isValid() && block.blockNumber() >= nFirst; ++i) {
        KeepShaping(block);
        block = block.previous();
    }
    QPlainTextDocumentLayout::documentChanged(nFrom, nRemoved, nAdded);
}
