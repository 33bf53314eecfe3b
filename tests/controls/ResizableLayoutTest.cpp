// The resizable layout: anchor geometry, a resizable dialog of real widgets (layout, grip,
// minimum size), and the placement kept in the settings file.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QtTest/QTest>
#include <fstream>
#include <memory>
#include <sstream>

#include "IniFile.h"
#include "ResizableDlg.h"
#include "TempFolder.h"

namespace {

struct AnchorCase {
    const char* pszName;
    LayoutRect rc;
    QSize sizeFrom;
    AnchorPoint anchorTL;
    AnchorPoint anchorBR;
    QSize sizeTo;
    LayoutRect expected;
};

TEST(AnchorGeometry, ControlsFollowTheirAnchors) {
    const AnchorCase arrCases[] = {
        {"both corners grow by the change",
         {10, 10, 110, 60},
         {200, 100},
         ANCHOR_TOP_LEFT,
         ANCHOR_BOTTOM_RIGHT,
         {300, 150},
         {10, 10, 210, 110}},
        {"bottom edge: height kept, width grows",
         {10, 80, 190, 95},
         {200, 100},
         ANCHOR_BOTTOM_LEFT,
         ANCHOR_BOTTOM_RIGHT,
         {300, 150},
         {10, 130, 290, 145}},
        {"one anchor moves and keeps the size",
         {150, 10, 190, 30},
         {200, 100},
         ANCHOR_TOP_RIGHT,
         ANCHOR_NONE,
         {300, 150},
         {250, 10, 290, 30}},
        {"none is the first anchor twice",
         {150, 10, 190, 30},
         {200, 100},
         ANCHOR_TOP_RIGHT,
         ANCHOR_TOP_RIGHT,
         {300, 150},
         {250, 10, 290, 30}},
        {"shrinking",
         {150, 70, 190, 90},
         {200, 100},
         ANCHOR_BOTTOM_RIGHT,
         ANCHOR_NONE,
         {180, 90},
         {130, 60, 170, 80}},
        {"50% of 333 is 166",
         {200, 0, 210, 10},
         {332, 10},
         ANCHOR_TOP_CENTER,
         ANCHOR_NONE,
         {333, 10},
         {200, 0, 210, 10}},
        {"50% of 334 is 167",
         {200, 0, 210, 10},
         {332, 10},
         ANCHOR_TOP_CENTER,
         ANCHOR_NONE,
         {334, 10},
         {201, 0, 211, 10}},
        {"negative percent truncates toward zero",
         {0, 0, 10, 10},
         {100, 10},
         {-50, 0},
         ANCHOR_NONE,
         {333, 10},
         {-116, 0, -106, 10}},
        {"minimised: an empty client area",
         {10, 80, 190, 95},
         {200, 100},
         ANCHOR_BOTTOM_LEFT,
         ANCHOR_BOTTOM_RIGHT,
         {0, 0},
         {10, -20, -10, -5}},
    };
    for (const AnchorCase& c : arrCases) {
        const AnchorItem item = MakeAnchorItem(c.rc, c.sizeFrom, c.anchorTL, c.anchorBR);
        EXPECT_EQ(AnchoredRect(item, c.sizeTo), c.expected) << c.pszName;
        EXPECT_EQ(AnchoredRect(item, c.sizeFrom), c.rc) << c.pszName << ": back where it was";
    }
}

// A small resizable dialog: a box that takes all growth, a bottom line, a right-hand button and a
// bottom-right frame with a label inside, registered frame first.
class CTestDlg : public CResizableDlg {
public:
    explicit CTestDlg(const std::string& strIni) : CResizableDlg(strIni) {
        m_pBox = new QLabel(this);
        m_pLine = new QLabel(this);
        m_pButton = new QPushButton(QStringLiteral("OK"), this);
        m_pFrame = new QLabel(this);
        m_pInside = new QLabel(this);
        m_pBox->setGeometry(10, 10, 200, 120);
        m_pLine->setGeometry(10, 140, 200, 20);
        m_pButton->setGeometry(220, 10, 70, 24);
        m_pFrame->setGeometry(220, 120, 70, 70);
        m_pInside->setGeometry(230, 140, 50, 20);
        resize(300, 200);
    }
    QLabel* m_pBox;
    QLabel* m_pLine;
    QPushButton* m_pButton;
    QLabel* m_pFrame;
    QLabel* m_pInside;

protected:
    void OnInitDialog() override {
        CResizableDlg::OnInitDialog();
        AnchorControl(m_pBox, ANCHOR_TOP_LEFT, ANCHOR_BOTTOM_RIGHT);
        AnchorControl(m_pLine, ANCHOR_BOTTOM_LEFT, ANCHOR_BOTTOM_RIGHT);
        AnchorControl(m_pButton, ANCHOR_TOP_RIGHT);
        AnchorControl(m_pFrame, ANCHOR_BOTTOM_RIGHT);
        AnchorControl(m_pInside, ANCHOR_BOTTOM_RIGHT);
        EnablePlacementSave("Pelimar", false);
    }
};

class ResizableDlgTest : public ::testing::Test {
protected:
    std::unique_ptr<CTestDlg> Open() {
        auto pDlg = std::make_unique<CTestDlg>(m_strIni);
        pDlg->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(pDlg.get()));
        return pDlg;
    }
    std::string Stored() const {
        return CIniFile(m_strIni).ReadString("Pelimar", "WindowPlacement", "");
    }

