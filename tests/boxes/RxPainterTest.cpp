// The receive box paints its lines itself: the same pixels as the edit's own paint of the same
// text, and selecting with the mouse still works on lines that were never laid out.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <string>

#include "BoxTestSupport.h"
#include "CodePage.h"
#include "ReceiveView.h"

namespace {

struct SPaintRow {
    const char* pszName;
    std::string strBytes;
    int nCodePage;
    bool bSelect;  // a selection across lines
    int nTopLine;  // scrolled to this line (less than 0: from the end), older lines share blocks
};

void PrintTo(const SPaintRow& row, std::ostream* pOut) {
    *pOut << row.pszName;
}

std::string Lines(int nCount, const std::string& strLine) {
    std::string str;
    for (int i = 0; i < nCount; ++i) {
        str += strLine + std::to_string(i) + "\r\n";
    }
    return str;
}

class RxBoxTest : public ::testing::Test {
protected:
    RxBoxTest() : m_box(m_ini.Path()) {
        // As the window gives it: a second family, fully hinted.
        QFont font;
        font.setFamilies({"WenQuanYi Zen Hei Mono", "Noto Sans Mono CJK SC"});
        font.setPixelSize(16);
        font.setStyleHint(QFont::TypeWriter);
        font.setHintingPreference(QFont::PreferFullHinting);
        m_box.setFont(font);
        m_box.resize(500, 300);
        m_box.show();
    }
    void Receive(const std::string& str) {
        m_box.AppendBytes(reinterpret_cast<const std::uint8_t*>(str.data()), str.size());
        m_box.Refresh();
    }

    CTempIni m_ini;
    CReceiveView m_box;
};

class RxPainterTest : public RxBoxTest, public ::testing::WithParamInterface<SPaintRow> {};

// The edit's own paint of the same document, view and selection.
QImage QtPainted(CReceiveView& box) {
    QPlainTextEdit edit;
    edit.setFont(box.font());
    edit.document()->setDefaultFont(box.document()->defaultFont());
    edit.setPalette(box.palette());
    edit.setTabStopDistance(box.tabStopDistance());
    edit.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    edit.setPlainText(box.document()->toRawText());
    edit.resize(box.size());
    edit.show();
    // Every line counted, as the box counts the lines joined in a block before laying them out.
    for (QTextBlock block = edit.document()->begin(); block.isValid(); block = block.next()) {
        edit.document()->documentLayout()->blockBoundingRect(block);
    }
    QTextCursor cursor(edit.document());
    cursor.setPosition(box.textCursor().anchor());
    cursor.setPosition(box.textCursor().position(), QTextCursor::KeepAnchor);
    edit.setTextCursor(cursor);
    edit.verticalScrollBar()->setValue(box.verticalScrollBar()->value());
    return edit.viewport()->grab().toImage();
}

TEST_P(RxPainterTest, PaintsWhatTheEditsOwnPaintShows) {
    const SPaintRow& row = GetParam();
    m_box.CodePage()->Set(row.nCodePage);
    Receive(row.strBytes);
    if (row.bSelect) {
        QTextCursor cursor(m_box.document());
        const int nEnd = m_box.document()->characterCount() - 1;
        cursor.setPosition(nEnd - 60);
        cursor.setPosition(nEnd - 5, QTextCursor::KeepAnchor);
        m_box.setTextCursor(cursor);
    }
    if (row.nTopLine != 0) {
        QScrollBar* pBar = m_box.verticalScrollBar();
        pBar->setValue(row.nTopLine < 0 ? pBar->maximum() + row.nTopLine : row.nTopLine);
        // Scrolling laid out the blocks it passed; joined lines are drawn without a layout too.
        for (QTextBlock block = m_box.document()->begin(); block.isValid(); block = block.next()) {
            block.clearLayout();
        }
    }
    const QImage painted = m_box.viewport()->grab().toImage();
    const QImage expected = QtPainted(m_box);
    EXPECT_EQ(painted, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RxPainterTest,
    ::testing::Values(
        SPaintRow{"ascii", Lines(40, "line of plain text, words and 123 numbers "), CP_UTF8, false,
                  0},
        SPaintRow{"gbk", Lines(30, "\xD6\xD0\xCE\xC4 mixed \xB2\xE2\xCA\xD4 text\xA1\xA3 "), CP_GBK,
                  false, 0},
        SPaintRow{"tabs", Lines(20, "a\tb\tccc\tabcdefg\tX\t\t") + "\t\t\t\tend", CP_UTF8, false,
                  0},
        SPaintRow{"replacement", Lines(20, "bad \xFF\xFE bytes \xC3 here "), CP_UTF8, false, 0},
        SPaintRow{"selection", Lines(40, "selected across lines "), CP_UTF8, true, 0},
        SPaintRow{"joined", Lines(400, "an older line, joined in a block "), CP_UTF8, false, -8},
        SPaintRow{"joinedBlocks", Lines(400, "an older line, joined in a block "), CP_UTF8, false,
                  58},
        SPaintRow{"shaped",
                  Lines(10, "plain\r\ne\xCC\x81 \xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7 shaped "),
                  CP_UTF8, false, 0}),
    [](const ::testing::TestParamInfo<SPaintRow>& info) { return info.param.pszName; });

TEST_F(RxBoxTest, DragSelectionCopiesTheTextUnderTheMouse) {
    Receive("first line\r\nsecond line\r\nthird line\r\nfourth line\r\n");
    const QFontMetrics fm(m_box.document()->defaultFont());
    const int nMargin = static_cast<int>(m_box.document()->documentMargin());
    auto fnAt = [&](int nLine, int nColumn) {
        return QPoint(nMargin + nColumn * fm.horizontalAdvance(u'x') + 1,
                      nMargin + nLine * fm.lineSpacing() + fm.lineSpacing() / 2);
    };
    QWidget* pView = m_box.viewport();
    QTest::mousePress(pView, Qt::LeftButton, {}, fnAt(1, 2));
    QTest::mouseMove(pView, fnAt(3, 5));
    QTest::mouseRelease(pView, Qt::LeftButton, {}, fnAt(3, 5));
    m_box.copy();
    EXPECT_EQ(QApplication::clipboard()->text(), "cond line\nthird line\nfourt");
}

}  // namespace
