// The incremental screen against fresh renderings of the same bytes, and the rendering against a
// plain reference of the display rules.
#include <gtest/gtest.h>

#include <QFont>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <chrono>
#include <cstring>
#include <random>

#include "BoxTestSupport.h"
#include "ByteRing.h"
#include "CharWidths.h"
#include "CodePage.h"
#include "Codec.h"
#include "RxScreen.h"

namespace {

// Where two texts first differ, with a little context, for a readable failure.
std::string FirstDifference(const QString& a, const QString& b) {
    qsizetype i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i]) {
        ++i;
    }
    if (i == a.size() && i == b.size()) {
        return "equal";
    }
    auto hex = [i](const QString& s) {
        std::string str;
        for (qsizetype j = std::max<qsizetype>(0, i - 4); j < std::min(s.size(), i + 6); ++j) {
            str += QString::number(s[j].unicode(), 16).toStdString() + (j == i ? "* " : " ");
        }
        return str;
    };
    return "at " + std::to_string(i) + " of " + std::to_string(a.size()) + "/" +
           std::to_string(b.size()) + ": " + hex(a) + "| " + hex(b);
}

class RxScreenTest : public ::testing::Test {
protected:
    RxScreenTest() : m_widths(QFont("WenQuanYi Zen Hei Mono", 12)), m_screen(&m_doc) {}

    SRxLayout Layout(bool bHex, int nCodePage = CP_GBK) {
        SRxLayout layout;
        layout.bHex = bHex;
        layout.nCodePage = nCodePage;
        layout.nHexPerLine = 13;
        layout.pWidths = &m_widths;
        layout.fLineWidth = 300;
        return layout;
    }
    // What the screen would show had the ring's bytes arrived at once.
    QString FreshDocumentText(const SRxLayout& layout) {
        CRxRenderer fresh(layout, m_ring.Start(), 0);
        QString strText;
        std::deque<SRxSyncPoint> syncs;
        std::deque<SRxSpan> spans;
        fresh.RenderRing(m_ring, m_ring.Total(), strText, syncs, spans);
        return strText;
    }
    // The document's characters as they are (toPlainText() would turn U+00A0 into a blank), a
    // screen line a line whether it is a block or joined to others in one.
    QString DocumentText() const {
        QTextCursor cursor(const_cast<QTextDocument*>(&m_doc));
        cursor.select(QTextCursor::Document);
        return cursor.selectedText()
            .replace(QChar::ParagraphSeparator, u'\n')
            .replace(QChar::LineSeparator, u'\n');
    }
    QString Shown() const { return m_screen.LogicalText(0, m_doc.characterCount() - 1); }
    void Push(std::initializer_list<std::uint8_t> bytes) {
        for (std::uint8_t by : bytes) {
            m_ring.Push(by);
        }
    }

    CCharWidths m_widths;
    QTextDocument m_doc;
    CByteRing m_ring;
    CRxScreen m_screen;
};

// What a random stream holds: many line ends; few (LF, CR LF and control bytes at random);
// lines ended by CR alone; no CR or LF at all; no CR or LF and only ASCII letters, digits,
// punctuation and blanks.
enum class EStream { LineHeavy, Random, CrOnly, Unbroken, UnbrokenAscii };

std::uint8_t RandomByte(std::mt19937& rng, EStream eStream) {
    const int n = static_cast<int>(rng() % 100);
    if (eStream == EStream::UnbrokenAscii) {
        // Mostly letters: a line may start only after a blank, a digit or punctuation.
        return n < 80 ? static_cast<std::uint8_t>('a' + rng() % 26)
                      : static_cast<std::uint8_t>(' ' + rng() % 0x5F);
    }
    if ((eStream == EStream::LineHeavy || eStream == EStream::CrOnly) && n < 6) {
        return '\r';
    }
    if (eStream == EStream::LineHeavy && n < 12) {
        return '\n';
    }
    std::uint8_t by = 0;
    if (n < 40) {
        by = static_cast<std::uint8_t>(0x81 + rng() % 0x7E);  // GBK lead / trail range
    } else if (n < 45) {
        by = static_cast<std::uint8_t>(rng() % 0x20);
    } else if (n < 52) {
        by = ' ';
    } else {
        by = static_cast<std::uint8_t>(rng() % 256);
    }
    if (eStream != EStream::LineHeavy && eStream != EStream::Random && by == '\n') {
        return '\t';
    }
    if (eStream == EStream::Unbroken && by == '\r') {
        return 0x1B;
    }
    return by;
}

}  // namespace

