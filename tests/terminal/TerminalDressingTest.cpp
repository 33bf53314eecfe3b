// The main window's dressing through the real window: controls follow their edges when the window
// is resized, the designed size is the smallest, the placement comes back at the next start, and
// the tips find their controls, disabled ones included.
#include <QImage>
#include <QLineEdit>

#include "TerminalFixture.h"
#include "TipWindow.h"

namespace {

using TerminalDressingTest = TerminalDlgTest;

TEST_F(TerminalDressingTest, ControlsFollowTheirEdgesAndNeverDrift) {
    auto pDlg = MakeDialog();
    const QSize sizeDesign = pDlg->size();
    std::map<int, QRect> mapBefore;
    for (const SDlgItem& item : kMainDialogTemplate.items) {
        mapBefore[item.nId] = pDlg->Control(item.nId)->geometry();
    }
    const int dw = sizeDesign.width() / 2;
    const int dh = sizeDesign.height() / 2;
    pDlg->resize(sizeDesign + QSize(dw, dh));

    // id, how far it moves (x, y) and grows (width, height), in units of the growth.
    struct {
        int nId;
        int nMoveX, nMoveY, nGrowX, nGrowY;
    } const arrCases[] = {
        {IDC_RECEIVE, 0, 0, 1, 1},        {IDC_SEND, 0, 1, 1, 0},
        {IDC_LAMP_GROUP, 0, 1, 0, 0},     {IDC_LAMP_RING, 0, 1, 0, 0},
        {IDC_LINES_GROUP, 0, 1, 0, 0},    {IDC_DTR, 0, 1, 0, 0},
        {IDC_OPEN, 1, 0, 0, 0},           {IDC_SETTINGS_GROUP, 1, 0, 0, 0},
        {IDC_STOPBITS_LABEL, 1, 0, 0, 0}, {IDC_BAUD, 1, 0, 0, 0},
        {IDC_FORMAT_HEX, 1, 1, 0, 0},     {IDC_PERIOD, 1, 1, 0, 0},
        {IDC_MANUAL_SEND, 1, 1, 0, 0},    {ID_HELP, 1, 1, 0, 0},
        {IDC_COUNTER_GROUP, 1, 1, 0, 0},  {IDC_TX_COUNT, 1, 1, 0, 0},
        {IDC_CLEAR_COUNTERS, 1, 1, 0, 0},
    };
    for (const auto& c : arrCases) {
        const QRect& rc = mapBefore[c.nId];
        const QRect rcExpected(rc.x() + c.nMoveX * dw, rc.y() + c.nMoveY * dh,
                               rc.width() + c.nGrowX * dw, rc.height() + c.nGrowY * dh);
        EXPECT_EQ(pDlg->Control(c.nId)->geometry(), rcExpected) << c.nId;
    }

    for (int i = 0; i < 20; ++i) {
        pDlg->resize(sizeDesign + QSize(1 + i % 2, 1));
        pDlg->resize(sizeDesign);
    }
    pDlg->resize(sizeDesign - QSize(50, 50));  // smaller than designed: refused
    EXPECT_EQ(pDlg->size(), sizeDesign);
    for (const auto& [nId, rc] : mapBefore) {
        EXPECT_EQ(pDlg->Control(nId)->geometry(), rc) << nId;
    }
}

TEST_F(TerminalDressingTest, OpensWhereItWasClosed) {
    WriteIni();
    QRect rcClosed;
    QSize sizeBox;
    {
        auto pDlg = MakeDialog();
        sizeBox = pDlg->Control(IDC_RECEIVE)->size();
        pDlg->setGeometry(
            QRect(pDlg->geometry().topLeft() + QPoint(7, 9), pDlg->size() + QSize(40, 30)));
        rcClosed = pDlg->geometry();
        pDlg->close();
    }
    const std::string strStored = CIniFile(m_strIni).ReadString("Pelimar", "WindowPlacement", "");
    EXPECT_EQ(strStored, std::to_string(rcClosed.left()) + "," + std::to_string(rcClosed.top()) +
                             "," + std::to_string(rcClosed.right() + 1) + "," +
                             std::to_string(rcClosed.bottom() + 1) + ",1,0");
    auto pDlg = MakeDialog();
    EXPECT_EQ(pDlg->geometry(), rcClosed);
    EXPECT_EQ(pDlg->Control(IDC_RECEIVE)->size(), sizeBox + QSize(40, 30));
}

TEST_F(TerminalDressingTest, DisabledControlsHaveTheirTips) {
    auto pDlg = MakeDialog();
    for (int nId : {IDC_LAMP_CTS, IDC_LAMP_CD, IDC_MANUAL_SEND, IDC_RECEIVE}) {
        QWidget* pControl = pDlg->Control(nId);
        const QPoint pt = pControl->geometry().center();
        const TipTool* pTool = pDlg->Tip().ToolFromPoint(pt);
        ASSERT_NE(pTool, nullptr) << nId;
        EXPECT_EQ(pTool->hWnd, pControl);
        EXPECT_EQ(pTool->nMaxWidth, 240);
        EXPECT_EQ(pTool->clrBk, RGB(230, 255, 255));
        EXPECT_EQ(pTool->clrText, RGB(0, 128, 255));
    }
    EXPECT_FALSE(pDlg->Control(IDC_LAMP_CTS)->isEnabled());
    EXPECT_FALSE(pDlg->Control(IDC_MANUAL_SEND)->isEnabled());
    EXPECT_EQ(
        pDlg->Tip().ToolFromPoint(pDlg->Control(IDC_LAMP_RING)->geometry().center())->text,
        QStringLiteral("Modem状态\n红色图标表示当前控制线处于有效状态\n灰色图标表示处于无效状态"));
    EXPECT_EQ(pDlg->Tip().ToolFromPoint(pDlg->Control(IDC_OPEN)->geometry().center()), nullptr);
}

// The tips, the port list's tips and the device watcher come after the first frame, then work.
TEST_F(TerminalDressingTest, DressingFollowsTheFirstFrameAndThenWorks) {
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(m_strDevRoot + "/dev")));
    CTerminalDlg dlg(m_strIni);
    dlg.Link().SetDeviceMapSource(m_strIni, m_strDevRoot);
    dlg.show();
    const QPoint ptSend = dlg.Control(IDC_SEND)->geometry().center();
    EXPECT_FALSE(dlg.IsDressed());
    EXPECT_EQ(dlg.Tip().ToolFromPoint(ptSend), nullptr);
    ASSERT_TRUE(WaitRunningEventLoop([&] { return dlg.IsDressed(); }));
    EXPECT_NE(dlg.Tip().ToolFromPoint(ptSend), nullptr);
    const auto fnFirstTip = [&] {
        return Ctl<QComboBox>(dlg, IDC_PORT)->itemData(0, Qt::ToolTipRole).toString();
    };
    EXPECT_EQ(fnFirstTip(), QStringLiteral("未映射设备"));
    QFile(QString::fromStdString(m_strDevRoot + "/dev/ttyACM0")).open(QIODevice::WriteOnly);
    EXPECT_TRUE(WaitRunningEventLoop(
        [&] { return fnFirstTip().endsWith(QStringLiteral("/dev/ttyACM0")); }, 20000));
}