    CTempFolder m_folder;
    std::string m_strIni = m_folder.PathOf("Vexor.ini");
};

TEST_F(ResizableDlgTest, ControlsFollowTheWindowAndNeverDrift) {
    auto pDlg = Open();
    pDlg->resize(450, 300);
    EXPECT_EQ(pDlg->m_pBox->geometry(), QRect(10, 10, 350, 220));
    EXPECT_EQ(pDlg->m_pLine->geometry(), QRect(10, 240, 350, 20));
    EXPECT_EQ(pDlg->m_pButton->geometry(), QRect(370, 10, 70, 24));
    EXPECT_EQ(pDlg->m_pFrame->geometry(), QRect(370, 220, 70, 70));
    EXPECT_EQ(pDlg->m_pInside->geometry(), QRect(380, 240, 50, 20));
    ASSERT_NE(pDlg->GetGripWnd(), nullptr);
    EXPECT_EQ(pDlg->GetGripWnd()->geometry().bottomRight(), QPoint(449, 299));

    for (int i = 0; i < 50; ++i) {
        pDlg->resize(451 + i % 3, 301);
        pDlg->resize(450, 300);
    }
    EXPECT_EQ(pDlg->m_pBox->geometry(), QRect(10, 10, 350, 220));
    EXPECT_EQ(pDlg->m_pInside->geometry(), QRect(380, 240, 50, 20));
}

TEST_F(ResizableDlgTest, TheDesignedSizeIsTheSmallestAndMaximisingDisablesTheGrip) {
    auto pDlg = Open();
    pDlg->resize(100, 80);
    EXPECT_EQ(pDlg->size(), QSize(300, 200));
    EXPECT_EQ(pDlg->m_pBox->geometry(), QRect(10, 10, 200, 120));
    EXPECT_TRUE(pDlg->GetGripWnd()->isEnabled());
    pDlg->showMaximized();
    QTRY_VERIFY_WITH_TIMEOUT(!pDlg->GetGripWnd()->isEnabled(), 10000);
    EXPECT_TRUE(pDlg->GetGripWnd()->isVisible());
    pDlg->showNormal();
    QTRY_VERIFY_WITH_TIMEOUT(pDlg->GetGripWnd()->isEnabled(), 10000);
}

TEST(SizeGrip, OnlyTheTriangleBelowTheDiagonalIsTheGrip) {
    const QRegion region = GripRegion(QSize(4, 4));
    const char* arrRows[] = {"....", "...#", "..##", ".###"};
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(region.contains(QPoint(x, y)), arrRows[y][x] == '#') << x << "," << y;
        }
    }
    EXPECT_EQ(GripEdges(Qt::LeftToRight), Qt::BottomEdge | Qt::RightEdge);
    EXPECT_EQ(GripEdges(Qt::RightToLeft), Qt::BottomEdge | Qt::LeftEdge);
}