TEST_F(RxScreenTest, RandomPiecesShowExactlyAFreshRenderingOfTheRing) {
    // nMarks: 0 none; 1 reads timed (timestamps, frames split at 20 ms); 2 the same with sends
    // shown and notes; 3 many sends (the oldest drop out of the ring before its bytes do).
    struct SCase {
        bool bHex;
        int nCodePage;
        EStream eStream;
        int nMarks = 0;
    };
    for (const SCase& c :
         {SCase{false, CP_GBK, EStream::LineHeavy}, SCase{false, CP_UTF8, EStream::LineHeavy},
          SCase{false, CP_GBK, EStream::Random}, SCase{true, CP_GBK, EStream::Random},
          SCase{false, CP_GBK, EStream::CrOnly}, SCase{false, CP_UTF8, EStream::CrOnly},
          SCase{false, CP_GBK, EStream::Unbroken}, SCase{false, CP_UTF8, EStream::Unbroken},
          SCase{false, CP_GBK, EStream::UnbrokenAscii}, SCase{false, CP_GBK, EStream::LineHeavy, 1},
          SCase{true, CP_GBK, EStream::Random, 1}, SCase{false, CP_UTF8, EStream::Random, 2},
          SCase{true, CP_GBK, EStream::Random, 2}, SCase{false, CP_GBK, EStream::Unbroken, 2},
          SCase{false, CP_GBK, EStream::LineHeavy, 3}, SCase{true, CP_GBK, EStream::Random, 3}}) {
        SCOPED_TRACE(testing::Message()
                     << "hex " << c.bHex << " code page " << c.nCodePage << " stream "
                     << static_cast<int>(c.eStream) << " marks " << c.nMarks);
        std::mt19937 rng(1234);
        std::mt19937 flips(99);  // apart, so that the pieces stay as they were
        m_ring.Clear();
        SRxLayout layout = Layout(c.bHex, c.nCodePage);
        layout.bStamps = c.nMarks > 0;
        layout.nFrameGapMs = c.nMarks > 0 ? 20 : 0;
        layout.bEcho = c.nMarks > 1;
        m_screen.SetLayout(layout);
        m_screen.Update(m_ring);
        std::mt19937 marks(7);
        ReadTime tRead{};
        const std::uint32_t nSendOdds = c.nMarks == 3 ? 20 : 300;
        int nPartial = 0;
        int nUpdates = 0;
        while (m_ring.Total() < 3 * CByteRing::kSize) {
            // Mostly small pieces, now and then one larger than the ring.
            // (One draw a statement: the order of draws within an expression is unspecified.)
            const bool bHuge = rng() % 50 == 0;
            const std::size_t nLimit = bHuge ? 5000 : rng() % 4 == 0 ? 9000 : 40;
            const std::size_t nPiece = (bHuge ? CByteRing::kSize : 1) + rng() % nLimit;
            for (std::size_t i = 0; i < nPiece; ++i) {
                if (c.nMarks > 0 && marks() % 40 == 0) {
                    tRead += std::chrono::milliseconds(marks() % 40);
                    m_ring.MarkRead(tRead);
                }
                if (c.nMarks > 1 && marks() % nSendOdds == 0) {
                    const std::uint8_t sent[] = {'A', 'T', 0xD6, 0xD0, '\r', '\n'};
                    m_ring.MarkSent(sent, 1 + marks() % 6, tRead);
                }
                if (c.nMarks > 1 && marks() % (2 * nSendOdds) == 0) {
                    const QByteArray note = QStringLiteral("—— 串口已断开 ——").toUtf8();
                    m_ring.MarkNote(reinterpret_cast<const std::uint8_t*>(note.constData()),
                                    static_cast<std::size_t>(note.size()), tRead);
                }
                m_ring.Push(RandomByte(rng, c.eStream));
            }
            if (!c.bHex && flips() % 20 == 0) {
                // The newline option flipped before this piece: the box hands the screen the new
                // layout at this update.
                layout.bLfToCrLf = !layout.bLfToCrLf;
                m_screen.SetLayout(layout);
            }
            nPartial += m_screen.Update(m_ring) ? 0 : 1;
            ++nUpdates;
            const QString strFresh = FreshDocumentText(layout);
            ASSERT_TRUE(DocumentText() == strFresh)
                << "after " << m_ring.Total() << " bytes, piece " << nPiece << ", "
                << FirstDifference(DocumentText(), strFresh);
        }
        // Most updates were pieces, not whole renderings (unless sends fill their bound long
        // before the bytes leave: the front up to the first send held is then rendered anew).
        if (c.nMarks < 3) {
            EXPECT_GT(nPartial, nUpdates * 3 / 4) << nUpdates;
        }
        if (c.nMarks > 0) {
            continue;
        }
        const std::vector<std::uint8_t> bytes = m_ring.Bytes();
        if (c.bHex) {
            EXPECT_EQ(Shown(), QString::fromLatin1(BytesToHexText(bytes.data(), bytes.size())));
        } else {
            EXPECT_EQ(Shown(), ReferenceText(bytes, layout.bLfToCrLf, c.nCodePage));
        }
    }
}

