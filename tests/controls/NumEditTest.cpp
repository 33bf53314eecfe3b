// CNumEdit driven like a user drives it: keys typed into a real widget, text pasted through the
// clipboard, values set and read through its public operations.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QTest>
#include <cstdint>

#include "NumEdit.h"

namespace {

constexpr int kOtherMode = 5;

// One key press and release carrying a typed text, as a keyboard or input method delivers it.
void TypeChar(QWidget* pWidget, QChar ch) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(ch));
    QApplication::sendEvent(pWidget, &press);
    QApplication::sendEvent(pWidget, &release);
}

struct TypingRow {
    const char* pszName;
    int nMode;
    int nMaxDigits;
    const char* pszStart;
    bool bSelectAll;
    const char* pszTyped;
    const char* pszExpected;
};

const TypingRow kTyping[] = {
    {"SixthDigitIntoFiveDigitDecimalIsDropped", 0, 5, "12345", false, "6", "12345"},
    {"LetterInDecimalIsDropped", 0, 5, "", false, "1a2", "12"},
    {"BlanksAndPunctuationAreDropped", 0, 5, "", false, " 1-2.3+", "123"},
    {"DecimalStopsAtTheLimitWhileTyping", 0, 5, "", false, "1234567", "12345"},
    {"FullFieldDropsEvenAnInvalidCharacter", 0, 5, "12345", false, "x", "12345"},
    {"HexTakesLowerCaseAsUpperCase", 1, 8, "", false, "ff0a", "FF0A"},
    {"HexDropsLettersAfterF", 1, 8, "", false, "fgz1G", "F1"},
    {"HexKeepsUpperCaseDigits", 1, 8, "", false, "ABCDEF09", "ABCDEF09"},
    {"OctalDropsEightAndNine", 2, 8, "", false, "7893", "73"},
    {"OtherModeTakesAnyCharacterUpperCased", kOtherMode, 8, "", false, "a-b z", "A-B Z"},
    {"TypingOverASelectionInAFullFieldReplacesIt", 0, 5, "12345", true, "9", "9"},
    {"InvalidCharacterOverASelectionKeepsTheText", 0, 5, "12345", true, "q", "12345"},
};

class NumEditTypingTest : public ::testing::TestWithParam<TypingRow> {};

TEST_P(NumEditTypingTest, ShowsOnlyWhatTheFilterLets) {
    const TypingRow& row = GetParam();
    CNumEdit edit;
    edit.Configure(row.nMode, row.nMaxDigits, false);
    edit.setText(row.pszStart);
    edit.end(false);
    if (row.bSelectAll) {
        edit.selectAll();
    }
    QTest::keyClicks(&edit, row.pszTyped);
    EXPECT_EQ(edit.text(), QString(row.pszExpected));
}

INSTANTIATE_TEST_SUITE_P(Typing, NumEditTypingTest, ::testing::ValuesIn(kTyping),
                         [](const auto& info) { return std::string(info.param.pszName); });

TEST(NumEdit, StartsAsEightDigitHexWithoutPaddingRightAligned) {
    CNumEdit edit;
    EXPECT_EQ(edit.Mode(), CNumEdit::MODE_HEX);
    EXPECT_EQ(edit.MaxDigits(), 8);
    EXPECT_FALSE(edit.ZeroPad());
    EXPECT_TRUE(edit.alignment() & Qt::AlignRight);
}

TEST(NumEdit, NonAsciiCharactersAreDroppedInTheNumberModes) {
    CNumEdit edit;
    edit.Configure(CNumEdit::MODE_DECIMAL, 5, false);
    TypeChar(&edit, u'1');
    TypeChar(&edit, QChar(0x4E2D));  // a Chinese character
    TypeChar(&edit, QChar(0xFF12));  // a full-width two
    TypeChar(&edit, u'2');
    EXPECT_EQ(edit.text(), "12");
}

TEST(NumEdit, BackspaceAndDeleteWorkInAFullField) {
    CNumEdit edit;
    edit.Configure(CNumEdit::MODE_DECIMAL, 5, false);
    edit.setText("12345");
    edit.end(false);
    QTest::keyClick(&edit, Qt::Key_Backspace);
    EXPECT_EQ(edit.text(), "1234");
    QTest::keyClick(&edit, Qt::Key_5);
    QTest::keyClick(&edit, Qt::Key_Home);
    QTest::keyClick(&edit, Qt::Key_Delete);
    EXPECT_EQ(edit.text(), "2345");
}