TEST_F(ResizableDlgTest, PlacementIsSavedAtDestructionAndRestoredAtStart) {
    {
        auto pDlg = Open();
        EXPECT_EQ(Stored(), "");
        pDlg->setGeometry(40, 50, 420, 260);
    }
    EXPECT_EQ(Stored(), "40,50,460,310,1,0");
    {
        auto pDlg = Open();
        EXPECT_EQ(pDlg->geometry(), QRect(40, 50, 420, 260));
        EXPECT_EQ(pDlg->m_pBox->geometry(), QRect(10, 10, 320, 180));
        pDlg->showMaximized();
        QTRY_VERIFY_WITH_TIMEOUT(pDlg->isMaximized(), 10000);
    }
    EXPECT_EQ(Stored(), "40,50,460,310,3,0");
    auto pDlg = Open();
    EXPECT_TRUE(pDlg->isMaximized());
    pDlg->showNormal();
    QTRY_COMPARE_WITH_TIMEOUT(pDlg->geometry(), QRect(40, 50, 420, 260), 10000);
}

TEST_F(ResizableDlgTest, UnusablePlacementsLeaveTheDesignedWindow) {
    const char* arrValues[] = {"1,2,300,400,1",           "a,2,300,400,1,0", "1 ,2,300,400,1,0",
                               "1,2,99999999999,400,1,0", "300,2,1,400,1,0", "1;2;300;400;1;0"};
    for (const char* pszValue : arrValues) {
        CIniFile(m_strIni).WriteString("Pelimar", "WindowPlacement", pszValue);
        auto pDlg = Open();
        EXPECT_EQ(pDlg->size(), QSize(300, 200)) << pszValue;
        EXPECT_FALSE(pDlg->isMaximized()) << pszValue;
    }
    // Blanks before a number and anything after the sixth are read as "%d" reads them; a size
    // below the minimum is refused; a hidden show state opens the window normally.
    CIniFile(m_strIni).WriteString("Pelimar", "WindowPlacement", " 5,+20, 105,80,0,0 trailing");
    auto pDlg = Open();
    EXPECT_EQ(pDlg->geometry().topLeft(), QPoint(5, 20));
    EXPECT_EQ(pDlg->size(), QSize(300, 200));
    EXPECT_TRUE(pDlg->isVisible());
    EXPECT_EQ(ParsePlacement("-7,-8,-1,-2,3,4"), (WindowPlacement{-7, -8, -1, -2, 3, 4}));
}

TEST_F(ResizableDlgTest, APlacementOffEveryScreenIsMovedOntoOne) {
    CIniFile(m_strIni).WriteString("Pelimar", "WindowPlacement", "5000,4000,5400,4300,1,0");
    auto pDlg = Open();
    const QRect rcScreen = pDlg->screen()->availableGeometry();
    EXPECT_TRUE(rcScreen.contains(pDlg->geometry())) << pDlg->geometry().x();
    EXPECT_EQ(pDlg->size(), QSize(400, 300));
}

TEST(PlacementFormat, FitOnScreensMovesOnlyLostWindows) {
    const std::vector<QRect> arrScreens = {QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
    struct {
        QRect rc;
        QRect expected;
    } const arrCases[] = {
        {QRect(100, 100, 600, 400), QRect(100, 100, 600, 400)},     // on the first
        {QRect(1800, 100, 600, 400), QRect(1800, 100, 600, 400)},   // across both
        {QRect(-560, 100, 600, 400), QRect(0, 100, 600, 400)},      // only 40 pixels shown
        {QRect(3300, 200, 600, 400), QRect(2600, 200, 600, 400)},   // right of the second
        {QRect(-3000, -3000, 600, 400), QRect(0, 0, 600, 400)},     // far above left
        {QRect(4000, 50, 2000, 2000), QRect(1920, 0, 1280, 1024)},  // larger than the screen
    };
    for (const auto& c : arrCases) {
        EXPECT_EQ(FitOnScreens(c.rc, arrScreens), c.expected) << c.rc.x() << "," << c.rc.y();
    }
    EXPECT_EQ(FitOnScreens(QRect(-5000, 0, 10, 10), {}), QRect(-5000, 0, 10, 10));
}

}  // namespace
