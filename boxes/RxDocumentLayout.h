#pragma once
// CRxDocumentLayout: the layout of the receive box's document. A laid-out line keeps its
// shaping (QTextLayout's cache), so painting it again, when it scrolls or the box repaints, shapes
// nothing. Only the lines that can be on screen are marked: the newest ones of each change, and
// whichever the box paints (KeepShaping).
//
// A block may hold several screen lines joined by U+2028 line separators (RxScreen.h): it counts
// as those lines before it is laid out, so that the scroll bar is the same as for one block a
// line, and it is laid out only when it comes into view, not when it changes. Whoever writes the
// text can tell how many lines each block holds (SetBlockLines); else they are counted from it.
#include <QPlainTextDocumentLayout>
#include <functional>
#include <utility>

class QTextBlock;

class CRxDocumentLayout : public QPlainTextDocumentLayout {
    Q_OBJECT
public:
    explicit CRxDocumentLayout(QTextDocument* pDoc);

    // How many of the newest lines of a change to keep shaped: about a screen's worth.
    void SetLinesInView(int nLines) { m_nLinesInView = nLines; }
    static void KeepShaping(const QTextBlock& block);
    // The lines of a block by its number, or -1 when they are to be counted from its text.
    void SetBlockLines(std::function<int(int)> fnBlockLines) {
        m_fnBlockLines = std::move(fnBlockLines);
    }
    // Counts every block's lines again (a new width laid out every block as one line).
    void CountJoinedLines();

protected:
    void documentChanged(int nFrom, int nRemoved, int nAdded) override;

private:
    // Sets the block's line count; true when it changed.
    bool CountLines(QTextBlock block) const;

    int m_nLinesInView = 64;
    int m_nBlocks = 1;  // the document's blocks after the last change
    std::function<int(int)> m_fnBlockLines;
};