TEST(NumEdit, DigitTypedAtTheStartOfAFullFieldIsDropped) {
    CNumEdit edit;
    edit.Configure(CNumEdit::MODE_DECIMAL, 5, false);
    edit.setText("12345");
    edit.home(false);
    QTest::keyClick(&edit, Qt::Key_9);
    EXPECT_EQ(edit.text(), "12345");
}

TEST(NumEdit, NavigationKeysWorkInAFullField) {
    CNumEdit edit;
    edit.Configure(CNumEdit::MODE_DECIMAL, 5, false);
    edit.setText("12345");
    edit.end(false);
    QTest::keyClick(&edit, Qt::Key_Left);
    QTest::keyClick(&edit, Qt::Key_Left);
    EXPECT_EQ(edit.cursorPosition(), 3);
    QTest::keyClick(&edit, Qt::Key_Home);
    EXPECT_EQ(edit.cursorPosition(), 0);
    QTest::keyClick(&edit, Qt::Key_End, Qt::ShiftModifier);
    EXPECT_EQ(edit.selectedText(), "12345");
}

TEST(NumEdit, PasteKeepsOnlyValidDigitsUpToTheLimit) {
    CNumEdit edit;
    edit.Configure(CNumEdit::MODE_DECIMAL, 5, false);
    QApplication::clipboard()->setText("12ab 34567");
    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit.text(), "12345");
}

TEST(NumEdit, PastedHexIsUpperCased) {
    CNumEdit edit;
    edit.Configure(CNumEdit::MODE_HEX, 8, false);
    edit.setText("1");
    edit.end(false);
    QApplication::clipboard()->setText("ff-xe");
    edit.paste();
    EXPECT_EQ(edit.text(), "1FFE");
    EXPECT_EQ(edit.cursorPosition(), 4);
}

TEST(NumEdit, PasteIntoTheMiddleKeepsTheCursorAfterThePastedDigits) {
    CNumEdit edit;
    edit.Configure(CNumEdit::MODE_DECIMAL, 8, false);
    edit.setText("19");
    edit.setCursorPosition(1);
    QApplication::clipboard()->setText("2x3");
    edit.paste();
    EXPECT_EQ(edit.text(), "1239");
    EXPECT_EQ(edit.cursorPosition(), 3);
}

TEST(NumEdit, SetTextIsFilteredLikeTyping) {
    CNumEdit edit;
    edit.Configure(CNumEdit::MODE_DECIMAL, 5, false);
    edit.setText("12x");
    EXPECT_EQ(edit.text(), "12");
    EXPECT_EQ(edit.GetValue(), 12u);
}

TEST(NumEdit, ConfigureFiltersTheShownTextByTheNewRules) {
    CNumEdit edit;
    edit.setText("FF123456");
    edit.Configure(CNumEdit::MODE_DECIMAL, 5, false);
    EXPECT_EQ(edit.text(), "12345");
}

TEST(NumEdit, ConfigureClampsTheDigitLimitToOneToThirtyTwo) {
    CNumEdit edit;
    edit.Configure(CNumEdit::MODE_DECIMAL, 0, false);
    EXPECT_EQ(edit.MaxDigits(), 1);
    edit.Configure(CNumEdit::MODE_DECIMAL, -7, true);
    EXPECT_EQ(edit.MaxDigits(), 1);
    edit.Configure(CNumEdit::MODE_OCTAL, 1000, true);
    EXPECT_EQ(edit.MaxDigits(), 32);
    EXPECT_EQ(edit.Mode(), CNumEdit::MODE_OCTAL);
    EXPECT_TRUE(edit.ZeroPad());
}

struct GetValueRow {
    const char* pszName;
    int nMode;
    int nMaxDigits;
    const char* pszText;
    std::uint32_t dwExpected;
};

