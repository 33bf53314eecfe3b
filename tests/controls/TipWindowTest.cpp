// The tip window: its states and timings driven by a fake clock and cursor, hit testing of
// disabled and nested controls, pages, sizes, placement at the screen edges, tool records and what
// assistive technology reads.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QtTest/QTest>
#include <map>
#include <memory>

#include "TipWindow.h"

namespace {

using State = CTipWindow::State;

// The tip with its timers on a fake clock and the cursor where the test puts it.
class CTestTip : public CTipWindow {
public:
    using CTipWindow::CalcTextRect;

    void Advance(int nMs) {
        const int nEnd = m_nNow + nMs;
        for (;;) {
            auto itNext = m_mapTimers.end();
            for (auto it = m_mapTimers.begin(); it != m_mapTimers.end(); ++it) {
                if (it->second.first <= nEnd &&
                    (itNext == m_mapTimers.end() || it->second.first < itNext->second.first)) {
                    itNext = it;
                }
            }
            if (itNext == m_mapTimers.end()) {
                break;
            }
            m_nNow = itNext->second.first;
            itNext->second.first += itNext->second.second;  // timers repeat until killed
            OnTimer(itNext->first);
        }
        m_nNow = nEnd;
    }
    // The mouse moves to a point of pWnd; the parent relays the move.
    void PutCursor(QWidget* pWnd, QPoint pt) { m_ptCursor = pWnd->mapToGlobal(pt); }
    void MoveTo(QWidget* pWnd, QPoint pt) {
        PutCursor(pWnd, pt);
        QMouseEvent move(QEvent::MouseMove, QPointF(pt), QPointF(m_ptCursor), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        RelayEvent(&move);
    }
    void CursorOverTip() { m_ptCursor = geometry().center(); }

protected:
    void StartTipTimer(int nId, int nMs) override { m_mapTimers[nId] = {m_nNow + nMs, nMs}; }
    void KillTipTimer(int nId) override { m_mapTimers.erase(nId); }
    QPoint GetCursorPos() const override { return m_ptCursor; }

private:
    int m_nNow = 0;
    std::map<int, std::pair<int, int>> m_mapTimers;  // id: due time, period
    QPoint m_ptCursor{-1000, -1000};
};

class TipWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_parent.setGeometry(100, 100, 400, 300);
        m_pButton = new QPushButton(QStringLiteral("A"), &m_parent);
        m_pButton->setGeometry(10, 10, 80, 30);
        m_pLamp = new QPushButton(&m_parent);
        m_pLamp->setGeometry(10, 60, 30, 30);
        m_pLamp->setEnabled(false);
        m_pBox = new QWidget(&m_parent);
        m_pBox->setGeometry(200, 10, 150, 150);
        m_pInner = new QPushButton(QStringLiteral("inner"), m_pBox);
        m_pInner->setGeometry(10, 10, 60, 30);
        m_parent.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_parent));
        ASSERT_TRUE(m_tip.Create(&m_parent));
        m_tip.AddTool(m_pButton, QStringLiteral("button tip"));
        m_tip.AddTool(m_pLamp, QStringLiteral("lamp tip"));
        m_tip.AddTool(m_pBox, QStringLiteral("box tip"));
        m_tip.AddTool(m_pButton, QStringLiteral("second tool of the button"), nullptr, 7);
    }
    // Rests in the button until the tip shows.
    void ShowButtonTip() {
        m_tip.MoveTo(m_pButton, QPoint(5, 5));
        m_tip.Advance(500);
        ASSERT_EQ(m_tip.GetState(), State::Shown);
    }

    QWidget m_parent;
    QPushButton* m_pButton = nullptr;
    QPushButton* m_pLamp = nullptr;
    QWidget* m_pBox = nullptr;
    QPushButton* m_pInner = nullptr;
    CTestTip m_tip;
};

TEST_F(TipWindowTest, ShowsAfterTheDelayAndHidesAfterTheDisplayTimeOncePerEntry) {
    EXPECT_EQ(m_tip.GetState(), State::Idle);
    m_tip.MoveTo(m_pButton, QPoint(5, 5));
    m_tip.Advance(499);
    EXPECT_EQ(m_tip.GetState(), State::Armed);
    m_tip.Advance(1);
    EXPECT_EQ(m_tip.GetState(), State::Shown);
    EXPECT_EQ(m_tip.geometry().topLeft(), m_pButton->mapToGlobal(QPoint(5, 25)));
    EXPECT_EQ(m_tip.GetAccessibleText(), QStringLiteral("button tip"));  // the first tool decides
    m_tip.Advance(4999);
    EXPECT_EQ(m_tip.GetState(), State::Shown);
    m_tip.Advance(1);
    EXPECT_EQ(m_tip.GetState(), State::Dismissed);
    EXPECT_FALSE(m_tip.isVisible());

    m_tip.MoveTo(m_pButton, QPoint(20, 8));  // the same tool: not again
    m_tip.Advance(2000);
    EXPECT_EQ(m_tip.GetState(), State::Dismissed);
    m_tip.MoveTo(&m_parent, QPoint(150, 250));  // a place without a tool
    EXPECT_EQ(m_tip.GetState(), State::Idle);
    m_tip.MoveTo(m_pButton, QPoint(5, 5));
    EXPECT_EQ(m_tip.GetState(), State::Armed);
}

