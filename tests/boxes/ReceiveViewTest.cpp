// The receive box through the real widget, offscreen.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QBackingStore>
#include <QClipboard>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <cstring>
#include <random>

#include "BoxTestSupport.h"
#include "Codec.h"
#include "IniFile.h"
#include "ReceiveView.h"

namespace {

class ReceiveViewTest : public ::testing::Test {
protected:
    ReceiveViewTest() { Make(); }

    void Make() {
        m_pBox = std::make_unique<CReceiveView>(m_ini.Path());
        m_pBox->SetDialogs(std::make_unique<CScriptedDialogs>(m_script));
        m_pBox->setFont(QFont("WenQuanYi Zen Hei Mono", 12));
        m_pBox->resize(500, 300);
        m_pBox->show();
    }
    // Selects the last nChars characters of the box.
    void SelectLast(int nChars) {
        QTextCursor cursor(m_pBox->document());
        const int nEnd = m_pBox->document()->characterCount() - 1;
        cursor.setPosition(nEnd - nChars);
        cursor.setPosition(nEnd, QTextCursor::KeepAnchor);
        m_pBox->setTextCursor(cursor);
    }

    void Receive(const std::vector<std::uint8_t>& bytes) {
        for (std::uint8_t by : bytes) {
            m_pBox->AppendByte(by);
        }
    }
    std::string Ini(const char* pszSection, const char* pszKey) const {
        return CIniFile(m_ini.Path()).ReadString(pszSection, pszKey, "<none>");
    }

    CTempIni m_ini;
    CScriptedDialogs::SScript m_script;
    std::unique_ptr<CReceiveView> m_pBox;
};

}  // namespace

TEST_F(ReceiveViewTest, ShowsBytesAsTextOrHexadecimalWithoutChangingThem) {
    Receive({0x41, 0x00, 0x42});
    ASSERT_TRUE(WaitRunningEventLoop([&] { return m_pBox->ShownText() == "A.B"; }));
    m_pBox->SetMode(1);
    EXPECT_EQ(m_pBox->ShownText(), "41 00 42 ");
    EXPECT_EQ(Ini("RX", "MODE"), "1");
    m_pBox->SetMode(0);
    EXPECT_EQ(m_pBox->ShownText(), "A.B");
    EXPECT_EQ(Ini("RX", "MODE"), "0");
    EXPECT_EQ(m_pBox->GetBytes(), (std::vector<std::uint8_t>{0x41, 0x00, 0x42}));
}

TEST_F(ReceiveViewTest, NewlineOptionTakesEffectAtTheNextByte) {
    Receive({0x41, 0x0A, 0x42});
    m_pBox->Refresh();
    EXPECT_EQ(m_pBox->ShownText(), "A\nB");
    m_pBox->OnCommand(IDM_LFTOCRLF);
    EXPECT_EQ(m_pBox->GetLfToCrLf(), 0);
    m_pBox->Refresh();
    EXPECT_EQ(m_pBox->ShownText(), "A\nB");  // nothing changes until the next byte
    Receive({0x43});
    m_pBox->Refresh();
    EXPECT_EQ(m_pBox->ShownText(), "A^JBC");  // the whole buffer under the new option
    EXPECT_EQ(Ini("RX", "CR"), "<none>");     // never written
    m_pBox->OnCommand(IDM_LFTOCRLF);
    EXPECT_EQ(m_pBox->ShownText(), "A^JBC");
    m_pBox->SetMode(0);  // a mode change takes the option at once
    EXPECT_EQ(m_pBox->ShownText(), "A\nBC");
}

TEST_F(ReceiveViewTest, NewlineOptionFlippedWhileARefreshIsPendingWaitsForTheNextByte) {
    Receive({0x41, 0x0A});
    m_pBox->OnCommand(IDM_LFTOCRLF);  // the bytes arrived before the flip
    ASSERT_TRUE(WaitRunningEventLoop([&] { return m_pBox->ShownText() == "A\n"; }));
    m_pBox->OnCommand(IDM_LFTOCRLF);  // flipped back before any byte: nothing to do
    m_pBox->OnCommand(IDM_LFTOCRLF);
    Receive({0x42});
    ASSERT_TRUE(WaitRunningEventLoop([&] { return m_pBox->ShownText() == "A^JB"; }));
}

