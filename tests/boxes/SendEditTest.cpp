// The send box through the real widget, offscreen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QSignalSpy>
#include <QTextCursor>

#include "BoxTestSupport.h"
#include "IniFile.h"
#include "NewMenu.h"
#include "ReceiveView.h"
#include "SendEdit.h"

namespace {

class SendEditTest : public ::testing::Test {
protected:
    SendEditTest() : m_box(m_ini.Path()) {
        m_box.SetDialogs(std::make_unique<CScriptedDialogs>(m_script));
        m_box.resize(400, 100);
        m_box.show();
    }
    std::vector<SMenuRow> Rows() { return MenuRows(*m_box.CreateContextMenu()); }

    CTempIni m_ini;
    CScriptedDialogs::SScript m_script;
    CSendEdit m_box;
};

std::vector<SMenuRow> ExpectedRows(bool bUndo, bool bSelection, bool bPaste, bool bSelectAll,
                                   bool bHex) {
    return {
        {QString::fromUtf8("撤销(&U)"), bUndo, false},
        {"-", true, false},
        {QString::fromUtf8("复制(&C)"), bSelection, false},
        {QString::fromUtf8("剪切(&T)"), bSelection, false},
        {QString::fromUtf8("删除(&D)"), bSelection, false},
        {QString::fromUtf8("粘贴(&P)"), bPaste, false},
        {"-", true, false},
        {QString::fromUtf8("全选(&A)"), bSelectAll, false},
        {"-", true, false},
        {QString::fromUtf8("文本模式"), true, !bHex},
        {QString::fromUtf8("十六进制模式"), true, bHex},
        {"-", true, false},
        {QString::fromUtf8("文本颜色"), true, false},
        {QString::fromUtf8("背景颜色"), true, false},
        {"-", true, false},
        {QString::fromUtf8("字符编码"), true, false},
        {QString::fromUtf8("行尾"), true, false},
        {QString::fromUtf8("校验"), true, false},
        {QString::fromUtf8("历史记录"), true, false},
        {QString::fromUtf8("文件发送"), true, false},
        {QString::fromUtf8("文件传输"), true, false},
    };
}

std::vector<std::uint8_t> Bytes(const char* psz) {
    return std::vector<std::uint8_t>(psz, psz + std::strlen(psz));
}

}  // namespace

TEST_F(SendEditTest, NewEmptyBoxGreysEverythingButPasteWithClipboardText) {
    QApplication::clipboard()->clear();
    EXPECT_EQ(Rows(), ExpectedRows(false, false, false, false, false));
    QApplication::clipboard()->setText("x");
    EXPECT_EQ(Rows(), ExpectedRows(false, false, true, false, false));
}

TEST_F(SendEditTest, SelectionEnablesCopyCutDeleteAndWholeSelectionGreysSelectAll) {
    QApplication::clipboard()->clear();
    m_box.setFocus();
    m_box.insertPlainText("hello");  // typed, so it can be undone
    QTextCursor cursor = m_box.textCursor();
    cursor.setPosition(1);
    cursor.setPosition(3, QTextCursor::KeepAnchor);
    m_box.setTextCursor(cursor);
    EXPECT_EQ(Rows(), ExpectedRows(true, true, false, true, false));
    m_box.selectAll();
    EXPECT_EQ(Rows(), ExpectedRows(true, true, false, false, false));

    FindCommand(*m_box.CreateContextMenu(), WM_COPY)->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), "hello");
    FindCommand(*m_box.CreateContextMenu(), WM_CLEAR)->trigger();
    EXPECT_EQ(m_box.toPlainText(), "");
    FindCommand(*m_box.CreateContextMenu(), EM_UNDO)->trigger();
    EXPECT_EQ(m_box.toPlainText(), "hello");
    m_box.selectAll();
    FindCommand(*m_box.CreateContextMenu(), WM_CUT)->trigger();
    EXPECT_EQ(m_box.toPlainText(), "");
    FindCommand(*m_box.CreateContextMenu(), WM_PASTE)->trigger();
    EXPECT_EQ(m_box.toPlainText(), "hello");
    FindCommand(*m_box.CreateContextMenu(), IDM_SELECTALL)->trigger();
    EXPECT_EQ(m_box.textCursor().selectedText(), "hello");
}

TEST_F(SendEditTest, ModeSwitchesKeepTheTextAndChangeHowItIsRead) {
    m_box.setPlainText("  34 af\n");
    EXPECT_EQ(m_box.GetSendBytes(), Bytes("34 af"));
    FindCommand(*m_box.CreateContextMenu(), IDM_HEXMODE)->trigger();
    EXPECT_EQ(m_box.GetMode(), 1);
    EXPECT_EQ(m_box.toPlainText(), "  34 af\n");
    EXPECT_EQ(m_box.GetSendBytes(), (std::vector<std::uint8_t>{0x34, 0xAF}));
    EXPECT_EQ(Rows(), ExpectedRows(false, false, Rows()[5].bEnabled, true, true));
    FindCommand(*m_box.CreateContextMenu(), IDM_TEXTMODE)->trigger();
    EXPECT_EQ(m_box.toPlainText(), "  34 af\n");
    EXPECT_EQ(m_ini.Read(), "");  // the mode is never stored
}