const GetValueRow kGetValue[] = {
    {"EmptyTextIsZero", 0, 5, "", 0},
    {"DecimalDigits", 0, 5, "12345", 12345},
    {"LeadingDigitsBeforeALetterInDecimal", 0, 5, "12x", 12},
    {"HexFF", 1, 8, "FF", 255},
    {"HexLowerCaseTextIsRead", 1, 8, "ff", 255},
    {"HexAllOnes", 1, 8, "FFFFFFFF", 0xFFFFFFFFu},
    {"OctalSeventeen", 2, 8, "17", 15},
    {"LeadingZerosDoNotMatter", 0, 5, "00042", 42},
    {"LargestDecimal", 0, 10, "4294967295", 0xFFFFFFFFu},
    {"DecimalBeyond32BitsSaturates", 0, 10, "4294967296", 0xFFFFFFFFu},
    {"ManyDigitsSaturate", 0, 32, "99999999999999999999", 0xFFFFFFFFu},
    {"OtherModeReadsZero", kOtherMode, 8, "12", 0},
};

class NumEditGetValueTest : public ::testing::TestWithParam<GetValueRow> {};

TEST_P(NumEditGetValueTest, ReadsTheLeadingDigits) {
    const GetValueRow& row = GetParam();
    CNumEdit edit;
    edit.Configure(row.nMode, row.nMaxDigits, false);
    edit.setText(row.pszText);
    EXPECT_EQ(edit.GetValue(), row.dwExpected);
}

INSTANTIATE_TEST_SUITE_P(Values, NumEditGetValueTest, ::testing::ValuesIn(kGetValue),
                         [](const auto& info) { return std::string(info.param.pszName); });

struct SetValueRow {
    const char* pszName;
    int nMode;
    int nMaxDigits;
    bool bZeroPad;
    std::uint32_t dwValue;
    const char* pszExpected;
    bool bExpected;
};

const SetValueRow kSetValue[] = {
    {"FitsInDecimal", 0, 5, false, 100, "100", true},
    {"SixDigitsInFiveDigitDecimalShowTheLastFive", 0, 5, false, 123456, "23456", false},
    {"ZeroShowsAsZero", 0, 5, false, 0, "0", true},
    {"ZeroPadFillsToTheLimit", 0, 5, true, 42, "00042", true},
    {"ZeroPadOfAFullValueAddsNothing", 0, 5, true, 99999, "99999", true},
    {"CutValueIsNotPadded", 0, 5, true, 1234567, "34567", false},
    {"HexIsUpperCase", 1, 8, false, 0xDEADBEEF, "DEADBEEF", true},
    {"HexZeroPad", 1, 8, true, 255, "000000FF", true},
    {"OctalEight", 2, 3, false, 8, "10", true},
    {"OctalLargestInThreeDigits", 2, 3, false, 511, "777", true},
    {"OctalTooLongShowsTheLastDigits", 2, 3, false, 512, "000", false},
    {"LargeValuesShowUnsigned", 0, 10, false, 0xFFFFFFFFu, "4294967295", true},
};

class NumEditSetValueTest : public ::testing::TestWithParam<SetValueRow> {};

TEST_P(NumEditSetValueTest, ShowsTheValueAndReportsACut) {
    const SetValueRow& row = GetParam();
    CNumEdit edit;
    edit.Configure(row.nMode, row.nMaxDigits, row.bZeroPad);
    EXPECT_EQ(edit.SetValue(row.dwValue), row.bExpected);
    EXPECT_EQ(edit.text(), QString(row.pszExpected));
}

INSTANTIATE_TEST_SUITE_P(Values, NumEditSetValueTest, ::testing::ValuesIn(kSetValue),
                         [](const auto& info) { return std::string(info.param.pszName); });

TEST(NumEdit, SetValueInAnotherModeFailsAndKeepsTheText) {
    CNumEdit edit;
    edit.Configure(kOtherMode, 8, false);
    edit.setText("AB");
    EXPECT_FALSE(edit.SetValue(7));
    EXPECT_EQ(edit.text(), "AB");
}

TEST(NumEdit, ValueSurvivesARoundTripInEveryMode) {
    for (int nMode : {CNumEdit::MODE_DECIMAL, CNumEdit::MODE_HEX, CNumEdit::MODE_OCTAL}) {
        CNumEdit edit;
        edit.Configure(nMode, 11, true);
        ASSERT_TRUE(edit.SetValue(3000000000u)) << nMode;
        EXPECT_EQ(edit.GetValue(), 3000000000u) << nMode;
    }
}

}  // namespace
