#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "IniText.h"

namespace {

struct SFindRow {
    const char* pszName;
    std::string strContent;
    const char* pszSection;
    const char* pszKey;
    std::optional<std::string> value;
};

class IniFindTest : public testing::TestWithParam<SFindRow> {};

TEST_P(IniFindTest, FindsTheValue) {
    const SFindRow& row = GetParam();
    const CIniText text(row.strContent);
    const std::optional<std::string_view> found = text.Find(row.pszSection, row.pszKey);
    ASSERT_EQ(found.has_value(), row.value.has_value());
    if (found) {
        EXPECT_EQ(*found, *row.value);
    }
}

const std::nullopt_t kMissing = std::nullopt;

INSTANTIATE_TEST_SUITE_P(
    IniText, IniFindTest,
    testing::Values(
        SFindRow{"PlainKey", "[PORT]\nCOM=3\n", "PORT", "COM", "3"},
        SFindRow{"NamesIgnoreCase", "[port]\ncom=3\n", "PORT", "Com", "3"},
        SFindRow{"FirstOfDuplicatedKeysWins", "[A]\nk=1\nK=2\n", "A", "k", "1"},
        SFindRow{"FirstOfDuplicatedSectionsWins", "[A]\nk=1\n[a]\nk=2\n", "A", "k", "1"},
        SFindRow{"KeysOfALaterDuplicateSectionAreNotSeen", "[A]\nk=1\n[a]\nj=2\n", "A", "j",
                 kMissing},
        SFindRow{"BlanksAroundEquals", "[A]\n  k \t=  7\n", "A", "k", "7"},
        SFindRow{"TrailingBlanksAfterValue", "[A]\nk=7 \t \n", "A", "k", "7"},
        SFindRow{"InnerBlanksOfValueKept", "[A]\nk=a b\n", "A", "k", "a b"},
        SFindRow{"ValueKeepsLaterEquals", "[A]\nk=a=b\n", "A", "k", "a=b"},
        SFindRow{"EmptyValue", "[A]\nk=\n", "A", "k", ""},
        SFindRow{"KeyBeforeAnySectionBelongsToNone", "k=1\n[A]\nj=2\n", "A", "k", kMissing},
        SFindRow{"SectionEndsAtNextHeader", "[A]\n[B]\nk=1\n", "A", "k", kMissing},
        SFindRow{"SectionHeaderWithBlanks", " [ A ] \nk=1\n", "A", "k", "1"},
        SFindRow{"TextAfterClosingBracketIgnored", "[A] ; port\nk=1\n", "A", "k", "1"},
        SFindRow{"UnclosedBracketOpensNoSection", "[A]\n[B\nk=1\n", "B", "k", kMissing},
        SFindRow{"UnclosedBracketLineKeepsSection", "[A]\n[B\nk=1\n", "A", "k", "1"},
        SFindRow{"CommentIsNoKey", "[A]\n;k=1\n", "A", "k", kMissing},
        SFindRow{"LineWithoutEqualsIsNoKey", "[A]\nk\n", "A", "k", kMissing},
        SFindRow{"CrLfLineEnds", "[A]\r\nk=1\r\n", "A", "k", "1"},
        SFindRow{"LoneCrLineEnds", "[A]\rk=1\rj=2", "A", "j", "2"},
        SFindRow{"NoFinalLineEnd", "[A]\nk=1", "A", "k", "1"},
        SFindRow{"ByteOrderMarkBeforeFirstSection", "\xEF\xBB\xBF[A]\nk=1\n", "A", "k", "1"},
        SFindRow{"NulBytesInOtherLines", std::string("[A]\n\0\0junk\x01\nk=1\n", 17), "A", "k",
                 "1"},
        SFindRow{"MissingSection", "[A]\nk=1\n", "B", "k", kMissing},
        SFindRow{"EmptyText", "", "A", "k", kMissing}),
    [](const auto& info) { return info.param.pszName; });

struct SSetRow {
    const char* pszName;
    std::string strBefore;
    const char* pszSection;
    const char* pszKey;
    const char* pszValue;
    std::string strAfter;
};

class IniSetTest : public testing::TestWithParam<SSetRow> {};

TEST_P(IniSetTest, ChangesOnlyOneLine) {
    const SSetRow& row = GetParam();
    CIniText text(row.strBefore);
    text.Set(row.pszSection, row.pszKey, row.pszValue);
    EXPECT_EQ(text.GetContent(), row.strAfter);
    EXPECT_EQ(text.Find(row.pszSection, row.pszKey), std::string_view(row.pszValue));
}

INSTANTIATE_TEST_SUITE_P(
    IniText, IniSetTest,
    testing::Values(
        SSetRow{"CreatesSectionAndKey", "", "A", "k", "1", "[A]\nk=1\n"},
        SSetRow{"ReplacesOnlyTheValue", "; note\n[A]\nx=0\nk=5\ny=9\n", "A", "k", "77",
                "; note\n[A]\nx=0\nk=77\ny=9\n"},
        SSetRow{"KeepsKeySpellingAndBlanksBeforeValue", "[A]\n  Key =  5  \n", "a", "KEY", "7",
                "[A]\n  Key =  7\n"},
        SSetRow{"FillsAnEmptyValue", "[A]\nk=\n", "A", "k", "3", "[A]\nk=3\n"},
        SSetRow{"NewKeyAfterLastNonBlankLineOfSection", "[A]\nx=1\n\n[B]\n", "A", "k", "2",
                "[A]\nx=1\nk=2\n\n[B]\n"},
        SSetRow{"NewKeyAfterTrailingComment", "[A]\nx=1\n; end\n\n[B]\n", "A", "k", "2",
                "[A]\nx=1\n; end\nk=2\n\n[B]\n"},
        SSetRow{"NewKeyRightAfterHeaderOfEmptySection", "[A]\n[B]\n", "A", "k", "2",
                "[A]\nk=2\n[B]\n"},
        SSetRow{"NewKeyInFirstOfDuplicatedSections", "[A]\nx=1\n[a]\nk=9\n", "A", "k", "2",
                "[A]\nx=1\nk=2\n[a]\nk=9\n"},
        SSetRow{"NewSectionAtEnd", "[A]\nx=1\n", "B", "k", "2", "[A]\nx=1\n[B]\nk=2\n"},
        SSetRow{"NewSectionAfterMissingFinalLineEnd", "[A]\nx=1", "B", "k", "2",
                "[A]\nx=1\n[B]\nk=2\n"},
        SSetRow{"NewKeyAfterMissingFinalLineEnd", "[A]\r\nx=1", "A", "k", "2",
                "[A]\r\nx=1\r\nk=2\r\n"},
        SSetRow{"KeepsCrLf", "[A]\r\nx=1\r\n", "A", "k", "2", "[A]\r\nx=1\r\nk=2\r\n"},
        SSetRow{"KeepsLoneCr", "[A]\rx=1\r", "B", "k", "2", "[A]\rx=1\r[B]\rk=2\r"},
        SSetRow{"NewLineTakesLineEndOfTheLineBefore", "[A]\r\nx=1\n[B]\r\n", "A", "k", "2",
                "[A]\r\nx=1\nk=2\n[B]\r\n"},
        SSetRow{"ByteOrderMarkKept", "\xEF\xBB\xBF[A]\nx=1\n", "A", "x", "2",
                "\xEF\xBB\xBF[A]\nx=2\n"},
        SSetRow{"ByteOrderMarkAlone", "\xEF\xBB\xBF", "A", "k", "1", "\xEF\xBB\xBF[A]\nk=1\n"},
        SSetRow{"KeyBeforeAnySectionUntouched", "k=1\n", "A", "k", "2", "k=1\n[A]\nk=2\n"},
        SSetRow{"BlankLinesOnly", "\n\n", "A", "k", "2", "\n\n[A]\nk=2\n"}),
    [](const auto& info) { return info.param.pszName; });

struct SStoreRow {
    const char* pszName;
    std::string strSection;
    std::string strKey;
    std::string strValue;
    bool bStorable;
};

class IniCanStoreTest : public testing::TestWithParam<SStoreRow> {};

TEST_P(IniCanStoreTest, AcceptsOnlyWhatReadsBack) {
    const SStoreRow& row = GetParam();
    EXPECT_EQ(CIniText::CanStore(row.strSection, row.strKey, row.strValue), row.bStorable);
}

INSTANTIATE_TEST_SUITE_P(
    IniText, IniCanStoreTest,
    testing::Values(SStoreRow{"Plain", "PORT", "COM", "1", true},
                    SStoreRow{"PlacementText", "Pelimar", "WindowPlacement", "0,0,10,10,1,0", true},
                    SStoreRow{"EmptyValue", "A", "k", "", true},
                    SStoreRow{"EmptySection", "", "k", "1", false},
                    SStoreRow{"EmptyKey", "A", "", "1", false},
                    SStoreRow{"SectionWithBracket", "A]", "k", "1", false},
                    SStoreRow{"KeyWithEquals", "A", "k=", "1", false},
                    SStoreRow{"KeyLikeSection", "A", "[k", "1", false},
                    SStoreRow{"KeyLikeComment", "A", ";k", "1", false},
                    SStoreRow{"NameWithSurroundingBlank", "A", " k", "1", false},
                    SStoreRow{"NameWithNul", std::string("A\0", 2), "k", "1", false},
                    SStoreRow{"ValueWithLineFeed", "A", "k", "1\n[B]", false},
                    SStoreRow{"ValueWithCarriageReturn", "A", "k", "1\r", false},
                    SStoreRow{"ValueWithBlanks", "A", "k", " a b\tc\v", true}),
    [](const auto& info) { return info.param.pszName; });

}  // namespace