TEST_F(RxScreenTest, EveryScreenLineFitsTheWidth) {
    for (bool bHex : {false, true}) {
        m_ring.Clear();
        m_screen.SetLayout(Layout(bHex));
        std::mt19937 rng(7);
        for (int i = 0; i < 5000; ++i) {
            m_ring.Push(i % 3 == 0 ? 0xC4 : static_cast<std::uint8_t>(0xA1 + rng() % 90));
        }
        m_screen.Update(m_ring);
        const QFontMetricsF fm(QFont("WenQuanYi Zen Hei Mono", 12));
        const QStringList lines = DocumentText().split(u'\n');
        ASSERT_GT(lines.size(), 2 * CRxScreen::kJoinedLines);  // joined lines are there too
        for (const QString& strLine : lines) {
            if (bHex) {  // pairs a line as the layout says
                EXPECT_LE(strLine.size(), 13 * 3);
            } else {
                EXPECT_LE(fm.horizontalAdvance(strLine), 300.0);
            }
        }
    }
}

TEST_F(RxScreenTest, LineBreaksAndControlBytesShowAsDocumented) {
    m_screen.SetLayout(Layout(false));
    SRxLayout off = Layout(false);
    off.bLfToCrLf = false;
    m_screen.SetLayout(off);
    Push({'a', '\r', '\n', 'b', '\r', 'c', '\n', 'd', '\r', '\r', '\n', 'e', 0x1B, 0x7F, 0x00, '\t',
          'f'});
    m_screen.Update(m_ring);
    EXPECT_EQ(Shown(), QString("a\nb^Mc^Jd\ne^[^?.\tf"));

    m_ring.Clear();
    m_screen.SetLayout(Layout(false));  // newline option on: LF becomes CR LF
    Push({'a', '\n', 'b', '\r', '\n', 'c', '\r', '\r', '\n', 'd', '\r'});
    m_screen.Update(m_ring);
    EXPECT_EQ(Shown(), QString("a\nb\nc^M\nd"));  // the last CR waits
    Push({'e'});
    m_screen.Update(m_ring);
    EXPECT_EQ(Shown(), QString("a\nb\nc^M\nd^Me"));
}