TEST_F(ReceiveViewTest, EveryRefreshShowsAFullRenderingUnderTheOptionOfTheLastByte) {
    // The rule the box keeps, against a plain rendering of its whole buffer: the option in force
    // when the last byte arrived, or at the last mode change or clearing.
    std::mt19937 rng(11);
    const std::vector<std::uint8_t> alphabet = {'a', 'b', '\r', '\n', '\n', 0x00, 0x1B, 0xC4, 0xE3};
    std::vector<std::uint8_t> held;
    bool bShownLf = m_pBox->GetLfToCrLf() != 0;
    for (int nStep = 0; nStep < 300; ++nStep) {
        SCOPED_TRACE(testing::Message() << "step " << nStep);
        const unsigned nWhat = rng() % 10;
        if (nWhat < 3) {
            m_pBox->OnCommand(IDM_LFTOCRLF);
        } else if (nWhat == 3) {
            m_pBox->SetMode(m_pBox->GetMode() ? 0 : 1);
            bShownLf = m_pBox->GetLfToCrLf() != 0;
        } else if (nWhat == 4 && rng() % 8 == 0) {
            m_pBox->ClearAll();
            held.clear();
            bShownLf = m_pBox->GetLfToCrLf() != 0;
        } else {
            const std::size_t nPiece = 1 + rng() % 12;
            for (std::size_t i = 0; i < nPiece; ++i) {
                held.push_back(alphabet[rng() % alphabet.size()]);
                m_pBox->AppendByte(held.back());
            }
            bShownLf = m_pBox->GetLfToCrLf() != 0;
        }
        if (rng() % 3 != 0) {  // now and then several steps meet in one refresh
            m_pBox->Refresh();
            ASSERT_EQ(m_pBox->GetBytes(), held);
            const QString strExpected =
                m_pBox->GetMode() ? QString::fromLatin1(BytesToHexText(held.data(), held.size()))
                                  : ReferenceText(held, bShownLf, CP_GBK);
            ASSERT_EQ(m_pBox->ShownText(), strExpected);
        }
    }
}

TEST_F(ReceiveViewTest, GbkCharacterSplitAcrossTwoArrivalsShowsAsOneCharacter) {
    Receive({0xC4, 0xE3, 0xBA});
    m_pBox->Refresh();
    EXPECT_EQ(m_pBox->ShownText(), QString::fromUtf8("你"));
    Receive({0xC3});
    m_pBox->Refresh();
    EXPECT_EQ(m_pBox->ShownText(), QString::fromUtf8("你好"));
}

TEST_F(ReceiveViewTest, CodePageChoiceRendersAgainAndIsStored) {
    Receive({0xE4, 0xBD, 0xA0});  // 你 in UTF-8
    m_pBox->Refresh();
    EXPECT_NE(m_pBox->ShownText(), QString::fromUtf8("你"));
    m_pBox->OnCommand(IDM_CODEPAGE_UTF8);
    EXPECT_EQ(m_pBox->ShownText(), QString::fromUtf8("你"));
    EXPECT_EQ(Ini("SYSTEM", "CODEPAGE"), "65001");
    Make();  // a new box reads the choice
    EXPECT_EQ(m_pBox->CodePage()->Get(), CP_UTF8);
}

TEST_F(ReceiveViewTest, KeepsTheNewestBytesWhenFull) {
    std::vector<std::uint8_t> bytes(70000);
    std::mt19937 rng(3);
    for (auto& by : bytes) {
        by = static_cast<std::uint8_t>(rng());
    }
    m_pBox->SetMode(1);
    Receive(bytes);
    EXPECT_EQ(m_pBox->GetLength(), 65536u);
    const std::vector<std::uint8_t> newest(bytes.end() - 65536, bytes.end());
    EXPECT_EQ(m_pBox->GetBytes(), newest);
    m_pBox->Refresh();
    EXPECT_EQ(m_pBox->ShownText(), QString::fromLatin1(BytesToHexText(newest.data(), 65536)));
}

