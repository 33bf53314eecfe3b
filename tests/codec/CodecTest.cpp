#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Codec.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ToBytes(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

// ---- Renderings of received bytes ----

struct SRenderRow {
    const char* pszName;
    std::string bytes;
    bool bLfToCrLf;
    std::string strExpected;
};

class HexTextTest : public testing::TestWithParam<SRenderRow> {};

TEST_P(HexTextTest, GivesThreeCharactersPerByte) {
    const SRenderRow& row = GetParam();
    const Bytes bytes = ToBytes(row.bytes);
    EXPECT_EQ(BytesToHexText(bytes.data(), bytes.size()), row.strExpected);
}

INSTANTIATE_TEST_SUITE_P(
    Codec, HexTextTest,
    testing::Values(SRenderRow{"UpperCaseWithLeadingZeroAndTrailingBlank",
                               std::string("\x00\x0A\x41\xFF", 4), false, "00 0A 41 FF "},
                    SRenderRow{"NoBytesGiveEmptyText", "", false, ""},
                    SRenderRow{"LineBreakBytesStayHexPairs", "\r\n", false, "0D 0A "},
                    SRenderRow{"HighBytes", "\x80\xB0\xA1", false, "80 B0 A1 "}),
    [](const auto& info) { return info.param.pszName; });

class DisplayTextTest : public testing::TestWithParam<SRenderRow> {};

TEST_P(DisplayTextTest, GivesOneCharacterPerByte) {
    const SRenderRow& row = GetParam();
    const Bytes bytes = ToBytes(row.bytes);
    EXPECT_EQ(BytesToDisplayText(bytes.data(), bytes.size(), row.bLfToCrLf), row.strExpected);
}

INSTANTIATE_TEST_SUITE_P(
    Codec, DisplayTextTest,
    testing::Values(
        SRenderRow{"NulShowsAsDot", std::string("A\0B", 3), true, "A.B"},
        SRenderRow{"NulShowsAsDotWithoutOption", std::string("\0\0", 2), false, ".."},
        SRenderRow{"LfGetsCrWithOption", "A\nB", true, "A\r\nB"},
        SRenderRow{"LfAloneWithoutOption", "A\nB", false, "A\nB"},
        SRenderRow{"CrLfBecomesCrCrLfWithOption", "\r\n", true, "\r\r\n"},
        SRenderRow{"LoneCrStaysLone", "A\rB", true, "A\rB"},
        SRenderRow{"OtherControlBytesUnchanged", "\x01\x1B\x7F\t", true, "\x01\x1B\x7F\t"},
        SRenderRow{"GbkBytesPassUnchanged", "\xC4\xE3\xBA\xC3", true, "\xC4\xE3\xBA\xC3"},
        SRenderRow{"NoBytesGiveEmptyText", "", true, ""}),
    [](const auto& info) { return info.param.pszName; });

TEST(CodecAppend, AppendsExactlyWhatTheRenderingsReturn) {
    const Bytes bytes = ToBytes(std::string("a\0\n\r\xFF", 5));
    std::string strHex = "old ";
    AppendHexText(strHex, bytes.data(), bytes.size());
    EXPECT_EQ(strHex, "old " + BytesToHexText(bytes.data(), bytes.size()));
    std::string strText = "old ";
    AppendDisplayText(strText, bytes.data(), bytes.size(), true);
    EXPECT_EQ(strText, "old " + BytesToDisplayText(bytes.data(), bytes.size(), true));
}

TEST(CodecAppend, NothingToAppendLeavesTextAndAcceptsNullBuffer) {
    std::string strText = "kept";
    AppendHexText(strText, nullptr, 0);
    AppendDisplayText(strText, nullptr, 0, true);
    EXPECT_EQ(strText, "kept");
}

