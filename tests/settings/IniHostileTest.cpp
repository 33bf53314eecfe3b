// Files that no well-behaved editor writes: each reads to a defined value, and writes keep the
// rest.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>

#include "IniFile.h"
#include "IniTestSupport.h"

namespace {

constexpr std::size_t kLongLine = 1 << 20;
constexpr std::size_t kHugeFile = std::size_t{50} << 20;

std::string Junk(unsigned nSeed, std::size_t nSize) {
    std::mt19937 rng(nSeed);
    std::string strJunk(nSize, '\0');
    for (char& c : strJunk) {
        c = static_cast<char>(rng() % 7 == 0 ? 0 : rng() & 0xFF);  // NUL bytes often
    }
    return strJunk;
}

std::string HugeFile() {
    std::string strBulk = "KEY=some value of a bulk line\n";
    while (strBulk.size() < kHugeFile) {
        strBulk += strBulk;
    }
    return "[BULK]\n" + strBulk + "[PORT]\nCOM=3\n";
}

// piece repeated until nSize bytes are reached.
std::string Repeated(const std::string& strPiece, std::size_t nSize) {
    std::string strText;
    while (strText.size() < nSize) {
        strText += strPiece;
    }
    return strText;
}

struct SHostileRow {
    const char* pszName;
    std::function<std::string()> makeContent;
    int nCom;  // what ReadInt("PORT", "COM", -7) gives
};

class IniHostileTest : public testing::TestWithParam<SHostileRow> {
protected:
    CTempFolder m_folder;
};

TEST_P(IniHostileTest, ReadsDefinedValueAndWritesKeepTheRest) {
    const SHostileRow& row = GetParam();
    const std::string strPath = m_folder.PathOf("Vexor.ini");
    std::string strBefore = row.makeContent();
    WriteWholeFile(strPath, strBefore);
    CIniFile ini(strPath);
    EXPECT_EQ(ini.ReadInt("PORT", "COM", -7), row.nCom);

    // An existing or new key, then a new section: each write touches one line only.
    const struct {
        const char* pszSection;
        const char* pszKey;
        int nValue;
    } writes[] = {{"PORT", "COM", 5}, {"port", "BAUD", 6}, {"SYSTEM", "PERIOD", 7}};
    for (const auto& write : writes) {
        ASSERT_TRUE(ini.WriteInt(write.pszSection, write.pszKey, write.nValue));
        const std::string strAfter = ReadWholeFile(strPath);
        EXPECT_EQ(DescribeDamage(strBefore, strAfter), "") << write.pszKey;
        EXPECT_EQ(ini.ReadInt(write.pszSection, write.pszKey, -7), write.nValue);
        strBefore = strAfter;
    }
    EXPECT_EQ(ini.ReadInt("PORT", "COM", -7), 5);
    EXPECT_EQ(m_folder.CountEntries(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    IniFile, IniHostileTest,
    testing::Values(
        SHostileRow{"EmptyFile", [] { return std::string(); }, -7},
        SHostileRow{"OnlyLineEnds", [] { return std::string("\n\r\n\r"); }, -7},
        SHostileRow{"NoFinalLineEnd", [] { return std::string("[PORT]\nCOM=3"); }, 3},
        SHostileRow{"CrLfLineEnds", [] { return std::string("[PORT]\r\nCOM=3\r\n"); }, 3},
        SHostileRow{"LoneCrLineEnds", [] { return std::string("[PORT]\rCOM=3\r"); }, 3},
        SHostileRow{"ByteOrderMark", [] { return std::string("\xEF\xBB\xBF[PORT]\nCOM=3\n"); }, 3},
        SHostileRow{"BlanksAroundEquals", [] { return std::string("[PORT]\n COM \t= \t3\n"); }, 3},
        SHostileRow{"TrailingBlanksAfterValue", [] { return std::string("[PORT]\nCOM=3  \t\n"); },
                    3},
        SHostileRow{"KeyBeforeAnySection", [] { return std::string("COM=9\n[PORT]\nCOM=3\n"); }, 3},
        SHostileRow{"OnlyAKeyBeforeAnySection", [] { return std::string("COM=9"); }, -7},
        SHostileRow{"LineOfOneMebibyte",
                    [] { return "[PORT]\nX=" + std::string(kLongLine, 'a') + "\nCOM=3\n"; }, 3},
        SHostileRow{"OpenLastLineOfOneMebibyte",
                    [] { return "[PORT]\nCOM=3\n" + std::string(kLongLine, '='); }, 3},
        SHostileRow{"BinaryJunkWithNul",
                    [] { return Junk(1, 4096) + "\n[PORT]\nCOM=3\n" + Junk(2, 4096); }, 3},
        SHostileRow{"OnlyBinaryJunk", [] { return Junk(3, 65536); }, -7},
        SHostileRow{"FiftyMebibytes", [] { return HugeFile(); }, 3},
        SHostileRow{"ManyUnclosedBrackets",
                    [] { return Repeated("[a\n", 4 << 20) + "[PORT]\nCOM=3\n"; }, 3},
        SHostileRow{"ManySections",
                    [] { return Repeated("[S]\nCOM=1\n[T]\n", 1 << 20) + "[PORT]\nCOM=3\n"; }, 3},
        SHostileRow{"SectionNameOfOneMebibyte",
                    [] { return "[" + std::string(kLongLine, 'P') + "]\n[PORT]\nCOM=3\n"; }, 3}),
    [](const auto& info) { return info.param.pszName; });

}  // namespace