TEST_F(SendEditTest, TextIsSentAsTypedWithCrLfLineBreaksInTheCodePage) {
    const struct {
        QString strText;
        int nCodePage;
        const char* pszBytes;
    } arrRows[] = {
        {QString::fromUtf8("a\nb你"), CP_GBK, "a\r\nb\xC4\xE3"},
        {QString::fromUtf8("a\nb你"), CP_UTF8, "a\r\nb\xE4\xBD\xA0"},
        {QStringLiteral("a\u2028b"), CP_UTF8, "a\r\nb"},  // Shift+Enter
        {QStringLiteral("a\u00A0b"), CP_UTF8,
         "a\xC2\xA0"
         "b"},
        {QStringLiteral("a\u00A0b?"), CP_GBK,
         "a\x81\x30\x84\x32"
         "b?"},  // GB18030 form
        {QString::fromUtf8("€?"), CP_GBK, "\x80?"},
    };
    for (const auto& row : arrRows) {
        m_box.setPlainText(row.strText);
        m_box.CodePage()->Set(row.nCodePage);
        EXPECT_EQ(m_box.GetSendBytes(), Bytes(row.pszBytes)) << row.strText.toStdString();
    }
    // Copying hands on the same characters.
    m_box.setPlainText(QStringLiteral("a\u00A0b"));
    m_box.selectAll();
    m_box.OnCommand(WM_COPY);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("a\u00A0b"));
}

TEST_F(SendEditTest, LongTextIsSentWhole) {
    m_box.setPlainText(QString(3000, 'z'));
    EXPECT_EQ(m_box.GetSendBytes().size(), 3000u);
    m_box.setPlainText(" \n ");
    EXPECT_TRUE(m_box.GetSendBytes().empty());
}

TEST_F(SendEditTest, ColoursAreStoredInSectionTx) {
    m_script.color = QColor(0x10, 0x20, 0x30);
    FindCommand(*m_box.CreateContextMenu(), IDM_TEXTCOLOR)->trigger();
    EXPECT_EQ(CIniFile(m_ini.Path()).ReadInt("TX", "COLORTXT", 0), 0x302010);
    EXPECT_EQ(CIniFile(m_ini.Path()).ReadString("RX", "COLORTXT", "<none>"), "<none>");
    CSendEdit again(m_ini.Path());
    EXPECT_EQ(again.GetTextColor(), 0x302010u);
    EXPECT_EQ(again.GetMode(), 0);
}

TEST_F(SendEditTest, LinkedBoxesShareTheCodePage) {
    CReceiveView receive(m_ini.Path());
    LinkCodePages(receive, m_box);
    FindCommand(*m_box.CreateContextMenu(), IDM_CODEPAGE_UTF8)->trigger();
    EXPECT_EQ(receive.CodePage()->Get(), CP_UTF8);
    receive.AppendByte(0xE4);
    receive.AppendByte(0xBD);
    receive.AppendByte(0xA0);
    receive.Refresh();
    EXPECT_EQ(receive.ShownText(), QString::fromUtf8("你"));
    FindCommand(*receive.CreateContextMenu(), IDM_CODEPAGE_GBK)->trigger();
    EXPECT_EQ(m_box.CodePage()->Get(), CP_GBK);
    const auto pMenu = m_box.CreateContextMenu();
    EXPECT_TRUE(FindCommand(*pMenu, IDM_CODEPAGE_GBK)->isChecked());
}

TEST_F(SendEditTest, TransferItemsFollowTheWindowAndGoToIt) {
    QSignalSpy spy(&m_box, &CSendEdit::TransferCommand);
    for (const bool bAllowed : {false, true}) {
        m_box.SetTransfersAllowed(bAllowed);
        const auto pMenu = m_box.CreateContextMenu();
        QMenu* pTransfers = pMenu->actions().back()->menu();
        ASSERT_NE(pTransfers, nullptr);
        EXPECT_EQ(MenuRows(*pTransfers),
                  (std::vector<SMenuRow>{{QString::fromUtf8("XMODEM 发送..."), bAllowed, false},
                                         {QString::fromUtf8("XMODEM-1K 发送..."), bAllowed, false},
                                         {QString::fromUtf8("YMODEM 发送..."), bAllowed, false},
                                         {"-", true, false},
                                         {QString::fromUtf8("XMODEM 接收..."), bAllowed, false},
                                         {QString::fromUtf8("YMODEM 接收..."), bAllowed, false}}));
    }
    FindCommand(*m_box.CreateContextMenu(), IDM_XFER_YMODEM_RECEIVE)->trigger();
    ASSERT_EQ(spy.size(), 1);
    EXPECT_EQ(spy[0][0].toInt(), IDM_XFER_YMODEM_RECEIVE);
}