TEST(CodecRender, WholeReceiveBufferOfEveryByteValue) {
    Bytes bytes(kRxBufferSize);
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        bytes[n] = static_cast<std::uint8_t>(n);
    }
    const std::string strHex = BytesToHexText(bytes.data(), bytes.size());
    ASSERT_EQ(strHex.size(), 3 * kRxBufferSize);
    EXPECT_EQ(strHex.substr(0, 9), "00 01 02 ");
    EXPECT_EQ(strHex.substr(strHex.size() - 6), "FE FF ");
    const std::string strText = BytesToDisplayText(bytes.data(), bytes.size(), true);
    EXPECT_EQ(strText.size(), kRxBufferSize + kRxBufferSize / 256);  // one CR per LF
    EXPECT_EQ(std::count(strText.begin(), strText.end(), '\0'), 0);
}

// ---- Send text to bytes ----

struct SSendRow {
    const char* pszName;
    std::string strText;
    bool bHexMode;
    std::string bytes;
};

class SendBytesTest : public testing::TestWithParam<SSendRow> {};

TEST_P(SendBytesTest, ConvertsTrimmedText) {
    const SSendRow& row = GetParam();
    EXPECT_EQ(TextToSendBytes(row.strText, row.bHexMode), ToBytes(row.bytes));
}

INSTANTIATE_TEST_SUITE_P(
    TextMode, SendBytesTest,
    testing::Values(SSendRow{"TrimsBlanksAndLineBreaks", "  hello\r\n", false, "hello"},
                    SSendRow{"KeepsInnerLineBreaksAsCrLf", "a\r\nb", false, "a\r\nb"},
                    SSendRow{"TrimsEveryWhiteSpaceByte", "\t\v\f\r\n x \t\v\f\r\n", false, "x"},
                    SSendRow{"KeepsInnerWhiteSpace", "a \t b", false, "a \t b"},
                    SSendRow{"OnlyBlanksAndLineBreaksGiveNothing", " \r\n \t", false, ""},
                    SSendRow{"EmptyGivesNothing", "", false, ""},
                    SSendRow{"NulAndHighBytesPass", std::string("\xC4\xE3\0\x80", 4), false,
                             std::string("\xC4\xE3\0\x80", 4)},
                    SSendRow{"OtherControlBytesAreNotTrimmed", "\x01 a\x1F", false, "\x01 a\x1F"}),
    [](const auto& info) { return info.param.pszName; });

INSTANTIATE_TEST_SUITE_P(
    HexMode, SendBytesTest,
    testing::Values(SSendRow{"BlankSeparatedPairs", "34 AF 8C 9F 90", true, "\x34\xAF\x8C\x9F\x90"},
                    SSendRow{"RunsOfBlanksAndLowerCase", "34  af", true, "\x34\xAF"},
                    SSendRow{"TokenKeepsItsLastTwoCharacters", "1 22 333", true, "\x01\x22\x33"},
                    SSendRow{"LowerCasePair", "ff", true, "\xFF"},
                    SSendRow{"SingleDigit", "F", true, "\x0F"},
                    SSendRow{"LineBreakWithoutBlankDoesNotSeparate", "34\r\nAF", true, "\xAF"},
                    SSendRow{"TabDoesNotSeparate", "34\tAF", true, "\xAF"},
                    SSendRow{"TokenIsTrimmedBeforeReading", "34\r\n AF", true, "\x34\xAF"},
                    SSendRow{"TokenEndingInTabIsTrimmed", "12\t 34", true, "\x12\x34"},
                    SSendRow{"NonDigitsGiveZero", "zz 12", true, std::string("\x00\x12", 2)},
                    SSendRow{"NonDigitLastLeavesValueUnshifted", "3G", true, "\x03"},
                    SSendRow{"OnlyBlanksAndLineBreaksGiveNothing", " \r\n ", true, ""},
                    SSendRow{"SurroundingWhiteSpaceIgnored", "\r\n\t 41 42 \r\n", true, "AB"},
                    SSendRow{"LoneWhiteSpaceBetweenBlanksIsNoToken", "41 \t 42", true, "AB"},
                    SSendRow{"DoubleByteCharacterIsNoDigit", "\xC4\xE3 41", true,
                             std::string("\x00\x41", 2)},
                    SSendRow{"NulIsNoDigit", std::string("4\0", 2), true, "\x04"}),
    [](const auto& info) { return info.param.pszName; });

std::string Tokens(std::size_t nCount, const std::string& strFirst, const std::string& strRest) {
    std::string strText;
    for (std::size_t n = 0; n < nCount; ++n) {
        strText += n < kMaxSendBytes ? strFirst : strRest;
        strText += ' ';
    }
    return strText;
}