TEST_F(TipWindowTest, StaysWhileTheCursorIsOverItAndGoesWhenItLeaves) {
    ShowButtonTip();
    m_tip.CursorOverTip();
    m_tip.Advance(20000);
    EXPECT_EQ(m_tip.GetState(), State::Shown);
    m_tip.MoveTo(&m_parent, QPoint(150, 250));
    m_tip.Advance(500);
    EXPECT_EQ(m_tip.GetState(), State::Dismissed);
    EXPECT_FALSE(m_tip.isVisible());
    m_tip.MoveTo(&m_parent, QPoint(150, 251));
    EXPECT_EQ(m_tip.GetState(), State::Idle);
}

TEST_F(TipWindowTest, LeavingBeforeTheDelayWaitsUntilAnotherToolIsEntered) {
    m_tip.MoveTo(m_pButton, QPoint(5, 5));
    m_tip.MoveTo(&m_parent, QPoint(150, 250));
    m_tip.Advance(500);
    EXPECT_EQ(m_tip.GetState(), State::Waiting);
    m_tip.MoveTo(m_pButton, QPoint(6, 6));
    m_tip.Advance(1000);
    EXPECT_EQ(m_tip.GetState(), State::Waiting);
    m_tip.MoveTo(m_pInner, QPoint(5, 5));  // a child inside a tool belongs to it
    m_tip.Advance(500);
    EXPECT_EQ(m_tip.GetState(), State::Shown);
    EXPECT_EQ(m_tip.GetAccessibleText(), QStringLiteral("box tip"));
}

TEST_F(TipWindowTest, DisabledControlsShowTipsAndAnotherToolTakesOver) {
    ShowButtonTip();
    m_tip.MoveTo(m_pLamp, QPoint(5, 5));
    EXPECT_EQ(m_tip.GetState(), State::Armed);
    m_tip.Advance(500);
    EXPECT_EQ(m_tip.GetState(), State::Shown);
    EXPECT_EQ(m_tip.GetAccessibleText(), QStringLiteral("lamp tip"));
    // The poll finds the cursor in another tool although no move was relayed.
    m_tip.PutCursor(m_pButton, QPoint(5, 5));
    m_tip.Advance(500);
    EXPECT_EQ(m_tip.GetState(), State::Dismissed);
}

TEST_F(TipWindowTest, KeysAndClicksHideItButALeftClickOnTheTip) {
    struct {
        const char* pszName;
        QEvent::Type type;
        Qt::MouseButton button;
        bool bOnTip;
        bool bHides;
    } const arrCases[] = {
        {"left click on the tip", QEvent::MouseButtonPress, Qt::LeftButton, true, false},
        {"left click elsewhere", QEvent::MouseButtonPress, Qt::LeftButton, false, true},
        {"right click on the tip", QEvent::MouseButtonPress, Qt::RightButton, true, true},
        {"middle click", QEvent::MouseButtonPress, Qt::MiddleButton, false, true},
        {"double click", QEvent::MouseButtonDblClick, Qt::LeftButton, true, true},
        {"frame click", QEvent::NonClientAreaMouseButtonPress, Qt::LeftButton, false, true},
        {"key", QEvent::KeyPress, Qt::NoButton, true, true},
        {"key release", QEvent::KeyRelease, Qt::NoButton, true, true},
        {"input method", QEvent::InputMethod, Qt::NoButton, true, true},
    };
    for (const auto& c : arrCases) {
        m_tip.MoveTo(&m_parent, QPoint(150, 250));
        ShowButtonTip();
        if (c.bOnTip) {
            m_tip.CursorOverTip();
        }
        if (c.type == QEvent::InputMethod) {
            QInputMethodEvent typed(QStringLiteral("ni"), {});
            m_tip.RelayEvent(&typed);
        } else if (c.button == Qt::NoButton) {
            QKeyEvent key(c.type, Qt::Key_A, Qt::NoModifier);
            m_tip.RelayEvent(&key);
        } else {
            QMouseEvent click(c.type, QPointF(1, 1), QPointF(m_tip.geometry().center()), c.button,
                              c.button, Qt::NoModifier);
            m_tip.RelayEvent(&click);
        }
        EXPECT_EQ(m_tip.GetState(), c.bHides ? State::Dismissed : State::Shown) << c.pszName;
    }
}