TEST_F(ReceiveViewTest, EveryScreenLineIsOneLineOfTheLayoutAndCountsBeforeItIsLaidOut) {
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < 20000; ++i) {
        const int nBlank = i % 5 == 0 ? (i % 35 == 0 ? '\t' : ' ') : 0;
        bytes.push_back(i % 7 == 0 ? 0xC4 : nBlank ? nBlank : 'a' + i % 26);
    }
    Receive(bytes);
    for (int bHex : {0, 1}) {
        m_pBox->SetMode(bHex);
        QTextDocument* pDoc = m_pBox->document();
        const int nLines = pDoc->lineCount();  // what the scroll bar goes by
        ASSERT_GT(nLines, 100);
        EXPECT_LT(pDoc->blockCount(), nLines / 4);  // the older lines share blocks
        for (QTextBlock block = pDoc->begin(); block.isValid(); block = block.next()) {
            pDoc->documentLayout()->blockBoundingRect(block);  // lays it out
            ASSERT_EQ(block.layout()->lineCount(), 1 + block.text().count(QChar::LineSeparator))
                << "mode " << bHex << " block " << block.blockNumber();
        }
        EXPECT_EQ(pDoc->lineCount(), nLines);
    }
}

TEST_F(ReceiveViewTest, ScrollBarCountsEveryLineOfAFastStream) {
    // Hard line breaks; words that grow past the edge and wrap; hexadecimal lines. Past the
    // buffer's size, so that the front drops, mostly from the middle of a block of joined lines.
    struct SRow {
        int bHex;
        int nWordEvery;  // a blank after every this many characters
        int nLineEvery;  // CR LF after every this many characters (0: none)
    };
    for (const SRow row : {SRow{0, 5, 9}, SRow{0, 7, 0}, SRow{0, 23, 301}, SRow{1, 3, 0}}) {
        SCOPED_TRACE(testing::Message() << "row " << row.bHex << row.nWordEvery << row.nLineEvery);
        Make();
        m_pBox->SetMode(row.bHex);
        QScrollBar* pBar = m_pBox->verticalScrollBar();
        int nChar = 0;
        for (int nPiece = 0; nPiece < 60; ++nPiece) {
            std::vector<std::uint8_t> piece;
            for (; piece.size() < 2000; ++nChar) {
                piece.push_back(nChar % row.nWordEvery == 0 ? ' ' : 'a' + nChar % 26);
                if (row.nLineEvery > 0 && nChar % row.nLineEvery == 0) {
                    piece.insert(piece.end(), {'\r', '\n'});
                }
            }
            Receive(piece);
            m_pBox->Refresh();
            // Every screen line ends in a block separator or, joined, in a line separator.
            QTextCursor all(m_pBox->document());
            all.select(QTextCursor::Document);
            const QString strText = all.selectedText();
            const int nLines = static_cast<int>(strText.count(QChar::ParagraphSeparator) +
                                                strText.count(QChar::LineSeparator)) +
                               1;
            ASSERT_EQ(m_pBox->document()->lineCount(), nLines) << nPiece;
            ASSERT_EQ(pBar->maximum() + pBar->pageStep(), nLines) << nPiece;
            ASSERT_EQ(pBar->value(), pBar->maximum());
        }
        // The older lines of each piece share blocks.
        EXPECT_LT(m_pBox->document()->blockCount(), m_pBox->document()->lineCount() / 2);
    }
}

TEST_F(ReceiveViewTest, SavesTheRawBytesInEitherMode) {
    Receive({0x41, 0x00, 0x42, 0x0A});
    for (int bHex : {0, 1}) {
        m_pBox->SetMode(bHex);
        m_script.strSavePath = m_ini.Folder() + QString("/saved%1.bin").arg(bHex);
        m_pBox->OnCommand(IDM_SAVEFILE);
        EXPECT_EQ(ReadFileBytes(m_script.strSavePath),
                  (std::vector<std::uint8_t>{0x41, 0x00, 0x42, 0x0A}));
    }
    EXPECT_TRUE(m_script.messages.isEmpty());
}

TEST_F(ReceiveViewTest, SaveReportsAFileThatCannotBeOpened) {
    Receive({0x41});
    m_script.strSavePath = m_ini.Folder() + "/no such folder/x.bin";
    m_pBox->SaveToFile();
    EXPECT_EQ(m_script.messages, QStringList{QString::fromUtf8("开启文件失败")});
    EXPECT_EQ(m_pBox->GetLength(), 1u);
}

TEST_F(ReceiveViewTest, SaveReportsAFailedWrite) {
    if (!QFile::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full";
    }
    Receive({0x41});
    m_script.strSavePath = "/dev/full";
    m_pBox->SaveToFile();
    EXPECT_EQ(m_script.messages, QStringList{QString::fromUtf8("写入文件失败")});
}