TEST(HexSend, StopsAfterTheFirst1024Tokens) {
    const std::vector<std::uint8_t> bytes = TextToSendBytes(Tokens(1100, "5A", "11"), true);
    ASSERT_EQ(bytes.size(), kMaxSendBytes);
    EXPECT_TRUE(std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0x5A; }));
}

TEST(HexSend, Exactly1024TokensAreAllSent) {
    EXPECT_EQ(TextToSendBytes(Tokens(kMaxSendBytes, "01", ""), true).size(), kMaxSendBytes);
}

TEST(TextSend, LongTextIsSentWholeNeverCut) {
    std::string strText(5 * 1024 * 1024, 'x');
    strText[0] = 'a';
    strText.back() = 'z';
    const std::vector<std::uint8_t> bytes = TextToSendBytes(" " + strText + "\r\n", false);
    ASSERT_EQ(bytes.size(), strText.size());
    EXPECT_EQ(bytes.front(), 'a');
    EXPECT_EQ(bytes.back(), 'z');
}

TEST(HexSend, HugeSingleTokenGivesOneByte) {
    std::string strText(4 * 1024 * 1024, '7');
    strText.back() = 'e';
    EXPECT_EQ(TextToSendBytes(strText, true), Bytes{0x7E});
}

// ---- One token to one byte ----

struct STokenRow {
    const char* pszName;
    std::string strToken;
    std::uint8_t nByte;
};

class HexTokenTest : public testing::TestWithParam<STokenRow> {};

TEST_P(HexTokenTest, ReadsTheLastTwoCharacters) {
    EXPECT_EQ(HexTokenToByte(GetParam().strToken), GetParam().nByte);
}

INSTANTIATE_TEST_SUITE_P(
    Codec, HexTokenTest,
    testing::Values(STokenRow{"Pair", "41", 0x41}, STokenRow{"LowerCase", "af", 0xAF},
                    STokenRow{"MixedCase", "aF", 0xAF}, STokenRow{"SingleDigit", "7", 0x07},
                    STokenRow{"SingleNonDigit", "G", 0x00},
                    STokenRow{"NonDigitLastUnshifted", "1G", 0x01},
                    STokenRow{"NonDigitFirstCountsZero", "G5", 0x05},
                    STokenRow{"NoDigits", "GG", 0x00}, STokenRow{"FourDigits", "1234", 0x34},
                    STokenRow{"ThreeDigits", "ABC", 0xBC}, STokenRow{"CPrefix", "0x41", 0x41},
                    STokenRow{"EmptyToken", "", 0x00},
                    STokenRow{"LettersBeyondFAreNoDigits", "gz", 0x00},
                    // A double-byte GBK character is one character and never a digit, even when
                    // its trail byte is an ASCII letter or digit.
                    STokenRow{"DoubleByteCharacterAlone", "\xB0\x61", 0x00},
                    STokenRow{"DoubleByteWithUpperTrail", "\xB0\x41", 0x00},
                    STokenRow{"DigitBeforeDoubleByte", "1\xB0\x41", 0x01},
                    STokenRow{"DoubleByteBeforeDigit",
                              "\xB0\x41"
                              "5",
                              0x05},
                    STokenRow{"DoubleByteThenPair",
                              "\xC4\xE3"
                              "3c",
                              0x3C},
                    STokenRow{"PairingStartsFromTheFront", "\xB0\xB0\x41", 0x0A},
                    // Bytes that pair with nothing stand alone and are no digits.
                    STokenRow{"LeadByteAtEnd", "4\xB0", 0x04},
                    STokenRow{"LeadByteBeforeNonTrail",
                              "\xB0"
                              "3",
                              0x03},
                    STokenRow{"Byte80IsNoLead",
                              "\x80"
                              "A",
                              0x0A},
                    STokenRow{"ByteFFIsNoLead",
                              "\xFF"
                              "A",
                              0x0A},
                    STokenRow{"SingleHighByte", "\xB0", 0x00}),
    [](const auto& info) { return info.param.pszName; });

}  // namespace
