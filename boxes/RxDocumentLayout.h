#pragma once
// CRxDocumentLayout: the layout of the receive box's document. A laid-out line keeps its
// shaping (QTextLayout's cache), so painting it again, when it scrolls or the box repaints, shapes
// nothing. Only the lines that can be on screen are marked: the newest ones of each change, and
// whichever the box paints (KeepShaping).
//
// A block may hold several screen lines joined by U+2028 line separators (RxScreen.h): it counts
// as those lines before it is laid out, so that the scroll bar is the same as for one block a
// line, and it is laid out only when it comes into view, not when it changes.
#include <QPlainTextDocumentLayout>

class QTextBlock;

class CRxDocumentLayout : public QPlainTextDocumentLayout {
    Q_OBJECT
public:
    explicit CRxDocumentLayout(QTextDocument* pDoc);

    // How many of the newest lines of a change to keep shaped: about a screen's worth.
    void SetLinesInView(int nLines) { m_nLinesInView = nLines; }
    static void KeepShaping(const QTextBlock& block);
    // Counts every block's lines again (a new width laid out every block as one line).
    void CountJoinedLines();

protected:
    void documentChanged(int nFrom, int nRemoved, int nAdded) override;

private:
    // Sets the block's line count from its line separators; true when it changed.
    static bool CountLines(QTextBlock block);

    int m_nLinesInView = 64;
    int m_nBlocks = 1;  // the document's blocks after the last change
};
