// The receive box's context menu: built by the same function a right click uses.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>

#include "BoxTestSupport.h"
#include "ReceiveView.h"

namespace {

class ReceiveMenuTest : public ::testing::Test {
protected:
    ReceiveMenuTest() : m_box(m_ini.Path()) {
        m_box.SetDialogs(std::make_unique<CScriptedDialogs>(m_script));
        m_box.resize(400, 200);
        m_box.show();
    }
    std::vector<SMenuRow> Rows() { return MenuRows(*m_box.CreateContextMenu()); }

    CTempIni m_ini;
    CScriptedDialogs::SScript m_script;
    CReceiveView m_box;
};

std::vector<SMenuRow> ExpectedRows(bool bHeld, bool bHex, bool bLf, bool bSelection,
                                   bool bSelectAll) {
    return {
        {QString::fromUtf8("保存文件"), bHeld, false},
        {"-", true, false},
        {QString::fromUtf8("文本模式"), true, !bHex},
        {QString::fromUtf8("十六进制模式"), true, bHex},
        {"-", true, false},
        {"'\\n'='\\r'+'\\n'", true, bLf},
        {"-", true, false},
        {QString::fromUtf8("全部清除"), bHeld, false},
        {QString::fromUtf8("复制(&C)"), bSelection, false},
        {"-", true, false},
        {QString::fromUtf8("全选(&A)"), bSelectAll, false},
        {"-", true, false},
        {QString::fromUtf8("文本颜色"), true, false},
        {QString::fromUtf8("背景颜色"), true, false},
        {"-", true, false},
        {QString::fromUtf8("字符编码"), true, false},
    };
}

}  // namespace

TEST_F(ReceiveMenuTest, EmptyBoxGreysSaveClearCopyAndSelectAll) {
    EXPECT_EQ(Rows(), ExpectedRows(false, false, true, false, false));
    const auto pMenu = m_box.CreateContextMenu();
    QMenu* pCodePages = pMenu->actions().back()->menu();
    ASSERT_NE(pCodePages, nullptr);
    EXPECT_EQ(MenuRows(*pCodePages),
              (std::vector<SMenuRow>{{"GBK", true, true}, {"UTF-8", true, false}}));
}

TEST_F(ReceiveMenuTest, ItemsFollowDataModeOptionAndSelection) {
    m_box.AppendByte('x');
    m_box.AppendByte('y');
    m_box.Refresh();
    EXPECT_EQ(Rows(), ExpectedRows(true, false, true, false, true));
    m_box.selectAll();
    EXPECT_EQ(Rows(), ExpectedRows(true, false, true, true, false));

    auto pMenu = m_box.CreateContextMenu();
    FindCommand(*pMenu, IDM_HEXMODE)->trigger();
    EXPECT_EQ(m_box.ShownText(), "78 79 ");
    pMenu = m_box.CreateContextMenu();
    FindCommand(*pMenu, IDM_LFTOCRLF)->trigger();
    EXPECT_EQ(Rows(), ExpectedRows(true, true, false, false, true));

    pMenu = m_box.CreateContextMenu();
    FindCommand(*pMenu, IDM_CLEARALL)->trigger();
    EXPECT_EQ(m_box.GetLength(), 0u);
    EXPECT_EQ(Rows(), ExpectedRows(false, true, false, false, false));
}

TEST_F(ReceiveMenuTest, IconsFollowTheStripOrder) {
    const auto pMenu = m_box.CreateContextMenu();
    for (int nCommand :
         {IDM_SAVEFILE, IDM_CLEARALL, WM_COPY, IDM_SELECTALL, IDM_TEXTCOLOR, IDM_BKCOLOR}) {
        EXPECT_FALSE(FindCommand(*pMenu, nCommand)->icon().isNull()) << nCommand;
    }
    for (int nCommand : {IDM_TEXTMODE, IDM_HEXMODE, IDM_LFTOCRLF}) {
        EXPECT_TRUE(FindCommand(*pMenu, nCommand)->icon().isNull()) << nCommand;
    }
    EXPECT_EQ(BoxMenuIconIndex(WM_COPY), 0);
    EXPECT_EQ(BoxMenuIconIndex(IDM_SAVEFILE), 1);
    EXPECT_EQ(BoxMenuIconIndex(IDM_SELECTALL), 2);
    EXPECT_EQ(BoxMenuIconIndex(IDM_TEXTCOLOR), 4);
    EXPECT_EQ(BoxMenuIconIndex(WM_CLEAR), 6);
    EXPECT_EQ(BoxMenuIconIndex(IDM_BKCOLOR), 7);
    EXPECT_EQ(BoxMenuIconIndex(WM_CUT), 8);
    EXPECT_EQ(BoxMenuIconIndex(WM_PASTE), 9);
    EXPECT_EQ(BoxMenuIconIndex(EM_UNDO), 10);
    EXPECT_EQ(BoxMenuIconIndex(IDM_CLEARALL), 11);
    EXPECT_EQ(BoxMenuIconIndex(1), -1);
}

TEST_F(ReceiveMenuTest, MenuCommandsSaveAndChooseColours) {
    m_box.AppendByte(0x00);
    m_script.strSavePath = m_ini.Folder() + "/out.bin";
    FindCommand(*m_box.CreateContextMenu(), IDM_SAVEFILE)->trigger();
    EXPECT_EQ(ReadFileBytes(m_script.strSavePath), (std::vector<std::uint8_t>{0x00}));
    m_script.color = QColor(Qt::red);
    FindCommand(*m_box.CreateContextMenu(), IDM_BKCOLOR)->trigger();
    EXPECT_EQ(m_box.GetBkColor(), 0x0000FFu);
    FindCommand(*m_box.CreateContextMenu(), IDM_CODEPAGE_UTF8)->trigger();
    EXPECT_EQ(m_box.CodePage()->Get(), CP_UTF8);
}