TEST_F(RxScreenTest, LinesBreakBetweenWordsWhereverThePiecesEnd) {
    struct SRow {
        bool bHex;
        const char* pszBytes;  // UTF-8
        int nColumns;          // the line width in half-width characters
        const char* pszLines;  // "|" between screen lines
    };
    const SRow rows[] = {
        {false, "Vcc = 3.30V ok", 10, "Vcc = |3.30V ok"},
        {false, "abcdefghijklmnop", 6, "abcdef|ghijkl|mnop"},  // longer than a line
        {false, "ab abcdefghij", 6, "ab |abcdef|ghij"},
        {false, "abcdef    gh", 6, "abcdef    |gh"},  // blanks hang past the edge
        {false, "abc defgh\tij", 10, "abc defgh|\tij"},
        {false,
         "abcde\x01"
         "f",
         6, "abcde|^Af"},  // a caret pair never splits
        {false, "你好世界你好", 6, "你好世|界你好"},
        {false, "你好好，世界", 6, "你好|好，世|界"},  // "，" stays with what it follows
        {false, "电压3.30V，正常", 10, "电压|3.30V，正|常"},
        {false, "你好「世界」", 5, "你好|「世|界」"},  // "「" stays with what follows it
        {true, "\x01\x02\x03\x04\x05", 0, "01 02 03 04 |05 "},
    };
    for (const SRow& row : rows) {
        SCOPED_TRACE(row.pszBytes);
        SRxLayout layout = Layout(row.bHex, CP_UTF8);
        layout.nHexPerLine = 4;
        layout.fLineWidth = row.nColumns * m_widths.Advance(u'x');
        const std::string strBytes = row.pszBytes;
        const QString strLines = QString::fromUtf8(row.pszLines);
        for (bool bByteByByte : {false, true}) {
            m_ring.Clear();
            m_screen.SetLayout(layout);
            for (char ch : strBytes) {
                m_ring.Push(static_cast<std::uint8_t>(ch));
                if (bByteByByte) {
                    m_screen.Update(m_ring);
                }
            }
            m_screen.Update(m_ring);
            EXPECT_EQ(DocumentText().replace(u'\n', u'|'), strLines) << bByteByByte;
            EXPECT_EQ(Shown(), QString(strLines).remove(u'|'));
        }
    }
}

TEST(StreamDecoderTest, ValidUtf8DecodesAsQtDoesWhereverThePiecesEnd) {
    const QByteArray bytes = QString::fromUtf8("aé你😀\xEF\xBB\xBFz").toUtf8();
    for (int nCut = 0; nCut <= bytes.size(); ++nCut) {
        CStreamDecoder decoder(CP_UTF8);
        std::vector<QChar> out(CStreamDecoder::RequiredSpace(bytes.size()));
        QChar* pEnd = decoder.Append(out.data(), bytes.constData(), nCut);
        pEnd = decoder.Append(pEnd, bytes.constData() + nCut, bytes.size() - nCut);
        EXPECT_EQ(QString(out.data(), pEnd - out.data()), QString::fromUtf8(bytes)) << nCut;
    }
}

TEST(StreamDecoderTest, InvalidUtf8GivesOneReplacementPerInvalidPart) {
    const QByteArray bytes(
        "a\xE4\xBD"
        "b\xFF\xC0\x80\xED\xA0\x80"
        "c",
        11);
    CStreamDecoder decoder(CP_UTF8);
    std::vector<QChar> out(CStreamDecoder::RequiredSpace(bytes.size()));
    const QChar* pEnd = decoder.Append(out.data(), bytes.constData(), bytes.size());
    EXPECT_EQ(QString(out.data(), pEnd - out.data()),
              QString::fromUtf8("a\uFFFDb\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFDc"));
}

TEST_F(RxScreenTest, GbkCharacterSplitBetweenTwoUpdatesShowsAsOne) {
    m_screen.SetLayout(Layout(false));
    Push({0xC4, 0xE3, 0xBA});
    m_screen.Update(m_ring);
    EXPECT_EQ(Shown(), QString::fromUtf8("你"));
    Push({0xC3});
    m_screen.Update(m_ring);
    EXPECT_EQ(Shown(), QString::fromUtf8("你好"));
}

TEST_F(RxScreenTest, DroppingTheFirstByteOfACharacterRendersTheFrontAfresh) {
    m_screen.SetLayout(Layout(false));
    Push({0xC4, 0xE3, 0xBA, 0xC3, '\r', '\n', 'x'});
    m_screen.Update(m_ring);
    for (std::size_t i = 0; i < CByteRing::kSize - 6; ++i) {
        m_ring.Push('y');
    }
    m_screen.Update(m_ring);  // the ring now starts at E3: a fresh decoder pairs E3 BA
    EXPECT_EQ(DocumentText(), FreshDocumentText(Layout(false)));
    const QString strPaired = QStringDecoder("GBK").decode(QByteArray("\xE3\xBA"));
    EXPECT_EQ(strPaired.size(), 1);
    EXPECT_TRUE(Shown().startsWith(strPaired)) << Shown().left(4).toStdString();
}