TEST_F(ReceiveViewTest, CancelledSaveWritesNothing) {
    Receive({0x41});
    m_pBox->SaveToFile();
    EXPECT_EQ(m_script.nSaveDialogs, 1);
    EXPECT_TRUE(m_script.messages.isEmpty());
}

TEST_F(ReceiveViewTest, ClearAllEmptiesBufferAndBox) {
    Receive({'x', 'y'});
    m_pBox->Refresh();
    m_pBox->ClearAll();
    EXPECT_EQ(m_pBox->GetLength(), 0u);
    EXPECT_EQ(m_pBox->ShownText(), "");
    Receive({'z'});
    m_pBox->Refresh();
    EXPECT_EQ(m_pBox->ShownText(), "z");
}

TEST_F(ReceiveViewTest, StartsFromItsSettings) {
    m_ini.Write("[RX]\nMODE=1\nCR=0\nCOLORTXT=255\nCOLORBAK=-1\n");
    Make();
    EXPECT_EQ(m_pBox->GetMode(), 1);
    EXPECT_EQ(m_pBox->GetLfToCrLf(), 0);
    EXPECT_EQ(m_pBox->GetTextColor(), 0x0000FFu);
    EXPECT_EQ(m_pBox->GetBkColor(), 0xFFFFFFFFu);
    EXPECT_FALSE(m_pBox->viewport()->autoFillBackground());  // transparent
    m_ini.Write("[RX]\nMODE=7\n");
    Make();
    EXPECT_EQ(m_pBox->GetMode(), 0);
    EXPECT_EQ(m_pBox->GetLfToCrLf(), 1);
    EXPECT_EQ(m_pBox->GetTextColor(), 0x008000u);
    EXPECT_EQ(m_pBox->GetBkColor(), 0xE6FFFFu);
    EXPECT_EQ(m_pBox->palette().color(QPalette::Base), QColor(255, 255, 230));
}

TEST_F(ReceiveViewTest, ChosenColoursApplyAndAreStoredAtOnce) {
    m_script.color = QColor(1, 2, 3);
    m_pBox->OnCommand(IDM_TEXTCOLOR);
    EXPECT_EQ(m_pBox->GetTextColor(), 0x030201u);
    EXPECT_EQ(m_pBox->palette().color(QPalette::Text), QColor(1, 2, 3));
    EXPECT_EQ(Ini("RX", "COLORTXT"), std::to_string(0x030201));
    m_pBox->OnCommand(IDM_BKCOLOR);
    EXPECT_EQ(Ini("RX", "COLORBAK"), std::to_string(0x030201));
    m_script.color.reset();
    m_pBox->OnCommand(IDM_BKCOLOR);  // cancelled
    EXPECT_EQ(m_pBox->GetBkColor(), 0x030201u);
    EXPECT_EQ(m_script.nColorDialogs, 3);
}

TEST_F(ReceiveViewTest, TransparentBackgroundLetsTheParentShowThrough) {
    m_pBox->SetBkColor(CColorEdit::kTransparent, 1);
    EXPECT_FALSE(m_pBox->viewport()->autoFillBackground());
    EXPECT_EQ(m_pBox->palette().color(QPalette::Base).alpha(), 0);
    m_pBox->SetBkColor(0x0000FF, 1);
    EXPECT_TRUE(m_pBox->viewport()->autoFillBackground());
}

TEST_F(ReceiveViewTest, SelectionSurvivesArrivingDataAndCopiesWithoutWrapPoints) {
    m_pBox->SetMode(1);
    std::vector<std::uint8_t> bytes(300, 0xAB);
    Receive(bytes);
    m_pBox->Refresh();
    ASSERT_GT(m_pBox->document()->blockCount(), 3);
    m_pBox->selectAll();
    Receive({0x01, 0x02});
    m_pBox->Refresh();
    EXPECT_TRUE(m_pBox->textCursor().hasSelection());
    m_pBox->copy();
    QString strExpected;
    for (int i = 0; i < 300; ++i) {
        strExpected += "AB ";
    }
    EXPECT_EQ(QApplication::clipboard()->text(), strExpected);
    // Scrolled to the last line all the same.
    EXPECT_EQ(m_pBox->verticalScrollBar()->value(), m_pBox->verticalScrollBar()->maximum());
}

