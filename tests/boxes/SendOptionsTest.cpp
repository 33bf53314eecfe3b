// The send box's options (line end, checksum, file send), its history and their keeping in the
// settings file, through the real widget offscreen.
#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QMenu>
#include <QTest>

#include "BoxTestSupport.h"
#include "NewMenu.h"
#include "SendEdit.h"
#include "SendHistory.h"
#include "SendOptions.h"

namespace {

std::vector<std::uint8_t> Bytes(std::string_view text) {
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

// ---- Escaping of history texts ----

struct SEscapeRow {
    const char* pszName;
    std::string strText;
    std::string strEscaped;
};

class HistoryEscape : public testing::TestWithParam<SEscapeRow> {};

TEST_P(HistoryEscape, GivesOneSafeLineThatReadsBackExactly) {
    const SEscapeRow& row = GetParam();
    const std::string strEscaped = EscapeHistoryText(row.strText);
    EXPECT_EQ(strEscaped, row.strEscaped);
    EXPECT_EQ(UnescapeHistoryText(strEscaped), row.strText);
}

INSTANTIATE_TEST_SUITE_P(
    SendHistory, HistoryEscape,
    testing::Values(
        SEscapeRow{"PlainTextStays", "AT+CSQ", "AT+CSQ"},
        SEscapeRow{"LineEnds", "a\r\nb\n", "a\\r\\nb\\n"},
        SEscapeRow{"IniCharacters", "k=v [s] ;c \"q\"", "k\\x3Dv \\x5Bs\\x5D \\x3Bc \\x22q\\x22"},
        SEscapeRow{"BackslashAndWhatLooksLikeAnEscape", "\\x41\\n", "\\\\x41\\\\n"},
        SEscapeRow{"BlanksAtTheEnds", "  01 03  ", "\\x20 01 03 \\x20"},
        SEscapeRow{"ControlBytes", std::string("\x00\x1B\x7F\t", 4), "\\x00\\x1B\\x7F\\t"},
        SEscapeRow{"ChineseStaysReadable", "你好=世界", "你好\\x3D世界"}),
    [](const testing::TestParamInfo<SEscapeRow>& info) { return info.param.pszName; });

TEST(SendHistory, MalformedEscapesAreRefused) {
    for (const char* psz : {"abc\\", "\\q", "\\x4", "\\xG0"}) {
        EXPECT_FALSE(UnescapeHistoryText(psz).has_value()) << psz;
    }
}

// ---- The history list ----

TEST(SendHistory, KeepsTheNewest20DistinctSendsNewestFirst) {
    CTempIni ini;
    CSendHistory history(ini.Path());
    for (int i = 0; i < 25; ++i) {
        history.Add({"send " + std::to_string(i), false});
    }
    ASSERT_EQ(history.Entries().size(), 20u);
    EXPECT_EQ(history.Entries().front().strText, "send 24");
    EXPECT_EQ(history.Entries().back().strText, "send 5");

    // A repeated send moves to the top; the same text in the other format is another send.
    history.Add({"send 10", false});
    history.Add({"send 24", true});
    ASSERT_EQ(history.Entries().size(), 20u);
    EXPECT_EQ(history.Entries()[0], (SHistoryEntry{"send 24", true}));
    EXPECT_EQ(history.Entries()[1], (SHistoryEntry{"send 10", false}));
    EXPECT_EQ(history.Entries()[2], (SHistoryEntry{"send 24", false}));
    EXPECT_EQ(std::count(history.Entries().begin(), history.Entries().end(),
                         SHistoryEntry{"send 10", false}),
              1);
    history.Add({"", false});
    EXPECT_EQ(history.Entries()[0], (SHistoryEntry{"send 24", true}));
}

TEST(SendHistory, AnyTextSurvivesARestartByteForByte) {
    CTempIni ini;
    ini.Write("[TX]\nCOLORTXT=255\n");
    const std::vector<SHistoryEntry> arrSent = {
        {"AT\r\nAT+CGMI\r", false},
        {"key=value [section] ;", false},
        {"  中文 ，设备=1\n第二行  ", false},
        {"01 03 00 00 00 0A", true},
        {std::string("\\\\x20\x01\x7F\"", 9), false},
    };
    {
        CSendHistory history(ini.Path());
        for (auto it = arrSent.rbegin(); it != arrSent.rend(); ++it) {
            history.Add(*it);
        }
    }
    EXPECT_EQ(CSendHistory(ini.Path()).Entries(), arrSent);
    // The file's other keys are kept.
    EXPECT_NE(ini.Read().find("COLORTXT=255"), std::string::npos);

    CSendHistory history(ini.Path());
    history.Clear();
    EXPECT_TRUE(CSendHistory(ini.Path()).Entries().empty());
}

TEST(SendHistory, UnreadableEntriesAreSkipped) {
    CTempIni ini;
    ini.Write("[HISTORY]\n1=T:good\n2=X:bad format\n3=T:bad\\q\n4=H:01 02\n5=\n");
    EXPECT_EQ(CSendHistory(ini.Path()).Entries(),
              (std::vector<SHistoryEntry>{{"good", false}, {"01 02", true}}));
}

// ---- Options in section "TX" ----

struct SOptionsRow {
    const char* pszName;
    const char* pszIni;
    SSendOptions expected;
};

class SendOptionsRead : public testing::TestWithParam<SOptionsRow> {};

TEST_P(SendOptionsRead, RangeChecksEachValue) {
    CTempIni ini;
    ini.Write(GetParam().pszIni);
    EXPECT_EQ(SSendOptions::Read(ini.Path()), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    SendOptions, SendOptionsRead,
    testing::Values(SOptionsRow{"MissingGivesDefaults", "", {}},
                    SOptionsRow{"HighestValues",
                                "[TX]\nEOL=3\nCHECKSUM=6\nFILEMODE=1\n",
                                {ELineEnd::CrLf, EChecksum::Crc32, EFileSendMode::ByLine}},
                    SOptionsRow{
                        "OutOfRangeGivesDefaults", "[TX]\nEOL=4\nCHECKSUM=-1\nFILEMODE=2\n", {}},
                    SOptionsRow{"NotANumberGivesDefault",
                                "[TX]\nEOL=CR\nCHECKSUM=4\n",
                                {ELineEnd::None, EChecksum::Crc16Modbus, EFileSendMode::Whole}}),
    [](const testing::TestParamInfo<SOptionsRow>& info) { return info.param.pszName; });

// ---- The box ----

class SendBoxOptions : public ::testing::Test {
protected:
    SendBoxOptions() : m_box(m_ini.Path()) {
        m_box.resize(400, 100);
        m_box.show();
    }
    QMenu* SubMenu(QMenu& menu, const char* pszTitle) {
        for (QAction* pAction : menu.actions()) {
            if (pAction->menu() != nullptr && pAction->text() == QString::fromUtf8(pszTitle)) {
                return pAction->menu();
            }
        }
        return nullptr;
    }
    void Choose(int nCommand) { FindCommand(*m_box.CreateContextMenu(), nCommand)->trigger(); }

    CTempIni m_ini;
    CSendEdit m_box;
};

TEST_F(SendBoxOptions, SubmenusOfferEveryChoiceAsCheckableWithTheCurrentOneChecked) {
    const std::unique_ptr<CNewMenu> pMenu = m_box.CreateContextMenu();
    const struct {
        const char* pszTitle;
        std::vector<const char*> arrTexts;
    } arrMenus[] = {
        {"行尾", {"无", "CR", "LF", "CR LF"}},
        {"校验",
         {"无", "累加和（8位）", "异或（8位）", "CRC-8", "CRC-16/MODBUS（低字节在前）",
          "CRC-16/CCITT-FALSE（高字节在前）", "CRC-32（低字节在前）"}},
        {"文件发送", {"整块发送", "逐行发送"}},
    };
    for (const auto& menu : arrMenus) {
        QMenu* pSub = SubMenu(*pMenu, menu.pszTitle);
        ASSERT_NE(pSub, nullptr) << menu.pszTitle;
        std::vector<SMenuRow> arrExpected;
        for (const char* pszText : menu.arrTexts) {
            arrExpected.push_back({QString::fromUtf8(pszText), true, arrExpected.empty()});
        }
        EXPECT_EQ(MenuRows(*pSub), arrExpected) << menu.pszTitle;
        // A screen reader tells an option that is not taken: every choice is checkable.
        for (const QAction* pAction : pSub->actions()) {
            EXPECT_TRUE(pAction->isCheckable()) << pAction->text().toStdString();
        }
    }
    EXPECT_EQ(MenuRows(*SubMenu(*pMenu, "历史记录")),
              (std::vector<SMenuRow>{{QString::fromUtf8("（无历史记录）"), false, false},
                                     {"-", true, false},
                                     {QString::fromUtf8("清除历史记录"), false, false}}));
}

TEST_F(SendBoxOptions, ChoicesFrameTheSendAndComeBackAfterARestart) {
    m_box.setPlainText("01 03 00 00 00 0A");
    Choose(IDM_HEXMODE);
    Choose(IDM_CHECKSUM_FIRST + static_cast<int>(EChecksum::Crc16Modbus));
    Choose(IDM_LINEEND_FIRST + static_cast<int>(ELineEnd::CrLf));
    Choose(IDM_FILEMODE_BYLINE);
    EXPECT_EQ(m_box.GetSendBytes(),
              (std::vector<std::uint8_t>{0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xC5, 0xCD}));
    Choose(IDM_TEXTMODE);
    m_box.setPlainText("AT");
    EXPECT_EQ(m_box.GetSendBytes(), Bytes("AT\x30\x1F\r\n"));
    const std::unique_ptr<CNewMenu> pMenu = m_box.CreateContextMenu();
    QMenu* pChecksums = SubMenu(*pMenu, "校验");
    EXPECT_TRUE(pChecksums->actions()[4]->isChecked());
    EXPECT_FALSE(pChecksums->actions()[0]->isChecked());

    EXPECT_EQ(m_ini.Read(), "");  // written when the window closes
    m_box.SaveOptions();
    const CSendEdit restarted(m_ini.Path());
    EXPECT_EQ(restarted.Options(),
              (SSendOptions{ELineEnd::CrLf, EChecksum::Crc16Modbus, EFileSendMode::ByLine}));
}

TEST_F(SendBoxOptions, HistoryMenuAndAltArrowsBringSendsBackInTheirFormat) {
    m_box.setPlainText("first & more");
    m_box.RememberSend();
    m_box.setPlainText("01 02\n03");
    m_box.SetMode(1);
    m_box.RememberSend();
    m_box.setPlainText("draft");
    m_box.SetMode(0);

    const std::unique_ptr<CNewMenu> pMenu = m_box.CreateContextMenu();
    EXPECT_EQ(MenuRows(*SubMenu(*pMenu, "历史记录")),
              (std::vector<SMenuRow>{{QString::fromUtf8("十六进制：01 02↵03"), true, false},
                                     {QString::fromUtf8("文本：first && more"), true, false},
                                     {"-", true, false},
                                     {QString::fromUtf8("清除历史记录"), true, false}}));

    Choose(IDM_HISTORY_FIRST + 1);
    EXPECT_EQ(m_box.toPlainText(), "first & more");
    EXPECT_EQ(m_box.GetMode(), 0);

    // Alt+Up walks to older entries, Alt+Down back to newer ones and then to the draft.
    m_box.setFocus();
    QTest::keyClick(&m_box, Qt::Key_Down, Qt::AltModifier);
    EXPECT_EQ(m_box.toPlainText(), "01 02\n03");
    EXPECT_EQ(m_box.GetMode(), 1);
    QTest::keyClick(&m_box, Qt::Key_Down, Qt::AltModifier);
    EXPECT_EQ(m_box.toPlainText(), "draft");
    EXPECT_EQ(m_box.GetMode(), 0);
    QTest::keyClick(&m_box, Qt::Key_Up, Qt::AltModifier);
    QTest::keyClick(&m_box, Qt::Key_Up, Qt::AltModifier);
    QTest::keyClick(&m_box, Qt::Key_Up, Qt::AltModifier);  // no older entry: stays
    EXPECT_EQ(m_box.toPlainText(), "first & more");
    // A recalled entry is an edit that can be undone.
    m_box.undo();
    EXPECT_EQ(m_box.toPlainText(), "01 02\n03");

    Choose(IDM_HISTORY_CLEAR);
    EXPECT_TRUE(m_box.History().Entries().empty());
    EXPECT_TRUE(CSendHistory(m_ini.Path()).Entries().empty());
}

}  // namespace