// Reads with their times (milliseconds from midnight UTC) and sends, to the lines shown (copied)
// with timestamps on: a silence of at least the frame gap between two reads starts a line.
TEST_F(RxScreenTest, TimestampsFramesAndSendsMakeTheirLines) {
    setenv("TZ", "UTC", 1);
    tzset();
    struct SPiece {
        const char* pszBytes;
        int nMs;
        bool bSent = false;
        bool bNote = false;
    };
    struct SRow {
        bool bHex;
        int nGapMs;
        std::vector<SPiece> pieces;
        const char* pszShown;
    };
    const std::vector<SRow> rows = {
        {false, 20, {{"ab", 0}, {"c", 10}, {"d", 35}}, "[00:00:00.000] abc\n[00:00:00.035] d"},
        {false, 20, {{"12", 0}, {"34", 20}}, "[00:00:00.000] 12\n[00:00:00.020] 34"},
        {false, 20, {{"ok\r", 0}, {"\nx", 25}}, "[00:00:00.000] ok^M\n[00:00:00.025] ^Jx"},
        {false, 20, {{"ok\r", 0}, {"\nx", 15}}, "[00:00:00.000] ok\n[00:00:00.015] x"},
        {false, 0, {{"a\r\nb", 0}, {"c", 900}}, "[00:00:00.000] a\n[00:00:00.000] bc"},
        {false,
         500,
         {{"ab", 0}, {"AT\r\n", 5, true}, {"c", 6}},
         "[00:00:00.000] ab\n[00:00:00.005] TX AT\n[00:00:00.006] c"},
        {true,
         20,
         {{"\x01\x02", 0}, {"\x03", 5}, {"\x04\x05", 50}},
         "[00:00:00.000] 01 02 03 \n[00:00:00.050] 04 05 "},
        // Without frames a hexadecimal line holds 13 - 5 pairs, each line with its time.
        {true,
         0,
         {{"ABCDEFGH", 0}, {"IJ", 7}},
         "[00:00:00.000] 41 42 43 44 45 46 47 48 \n[00:00:00.007] 49 4A "},
        // A frame goes on after a send on its own grid, without a time.
        {true,
         10,
         {{"a", 0}, {"AT\r\n", 1, true}, {"b", 2}},
         "[00:00:00.000] 61 \n[00:00:00.001] TX 41 54 0D 0A \n62 "},
        // A note of the window's own is text in either mode.
        {true,
         10,
         {{"a", 0}, {"—— 串口已断开 ——", 30, false, true}, {"b", 40}},
         "[00:00:00.000] 61 \n[00:00:00.030] —— 串口已断开 ——\n[00:00:00.040] 62 "},
    };
    for (const SRow& row : rows) {
        SCOPED_TRACE(row.pszShown);
        m_ring.Clear();
        SRxLayout layout = Layout(row.bHex);
        layout.bLfToCrLf = false;
        layout.bStamps = true;
        layout.nFrameGapMs = row.nGapMs;
        layout.bEcho = true;
        m_screen.SetLayout(layout);
        m_screen.Clear();
        for (const SPiece& piece : row.pieces) {
            const auto* pBytes = reinterpret_cast<const std::uint8_t*>(piece.pszBytes);
            const std::size_t nCount = std::strlen(piece.pszBytes);
            const ReadTime tTime{std::chrono::milliseconds(piece.nMs)};
            if (piece.bSent) {
                m_ring.MarkSent(pBytes, nCount, tTime);
            } else if (piece.bNote) {
                m_ring.MarkNote(pBytes, nCount, tTime);
            } else {
                m_ring.MarkRead(tTime);
                m_ring.Push(pBytes, nCount);
            }
            m_screen.Update(m_ring);  // a piece at a time, as the box refreshes
        }
        EXPECT_EQ(Shown(), QString::fromUtf8(row.pszShown));
    }
}
