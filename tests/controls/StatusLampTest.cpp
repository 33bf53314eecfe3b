// CStatusLamp as assistive technology reads it. (Its change announcements need a platform with
// accessibility: the offscreen platform of the tests drops them.)
#include <gtest/gtest.h>

#include <QAccessible>

#include "Resources.h"
#include "StatusLamp.h"

namespace {

TEST(StatusLamp, ReportsItsStateAsACheckableReadOnlyButton) {
    CStatusLamp lamp(IDB_CTS_OFF, IDB_CTS_ON);
    lamp.setText("CTS");
    lamp.setEnabled(false);
    QAccessibleInterface* pAccessible = QAccessible::queryAccessibleInterface(&lamp);
    ASSERT_NE(pAccessible, nullptr);
    EXPECT_EQ(pAccessible->role(), QAccessible::Button);
    EXPECT_EQ(pAccessible->text(QAccessible::Name), "CTS");
    EXPECT_TRUE(pAccessible->state().checkable);
    EXPECT_TRUE(pAccessible->state().readOnly);
    EXPECT_FALSE(pAccessible->state().checked);
    EXPECT_EQ(pAccessible->text(QAccessible::Description), QString::fromUtf8("无效"));
    EXPECT_EQ(lamp.Bitmap(), IDB_CTS_OFF);

    lamp.SetLit(true);
    EXPECT_TRUE(pAccessible->state().checked);
    EXPECT_EQ(pAccessible->text(QAccessible::Description), QString::fromUtf8("有效"));
    EXPECT_EQ(lamp.Bitmap(), IDB_CTS_ON);
}

}  // namespace