// The counters change many times a second and are repainted without the window behind them: they
// fill their corners themselves, with what the window shows there.
TEST_F(TerminalDressingTest, CountersLookTheSameDrawnAlone) {
    auto pDlg = MakeDialog();
    const QImage imgWindow = pDlg->grab().toImage();
    for (int nId : {IDC_RX_COUNT, IDC_TX_COUNT}) {
        QWidget* pCounter = pDlg->Control(nId);
        EXPECT_EQ(pCounter->grab().toImage(), imgWindow.copy(pCounter->geometry())) << nId;
    }
}

// Their frame is a copy of a picture, drawn as the application style draws a line edit.
TEST_F(TerminalDressingTest, CountersLookLikePlainLineEdits) {
    auto pDlg = MakeDialog();
    auto* pCounter = Ctl<QLineEdit>(*pDlg, IDC_RX_COUNT);
    QLineEdit plain(pDlg.get());
    plain.setReadOnly(true);
    plain.setAlignment(pCounter->alignment());
    plain.setFont(pCounter->font());
    plain.setBackgroundRole(QPalette::Window);
    plain.setAutoFillBackground(true);
    plain.resize(pCounter->size());
    for (const char* pszCount : {"0", "4294967295", "17"}) {
        pCounter->setText(pszCount);
        plain.setText(pszCount);
        EXPECT_EQ(pCounter->grab().toImage(), plain.grab().toImage()) << pszCount;
    }
}

}  // namespace
