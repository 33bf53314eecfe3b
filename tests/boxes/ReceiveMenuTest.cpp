// The receive box's context menu: built by the same function a right click uses.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QSignalSpy>
#include <QTest>

#include "BoxTestSupport.h"
#include "NewMenu.h"
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
        {QString::fromUtf8("分帧"), true, false},
        {QString::fromUtf8("时间戳"), true, false},
        {QString::fromUtf8("显示发送"), true, false},
        {"-", true, false},
        {QString::fromUtf8("开始记录..."), true, false},
    };
}

}  // namespace

TEST_F(ReceiveMenuTest, EmptyBoxGreysSaveClearCopyAndSelectAll) {
    EXPECT_EQ(Rows(), ExpectedRows(false, false, true, false, false));
    const auto pMenu = m_box.CreateContextMenu();
    const QList<QAction*> arrActions = pMenu->actions();
    QMenu* pCodePages = arrActions[arrActions.size() - 6]->menu();
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

TEST_F(ReceiveMenuTest, IconsFromOneSharedStripSetAndCheckMarksOnTheOptions) {
    const auto pMenu = m_box.CreateContextMenu();
    const struct {
        int nCommand, nIcon;
    } rows[] = {{IDM_SAVEFILE, 1},  {IDM_CLEARALL, 11},    {WM_COPY, 0},       {IDM_SELECTALL, 2},
                {IDM_TEXTCOLOR, 4}, {IDM_BKCOLOR, 7},      {IDM_TEXTMODE, -1}, {IDM_HEXMODE, -1},
                {IDM_LFTOCRLF, -1}, {IDM_CODEPAGE_GBK, -1}};
    for (const auto& row : rows) {
        QAction* pAction = FindCommand(*pMenu, row.nCommand);
        const auto* pHolder = static_cast<const CNewMenu*>(pAction->parent());
        EXPECT_EQ(pHolder->ItemData(pAction)->m_nIconIndex, row.nIcon) << row.nCommand;
    }
    EXPECT_EQ(pMenu->IconSize(), QSize(16, 16));
    pMenu->resize(pMenu->sizeHint());
    const QImage img = pMenu->grab().toImage();
    const SMenuColors colors = SMenuColors::FromPalette(pMenu->palette(), false);
    const auto column = [&](int nCommand) {
        const QRect rcItem = pMenu->actionGeometry(FindCommand(*pMenu, nCommand));
        return img.pixelColor(rcItem.topLeft() + QPoint(4, 3));
    };
    const QColor crCheck = Mix86(colors.IconColumn(), colors.crHighlight);
    EXPECT_EQ(column(IDM_TEXTMODE), crCheck);
    EXPECT_EQ(column(IDM_LFTOCRLF), crCheck);
    EXPECT_EQ(column(IDM_HEXMODE), colors.IconColumn());
    // A second opening finds the set of the first.
    const int nSets = CNewMenuIcons::SetCount();
    const auto pAgain = m_box.CreateContextMenu();
    EXPECT_EQ(CNewMenuIcons::SetCount(), nSets);
    EXPECT_EQ(pAgain->ItemData(FindCommand(*pAgain, WM_COPY))->m_pIcons,
              pMenu->ItemData(FindCommand(*pMenu, WM_COPY))->m_pIcons);
}

namespace {

std::vector<SMenuRow> AccessibleRows(QAccessibleInterface* pMenu) {
    std::vector<SMenuRow> rows;
    for (int i = 0; i < pMenu->childCount(); ++i) {
        QAccessibleInterface* pItem = pMenu->child(i);
        if (pItem->role() == QAccessible::Separator) {
            rows.push_back({"-", true, false});
        } else {
            rows.push_back({pItem->text(QAccessible::Name), !pItem->state().disabled,
                            static_cast<bool>(pItem->state().checked)});
        }
    }
    return rows;
}

}  // namespace

// A screen reader follows the focus into the open skinned menu and reads every item.
TEST_F(ReceiveMenuTest, ScreenReadersFindTheOpenMenusItemsAndStates) {
    m_box.AppendByte('x');
    m_box.Refresh();
    const auto pMenu = m_box.CreateContextMenu();
    pMenu->popup(m_box.mapToGlobal(QPoint(10, 10)));
    ASSERT_TRUE(WaitRunningEventLoop([&] { return pMenu->isVisible(); }));
    QTest::keyClick(pMenu.get(), Qt::Key_Down);

    QAccessibleInterface* pPopup = QAccessible::queryAccessibleInterface(pMenu.get());
    ASSERT_NE(pPopup, nullptr);
    EXPECT_EQ(pPopup->role(), QAccessible::PopupMenu);
    QStringList arrFocused;
    for (int i = 0; i < pPopup->childCount(); ++i) {
        if (pPopup->child(i)->state().focused) {
            arrFocused << pPopup->child(i)->text(QAccessible::Name);
        }
    }
    EXPECT_EQ(arrFocused, QStringList{QString::fromUtf8("保存文件")});
    std::vector<SMenuRow> want = ExpectedRows(true, false, true, false, true);
    for (SMenuRow& row : want) {
        row.strText.remove(u'&');
    }
    EXPECT_EQ(AccessibleRows(pPopup), want);
    QAccessibleInterface* pCodePageItem = pPopup->child(pPopup->childCount() - 6);
    ASSERT_EQ(pCodePageItem->childCount(), 1);
    EXPECT_EQ(AccessibleRows(pCodePageItem->child(0)),
              (std::vector<SMenuRow>{{"GBK", true, true}, {"UTF-8", true, false}}));
    pMenu->hide();
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

TEST_F(ReceiveMenuTest, RecordItemAsksTheWindowAndSaysStopWhileRecording) {
    QSignalSpy spy(&m_box, &CReceiveView::RecordCommand);
    FindCommand(*m_box.CreateContextMenu(), IDM_RECORD)->trigger();
    EXPECT_EQ(spy.count(), 1);
    m_box.SetRecording(true);
    EXPECT_EQ(FindCommand(*m_box.CreateContextMenu(), IDM_RECORD)->text(),
              QString::fromUtf8("停止记录"));
    m_box.SetRecording(false);
    EXPECT_EQ(Rows().back().strText, QString::fromUtf8("开始记录..."));
}
