// The text log's lines: times from the read that brought each line's first byte, line breaks and
// caret notation as the receive box's text mode shows them, decoding across pieces.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "TextLog.h"

namespace {

// Local times are those of UTC in these tests.
const bool g_bUtc = [] {
    setenv("TZ", "UTC", 1);
    tzset();
    return true;
}();

ReadTime At(long long nMs) {
    return ReadTime(std::chrono::milliseconds(nMs));
}

struct SPiece {
    std::string bytes;
    long long nMs;  // read time, ms after 2026-12-08 10:00:00 UTC
};

constexpr long long kBase = 1796724000000LL;

std::string Log(const std::vector<SPiece>& pieces, bool bUtf8 = false, bool bLfToCrLf = true) {
    CTextLog log(bUtf8, bLfToCrLf);
    std::string out;
    for (const SPiece& piece : pieces) {
        log.AppendBytes(out, reinterpret_cast<const std::uint8_t*>(piece.bytes.data()),
                        piece.bytes.size(), At(kBase + piece.nMs));
    }
    log.Finish(out);
    return out;
}

struct SLogRow {
    const char* pszName;
    std::vector<SPiece> pieces;
    bool bUtf8;
    bool bLfToCrLf;
    std::string strExpected;
};

class TextLogRows : public testing::TestWithParam<SLogRow> {};

TEST_P(TextLogRows, GivesTheLinesWithTheTimeOfTheirFirstByte) {
    const SLogRow& row = GetParam();
    EXPECT_EQ(Log(row.pieces, row.bUtf8, row.bLfToCrLf), row.strExpected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TextLogRows,
    testing::Values(SLogRow{"TwoLines",
                            {{"ab\r\ncd\r\n", 5}},
                            false,
                            true,
                            "[2026-12-08 10:00:00.005] ab\n[2026-12-08 10:00:00.005] cd\n"},
                    SLogRow{"LineSpansReads",
                            {{"tem", 1}, {"p=2", 1999}, {"1\r\nok\r", 2500}, {"\n", 2600}},
                            false,
                            true,
                            "[2026-12-08 10:00:00.001] temp=21\n[2026-12-08 10:00:02.500] ok\n"},
                    SLogRow{"CrCrLfIsOneBreakAThirdCrShows",
                            {{"a\r\r\nb\r\r\r\nc", 0}},
                            false,
                            false,
                            "[2026-12-08 10:00:00.000] a\n[2026-12-08 10:00:00.000] b^M\n"
                            "[2026-12-08 10:00:00.000] c\n"},
                    SLogRow{"LoneLfBreaksWithTheOption",
                            {{"a\nb", 7}},
                            false,
                            true,
                            "[2026-12-08 10:00:00.007] a\n[2026-12-08 10:00:00.007] b\n"},
                    SLogRow{"LoneLfShowsWithoutTheOption",
                            {{"a\nb\r\n", 7}},
                            false,
                            false,
                            "[2026-12-08 10:00:00.007] a^Jb\n"},
                    SLogRow{"ControlBytesInCaretNotation",
                            {{std::string("\x1b[0m\x00\x7f\t|\r", 9), 0}},
                            false,
                            true,
                            "[2026-12-08 10:00:00.000] ^[[0m.^?\t|^M\n"},
                    SLogRow{"GbkSplitBetweenReads",
                            {{"\xd6", 0}, {"\xd0\xce\xc4\r\n", 1}},
                            false,
                            true,
                            "[2026-12-08 10:00:00.000] 中文\n"},
                    SLogRow{"Utf8SplitAndInvalid",
                            {{"\xe4\xb8", 0}, {"\xad\xff\xf0\x9f\x98\x80\r\n", 1}},
                            true,
                            true,
                            "[2026-12-08 10:00:00.000] 中\xef\xbf\xbd\xf0\x9f\x98\x80\n"},
                    SLogRow{"EmptyLinesKeepTheirTimes",
                            {{"\r\n", 10}, {"\r\n", 20}},
                            false,
                            true,
                            "[2026-12-08 10:00:00.010] \n[2026-12-08 10:00:00.020] \n"}),
    [](const testing::TestParamInfo<SLogRow>& info) { return info.param.pszName; });

TEST(TextLog, MarkerEndsAnUnfinishedLineAndStandsAlone) {
    CTextLog log(false, true);
    std::string out;
    log.AppendBytes(out, reinterpret_cast<const std::uint8_t*>("ab"), 2, At(kBase));
    log.AppendMarker(out, "—— 串口关闭 ——", At(kBase + 1234));
    log.AppendBytes(out, reinterpret_cast<const std::uint8_t*>("c\r\n"), 3, At(kBase + 61000));
    EXPECT_EQ(out,
              "[2026-12-08 10:00:00.000] ab\n"
              "[2026-12-08 10:00:01.234] —— 串口关闭 ——\n"
              "[2026-12-08 10:01:01.000] c\n");
}

TEST(TextLog, LineIsWrittenBeforeItEnds) {
    // A device that sends no line ends still reaches the file as its bytes arrive.
    CTextLog log(false, true);
    std::string out;
    log.AppendBytes(out, reinterpret_cast<const std::uint8_t*>("abc"), 3, At(kBase));
    EXPECT_EQ(out, "[2026-12-08 10:00:00.000] abc");
}

}  // namespace