// Black pixels in the left and right quarter of the tip's first text line.
std::pair<int, int> ArrowPixels(QWidget& tip) {
    const QImage image = tip.grab().toImage();
    int nLeft = 0;
    int nRight = 0;
    for (int y = 3; y < 3 + tip.fontMetrics().height(); ++y) {
        for (int x = 3; x < image.width() - 3; ++x) {
            if (image.pixelColor(x, y) != Qt::black) {
                continue;
            }
            if (x < image.width() / 4) {
                ++nLeft;
            } else if (x >= image.width() * 3 / 4) {
                ++nRight;
            }
        }
    }
    return {nLeft, nRight};
}

TEST_F(TipWindowTest, ACarriageReturnMakesTwoPagesThatAClickFlips) {
    TipToolInfo info;
    ASSERT_TRUE(m_tip.GetToolInfo(info, m_pButton));
    info.lpszText = QStringLiteral("first page\nline two\rsecond page\rnever shown");
    m_tip.SetToolInfo(info);
    m_tip.SetTipTextColor(RGB(0, 128, 255));
    ShowButtonTip();
    EXPECT_EQ(m_tip.GetAccessibleText(), QStringLiteral("first page\nline two\nsecond page"));
    auto [nLeft, nRight] = ArrowPixels(m_tip);
    EXPECT_EQ(nLeft, 0);
    EXPECT_GT(nRight, 3);

    m_tip.CursorOverTip();
    QTest::mouseClick(&m_tip, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(m_tip.GetState(), State::Shown);
    std::tie(nLeft, nRight) = ArrowPixels(m_tip);
    EXPECT_GT(nLeft, 3);
    EXPECT_EQ(nRight, 0);
    QTest::mouseClick(&m_tip, Qt::LeftButton, {}, QPoint(5, 5));
    std::tie(nLeft, nRight) = ArrowPixels(m_tip);
    EXPECT_EQ(nLeft, 0);

    // Without a page break: no arrow, and a click changes nothing.
    m_tip.MoveTo(m_pInner, QPoint(5, 5));
    m_tip.Advance(500);
    ASSERT_EQ(m_tip.GetAccessibleText(), QStringLiteral("box tip"));
    const QRect rcBefore = m_tip.geometry();
    m_tip.CursorOverTip();
    QTest::mouseClick(&m_tip, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(m_tip.geometry(), rcBefore);
    EXPECT_EQ(ArrowPixels(m_tip), std::make_pair(0, 0));
}

TEST_F(TipWindowTest, EmptyTextsShowNothingAndAskedForTextsAreAsked) {
    TipToolInfo info;
    ASSERT_TRUE(m_tip.GetToolInfo(info, m_pLamp));
    info.lpszText = std::nullopt;
    m_tip.SetToolInfo(info);
    m_tip.MoveTo(m_pLamp, QPoint(5, 5));
    m_tip.Advance(500);
    EXPECT_FALSE(m_tip.isVisible());  // nobody answers the question

    QWidget* pAsked = nullptr;
    m_tip.SetTextRequest([&pAsked](QWidget* pWnd, std::uint32_t) {
        pAsked = pWnd;
        return QStringLiteral("asked");
    });
    m_tip.MoveTo(m_pButton, QPoint(5, 5));
    m_tip.MoveTo(m_pLamp, QPoint(5, 5));
    m_tip.Advance(500);
    EXPECT_TRUE(m_tip.isVisible());
    EXPECT_EQ(pAsked, m_pLamp);
    EXPECT_EQ(m_tip.GetAccessibleText(), QStringLiteral("asked"));
}

TEST_F(TipWindowTest, ToolsFollowTheirControlsUnlessGivenARectangle) {
    EXPECT_EQ(m_tip.ToolFromPoint(QPoint(15, 65))->hWnd, m_pLamp);
    m_pLamp->move(300, 250);
    EXPECT_EQ(m_tip.ToolFromPoint(QPoint(15, 65)), nullptr);
    EXPECT_EQ(m_tip.ToolFromPoint(QPoint(305, 255))->hWnd, m_pLamp);

    auto* pPart = new QPushButton(&m_parent);
    pPart->setGeometry(100, 200, 100, 40);
    pPart->show();
    const QRect rcRightHalf(50, 0, 50, 40);
    m_tip.AddTool(pPart, QStringLiteral("right half"), &rcRightHalf);
    EXPECT_EQ(m_tip.ToolFromPoint(QPoint(120, 210)), nullptr);
    EXPECT_EQ(m_tip.ToolFromPoint(QPoint(170, 210))->hWnd, pPart);
    TipToolInfo info;
    ASSERT_TRUE(m_tip.GetToolInfo(info, pPart));
    EXPECT_EQ(info.rect, QRect(150, 200, 50, 40));
    EXPECT_FALSE(m_tip.GetToolInfo(info, pPart, 1));
}

TEST_F(TipWindowTest, DefaultsRetargetToolsThatStillHaveThem) {
    TipToolInfo info;
    ASSERT_TRUE(m_tip.GetToolInfo(info, m_pLamp));
    info.clrBk = RGB(1, 2, 3);
    info.nMaxWidth = 99;
    m_tip.SetToolInfo(info);
    EXPECT_EQ(m_tip.SetMaxTipWidth(240), 0);
    m_tip.SetTipBkColor(RGB(230, 255, 255));
    m_tip.SetTipTextColor(RGB(0, 128, 255));
    ASSERT_TRUE(m_tip.GetToolInfo(info, m_pButton));
    EXPECT_EQ(info.nMaxWidth, 240);
    EXPECT_EQ(info.clrBk, 0xFFFFE6u);
    EXPECT_EQ(info.clrText, 0xFF8000u);
    ASSERT_TRUE(m_tip.GetToolInfo(info, m_pLamp));
    EXPECT_EQ(info.nMaxWidth, 99);
    EXPECT_EQ(info.clrBk, RGB(1, 2, 3));
    EXPECT_EQ(info.clrText, 0xFF8000u);
    m_tip.AddTool(m_pInner, QStringLiteral("new"));
    ASSERT_TRUE(m_tip.GetToolInfo(info, m_pInner));
    EXPECT_EQ(info.nMaxWidth, 240);
}

TEST_F(TipWindowTest, TheBoxFitsTheWidestLineOrWrapsAtTheWidth) {
    const QFontMetrics fm(m_tip.font());
    const QString strLong = QStringLiteral("a much longer third line");
    const QSize size = m_tip.CalcTextRect(QStringLiteral("one\n\n") + strLong, 0);
    EXPECT_EQ(size.width(), fm.horizontalAdvance(strLong) + 5);
    EXPECT_GE(size.height(), 3 * fm.height() + 5);
    const QString strWords = QString(QStringLiteral("接收信息框点击右键进行功能操作")).repeated(4);
    const QSize sizeWrapped = m_tip.CalcTextRect(strWords, 240);
    EXPECT_LE(sizeWrapped.width(), 245);
    EXPECT_GE(sizeWrapped.height(), 2 * fm.height() + 5);
    // Short lines within the width: the box narrows to the widest of them.
    const QString strShort = QStringLiteral("Modem状态\n灰色图标表示处于无效状态");
    EXPECT_EQ(m_tip.CalcTextRect(strShort, 240).width(),
              fm.horizontalAdvance(QStringLiteral("灰色图标表示处于无效状态")) + 5);
}

TEST(TipPlacement, EdgesMoveTheTip) {
    const QRect rcScreen(0, 0, 1280, 800);
    const QRect rcTool(600, 700, 100, 80);
    struct {
        QPoint pt;
        QRect expected;
    } const arrCases[] = {
        {{100, 120}, QRect(100, 120, 200, 60)},    // room enough
        {{1200, 120}, QRect(1080, 120, 200, 60)},  // shifted left to the right edge
        {{620, 760}, QRect(620, 640, 200, 60)},    // above the tool, bottom on its top
        {{1250, 760}, QRect(1080, 640, 200, 60)},
    };
    for (const auto& c : arrCases) {
        EXPECT_EQ(PlaceTipRect(c.pt, QSize(200, 60), rcScreen, rcTool), c.expected);
    }
    EXPECT_EQ(PlaceTipRect({50, 10}, QSize(2000, 60), rcScreen, rcTool).left(), 0);
    EXPECT_EQ(ExtractField(QStringLiteral("a\rb\rc"), 2, u'\r'), QStringLiteral("c"));
    EXPECT_EQ(ExtractField(QStringLiteral("a\rb"), 2, u'\r'), QString());
}

TEST_F(TipWindowTest, AssistiveTechnologyReadsATooltipWithBothPages) {
    TipToolInfo info;
    ASSERT_TRUE(m_tip.GetToolInfo(info, m_pButton));
    info.lpszText = QStringLiteral("one\rtwo");
    m_tip.SetToolInfo(info);
    ShowButtonTip();
    QAccessibleInterface* pAcc = QAccessible::queryAccessibleInterface(&m_tip);
    ASSERT_NE(pAcc, nullptr);
    EXPECT_EQ(pAcc->role(), QAccessible::ToolTip);
    EXPECT_EQ(pAcc->text(QAccessible::Name), QStringLiteral("one\ntwo"));
}

}  // namespace
