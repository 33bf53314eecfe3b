#pragma once
// CRxDocumentLayout: the layout of the receive box's document. A laid-out line keeps its
// shaping (QTextLayout's cache), so painting it again, when it scrolls or the box repaints, shapes
// nothing. Only the lines that can be on screen are marked: the newest ones of each change, and
// whichever the box paints (KeepShaping).
#include <QPlainTextDocumentLayout>

class QTextBlock;

class CRxDocumentLayout : public QPlainTextDocumentLayout {
    Q_OBJECT
public:
    explicit CRxDocumentLayout(QTextDocument* pDoc);

    // How many of the newest lines of a change to keep shaped: about a screen's worth.
    void SetLinesInView(int nLines) { m_nLinesInView = nLines; }
    static void KeepShaping(const QTextBlock& block);

protected:
    void documentChanged(int nFrom, int nRemoved, int nAdded) override;

private:
    int m_nLinesInView = 64;
};