TEST_F(ReceiveViewTest, CopyGivesCharactersNoFontDrawsAsThemselves) {
    m_pBox->OnCommand(IDM_CODEPAGE_UTF8);
    const QString strOdd = QString::fromUtf8("\u0378") + QString::fromUcs4(U"\U0010FFFD", 1);
    // 300 lines of 256 bytes, words moving onto the next screen line: the box keeps the last
    // 256 lines, from a line start.
    QString strExpected;
    for (int nLine = 0; nLine < 300; ++nLine) {
        QByteArray line = QStringLiteral("L%1 ").arg(nLine, 3, 10, QChar(u'0')).toUtf8();
        while (line.size() < 240) {
            line += (QStringLiteral("ab") + strOdd + QStringLiteral("cd ")).toUtf8();
        }
        line += QByteArray(254 - line.size(), 'x') + "\r\n";
        ASSERT_EQ(line.size(), 256);
        Receive(std::vector<std::uint8_t>(line.begin(), line.end()));
        if (nLine >= 300 - 256) {
            strExpected += QString::fromUtf8(line.chopped(2)) + u'\n';
        }
    }
    m_pBox->Refresh();
    ASSERT_TRUE(m_pBox->ShownText().contains(QString(QChar(0xFFFD)) + QChar(0xFFFD)))
        << "the test needs characters that no installed font draws";
    m_pBox->selectAll();
    m_pBox->copy();
    EXPECT_EQ(QApplication::clipboard()->text(), strExpected);
    // Exactly the two characters.
    const int nPos = static_cast<int>(
        m_pBox->document()->toPlainText().lastIndexOf(QString(QChar(0xFFFD)) + QChar(0xFFFD)));
    QTextCursor cursor(m_pBox->document());
    cursor.setPosition(nPos);
    cursor.setPosition(nPos + 2, QTextCursor::KeepAnchor);
    m_pBox->setTextCursor(cursor);
    m_pBox->copy();
    EXPECT_EQ(QApplication::clipboard()->text(), strOdd);
}

TEST_F(ReceiveViewTest, SelectionMovesWithAWordThatGrowsOntoTheNextLine) {
    Receive(std::vector<std::uint8_t>(40, 'q'));
    Receive({' ', 'A', 'B', 'C'});
    m_pBox->Refresh();
    SelectLast(3);
    const int nLines = m_pBox->document()->blockCount();
    Receive(std::vector<std::uint8_t>(30, 'z'));
    m_pBox->Refresh();
    ASSERT_EQ(m_pBox->document()->blockCount(), nLines + 1);
    EXPECT_EQ(m_pBox->document()->lastBlock().text().left(4), "ABCz");
    m_pBox->copy();
    EXPECT_EQ(QApplication::clipboard()->text(), "ABC");
}

TEST_F(ReceiveViewTest, SelectionSurvivesANewWidth) {
    Receive(std::vector<std::uint8_t>(2000, 'q'));
    Receive({'A', 'B', 'C'});
    m_pBox->Refresh();
    SelectLast(3);
    const int nLines = m_pBox->document()->lineCount();
    m_pBox->resize(333, 300);
    ASSERT_TRUE(WaitRunningEventLoop([&] { return m_pBox->document()->lineCount() != nLines; }));
    m_pBox->copy();
    EXPECT_EQ(QApplication::clipboard()->text(), "ABC");
}

TEST_F(ReceiveViewTest, AppendedBytesShowWithinARefreshWithoutAnyCall) {
    Receive({'h', 'i'});
    EXPECT_TRUE(WaitRunningEventLoop([&] { return m_pBox->ShownText() == "hi"; }));
    EXPECT_EQ(m_pBox->verticalScrollBar()->value(), m_pBox->verticalScrollBar()->maximum());
}

TEST_F(ReceiveViewTest, HeldLeftButtonPausesFollowingTheEndUntilItIsUp) {
    auto fnLines = [](int nFrom, int nTo) {
        std::string strText;
        for (int i = nFrom; i < nTo; ++i) {
            strText += "line " + std::to_string(i) + "\r\n";
        }
        return std::vector<std::uint8_t>(strText.begin(), strText.end());
    };
    QScrollBar* pBar = m_pBox->verticalScrollBar();
    Receive(fnLines(0, 100));
    ASSERT_TRUE(WaitRunningEventLoop(
        [&] { return pBar->maximum() > 0 && pBar->value() == pBar->maximum(); }));

    // A drag-selection is not pulled away by arriving data.
    QTest::mousePress(m_pBox->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
    pBar->setValue(0);
    Receive(fnLines(100, 200));
    ASSERT_TRUE(WaitRunningEventLoop([&] {
        return m_pBox->GetBytes().size() > 1000 &&
               m_pBox->ShownText().contains(QStringLiteral("line 199"));
    }));
    EXPECT_EQ(pBar->value(), 0);

    QTest::mouseRelease(m_pBox->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
    Receive(fnLines(200, 201));
    EXPECT_TRUE(WaitRunningEventLoop([&] { return pBar->value() == pBar->maximum(); }));
}

TEST_F(ReceiveViewTest, DragSelectionHoldsWhileAFullBufferFlowsWhateverEndsItsLines) {
    for (const char* pszEnd : {"\r\n", "\r", ""}) {
        SCOPED_TRACE(testing::Message() << "line end of " << std::strlen(pszEnd) << " bytes");
        Make();
        auto fnLines = [&](int nFrom, int nTo) {
            std::string strText;
            for (int i = nFrom; i < nTo; ++i) {
                strText += "T=" + std::to_string(20 + i % 10) +
                           "C V=3.30V seq=" + std::to_string(100000 + i) + " state OK" + pszEnd;
            }
            return std::vector<std::uint8_t>(strText.begin(), strText.end());
        };
        Receive(fnLines(0, 2500));  // more than the buffer holds
        ASSERT_TRUE(WaitRunningEventLoop(
            [&] { return m_pBox->ShownText().contains(QStringLiteral("seq=102499 state OK")); }));
        QTest::mousePress(m_pBox->viewport(), Qt::LeftButton, {}, QPoint(30, 40));
        QTest::mouseMove(m_pBox->viewport(), QPoint(300, 120));
        m_pBox->copy();
        const QString strSelected = QApplication::clipboard()->text();
        ASSERT_GT(strSelected.size(), 40);
        // A refresh drops the front of the buffer and adds lines at the end, several times.
        for (int nRound = 0; nRound < 5; ++nRound) {
            Receive(fnLines(2500 + nRound * 100, 2600 + nRound * 100));
            m_pBox->Refresh();
        }
        ASSERT_TRUE(m_pBox->ShownText().contains(QStringLiteral("seq=102999 state OK")));
        EXPECT_TRUE(m_pBox->textCursor().hasSelection());
        m_pBox->copy();
        EXPECT_EQ(QApplication::clipboard()->text(), strSelected);
        QTest::mouseRelease(m_pBox->viewport(), Qt::LeftButton, {}, QPoint(300, 120));
    }
}

TEST_F(ReceiveViewTest, AssistiveToolsReadTheNewestLinesAndEachScreenLineAsALine) {
    QAccessibleInterface* pBox = QAccessible::queryAccessibleInterface(m_pBox.get());
    ASSERT_NE(pBox, nullptr);
    QAccessibleTextInterface* pText = pBox->textInterface();
    ASSERT_NE(pText, nullptr);
    auto fnLine = [](int i) { return "reading " + std::to_string(100000 + i) + " ok"; };
    int nCount = 0;
    for (int nRound = 0; nRound < 4; ++nRound) {
        // A fast stream's refreshes, the buffer full from the second on.
        std::string strText;
        for (int i = nRound * 3000; i < (nRound + 1) * 3000; ++i) {
            strText += fnLine(i) + "\r\n";
        }
        Receive(std::vector<std::uint8_t>(strText.begin(), strText.end()));
        m_pBox->Refresh();
        const QString strLast = QString::fromStdString(fnLine((nRound + 1) * 3000 - 1));
        nCount = pText->characterCount();
        EXPECT_EQ(nCount, m_pBox->document()->characterCount() - 1);
        EXPECT_TRUE(pText->text(nCount - strLast.size() - 1, nCount).startsWith(strLast));
    }
    // Every screen line is a line to them, older and newer alike; lines that share a
    // block of the document included.
    ASSERT_LT(m_pBox->document()->blockCount(), m_pBox->document()->lineCount());
    for (const int nOffset : {nCount / 5, nCount / 3, nCount / 2, nCount - 2}) {
        int nStart = 0;
        int nEnd = 0;
        const QString strLine =
            pText->textAtOffset(nOffset, QAccessible::LineBoundary, &nStart, &nEnd);
        // The line and the separator that ends it.
        static const QRegularExpression line(QStringLiteral("^reading \\d{6} ok[\u2028\u2029]?$"));
        EXPECT_TRUE(line.match(strLine).hasMatch()) << nOffset << ": " << strLine.toStdString();
        EXPECT_LE(nStart, nOffset);
        EXPECT_GT(nEnd, nOffset);
    }
}

TEST_F(ReceiveViewTest, PressWhoseReleaseNeverCameDoesNotStopFollowingTheEnd) {
    QScrollBar* pBar = m_pBox->verticalScrollBar();
    // A press delivered straight to the box (a popup took the release): the button is up.
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(20, 20), QPointF(20, 20), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(m_pBox->viewport(), &press);
    ASSERT_FALSE(QGuiApplication::mouseButtons() & Qt::LeftButton);
    std::string strText;
    for (int i = 0; i < 100; ++i) {
        strText += "line " + std::to_string(i) + "\r\n";
    }
    Receive(std::vector<std::uint8_t>(strText.begin(), strText.end()));
    EXPECT_TRUE(WaitRunningEventLoop(
        [&] { return pBar->maximum() > 0 && pBar->value() == pBar->maximum(); }));
}

// What the window holds of a child: the pixels painted into it so far, scrolled and partial
// repaints included.
QImage Painted(QWidget* pChild) {
    QCoreApplication::processEvents();
    const auto* pImage =
        static_cast<const QImage*>(pChild->window()->backingStore()->paintDevice());
    return pImage->copy(QRect(pChild->mapTo(pChild->window(), QPoint(0, 0)), pChild->size()));
}

// Counts the paint events a widget receives.
class CPaintCounter : public QObject {
public:
    explicit CPaintCounter(QWidget* pWidget) { pWidget->installEventFilter(this); }
    int m_nPaints = 0;

private:
    bool eventFilter(QObject*, QEvent* pEvent) override {
        m_nPaints += pEvent->type() == QEvent::Paint;
        return false;
    }
};

// ... and a growing text moves the slider at every refresh, but nothing behind the bar (the box's
// frame, the window) is painted again with it.
TEST_F(ReceiveViewTest, WhatIsPaintedWhileStreamingIsWhatAFullRepaintPaints) {
    // A growing text; a full buffer dropping its front a line at a time; and many lines at once,
    // fewer than the view holds, as a fast device brings them between two refreshes.
    for (int nRow = 0; nRow < 3; ++nRow) {
        SCOPED_TRACE(nRow);
        Make();
        if (nRow > 0) {
            std::string strLines;
            while (strLines.size() < CByteRing::kSize) {
                strLines += "old line " + std::to_string(strLines.size()) + "\r\n";
            }
            Receive(std::vector<std::uint8_t>(strLines.begin(), strLines.end()));
            m_pBox->Refresh();
        }
        m_pBox->clearFocus();  // no blinking cursor
        QCoreApplication::processEvents();
        const CPaintCounter frame(m_pBox.get());
        std::mt19937 rng(14);
        for (int i = 0; i < 60; ++i) {
            std::string strPiece;
            for (int nLine = 0; nLine < (nRow == 2 ? 1 + i % 9 : 1); ++nLine) {
                // Whole lines, a line in two pieces, words that wrap.
                strPiece += "line " + std::to_string(i) + "." + std::to_string(nLine) +
                            std::string(rng() % 70, i % 3 ? 'x' : ' ') +
                            (i % 4 || nRow == 2 ? "\r\n" : "");
            }
            Receive(std::vector<std::uint8_t>(strPiece.begin(), strPiece.end()));
            ASSERT_TRUE(WaitRunningEventLoop([&] { return !m_pBox->IsRefreshPending(); }));
            QCoreApplication::processEvents();
        }
        for (QWidget* pPart :
             {m_pBox->viewport(), static_cast<QWidget*>(m_pBox->verticalScrollBar())}) {
            const QImage painted = Painted(pPart);
            EXPECT_EQ(painted, pPart->grab().toImage().convertToFormat(painted.format()));
        }
        EXPECT_EQ(frame.m_nPaints, 0);
    }
}
