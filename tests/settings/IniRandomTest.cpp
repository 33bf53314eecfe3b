// Bounded random INI texts and random reads and writes: fixed seeds, so a failure repeats.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "IniFile.h"
#include "IniTestSupport.h"
#include "IniText.h"

namespace {

constexpr int kTextIterations = 20000;
constexpr int kFileIterations = 150;  // each one a real atomic replace on disk

constexpr std::array<const char*, 4> kSections = {"PORT", "rx", "Tx", "A"};
constexpr std::array<const char*, 4> kKeys = {"COM", "mode", "k", "ColorTxt"};

class CRandomIni {
public:
    explicit CRandomIni(unsigned nSeed) : m_rng(nSeed) {}

    std::size_t Pick(std::size_t nBound) {
        return std::uniform_int_distribution<std::size_t>(0, nBound)(m_rng);
    }

    // A text of lines that mean something, lines that nearly do, and junk, with mixed line ends.
    std::string NextText() {
        static constexpr std::array<const char*, 3> kLineEnds = {"\n", "\r\n", "\r"};
        std::string strText = Pick(10) == 0 ? "\xEF\xBB\xBF" : "";
        const std::size_t nLines = Pick(20);
        for (std::size_t n = 0; n < nLines; ++n) {
            strText += NextLine();
            if (n + 1 < nLines || Pick(1) == 0) {
                strText += kLineEnds[Pick(kLineEnds.size() - 1)];
            }
        }
        return strText;
    }

    const char* NextSection() { return kSections[Pick(kSections.size() - 1)]; }
    const char* NextKey() { return kKeys[Pick(kKeys.size() - 1)]; }

    std::string NextValue() {
        switch (Pick(3)) {
            case 0:
                return std::to_string(static_cast<int>(m_rng()));
            case 1:
                return "";
            case 2:
                return "a b=c";
            default:
                return std::string("\xC4\xE3\0x", 4);
        }
    }

private:
    std::string Cased(const char* pszName) {
        std::string strName = pszName;
        for (char& c : strName) {
            if (Pick(1) == 0 && c >= 'a' && c <= 'z') {
                c = static_cast<char>(c - 32);
            } else if (Pick(1) == 0 && c >= 'A' && c <= 'Z') {
                c = static_cast<char>(c + 32);
            }
        }
        return strName;
    }

    std::string NextLine() {
        switch (Pick(9)) {
            case 0:
            case 1:
                return std::string(Pick(1) ? " [" : "[") + Cased(NextSection()) + "] ";
            case 2:
            case 3:
            case 4:
                return Cased(NextKey()) + (Pick(1) ? " = " : "=") + NextValue();
            case 5:
                return ";" + Cased(NextKey()) + "=1";
            case 6:
                return std::string(Pick(3), ' ');
            case 7:
                return "[" + Cased(NextSection());
            default: {
                std::string strJunk(Pick(12), '\0');
                for (char& c : strJunk) {
                    c = static_cast<char>(Pick(255));
                }
                return strJunk;
            }
        }
    }

    std::mt19937 m_rng;
};

using Snapshot = std::vector<std::optional<std::string>>;

Snapshot LookUpAll(const CIniText& text) {
    Snapshot values;
    for (const char* pszSection : kSections) {
        for (const char* pszKey : kKeys) {
            const auto value = text.Find(pszSection, pszKey);
            values.push_back(value ? std::optional<std::string>(*value) : std::nullopt);
        }
    }
    return values;
}

std::size_t IndexOf(std::string_view section, std::string_view key) {
    std::size_t nIndex = 0;
    for (const char* pszSection : kSections) {
        for (const char* pszKey : kKeys) {
            if (section == pszSection && key == pszKey) {
                return nIndex;
            }
            ++nIndex;
        }
    }
    return nIndex;
}

TEST(IniRandom, SetChangesOnlyItsKeyAndOneLine) {
    CRandomIni random(4242);
    for (int nIteration = 0; nIteration < kTextIterations; ++nIteration) {
        const std::string strBefore = random.NextText();
        CIniText text(strBefore);
        const Snapshot before = LookUpAll(text);
        const char* pszSection = random.NextSection();
        const char* pszKey = random.NextKey();
        const std::string strValue = random.NextValue();
        ASSERT_TRUE(CIniText::CanStore(pszSection, pszKey, strValue));
        text.Set(pszSection, pszKey, strValue);

        ASSERT_EQ(text.Find(pszSection, pszKey), std::string_view(strValue)) << nIteration;
        ASSERT_EQ(DescribeDamage(strBefore, text.GetContent()), "") << nIteration;
        Snapshot after = LookUpAll(text);
        after[IndexOf(pszSection, pszKey)] = before[IndexOf(pszSection, pszKey)];
        ASSERT_EQ(after, before) << nIteration;
    }
}

TEST(IniRandom, FileReadsGiveWhatWasWritten) {
    CTempFolder folder;
    const std::string strPath = folder.PathOf("Vexor.ini");
    CRandomIni random(99);
    for (int nIteration = 0; nIteration < kFileIterations; ++nIteration) {
        const std::string strBefore = random.NextText();
        WriteWholeFile(strPath, strBefore);
        CIniFile ini(strPath);
        const char* pszSection = random.NextSection();
        const char* pszKey = random.NextKey();
        const int nValue = static_cast<int>(random.Pick(2000)) - 1000;
        ASSERT_TRUE(ini.WriteInt(pszSection, pszKey, nValue));
        ASSERT_EQ(ini.ReadInt(pszSection, pszKey, 5000), nValue);
        ASSERT_EQ(ini.ReadBool(pszSection, pszKey, 1), nValue == 0 ? 0 : 1);
        ASSERT_EQ(DescribeDamage(strBefore, ReadWholeFile(strPath)), "");
    }
    EXPECT_EQ(folder.CountEntries(), 1u);
}

// Files of several hundred kilobytes, read in pieces: every key reads as in the text, wherever
// the pieces' edges fall (in a header, between the CR and LF of a line end).
TEST(IniRandom, LargeFileReadsAgreeWithTheText) {
    CTempFolder folder;
    const std::string strPath = folder.PathOf("Vexor.ini");
    CRandomIni random(7);
    constexpr std::array<const char*, 3> kLineEnds = {"\n", "\r\n", "\r"};
    for (std::size_t nEdge = 1 << 16; nEdge <= 1 << 20; nEdge <<= 1) {
        // The edge between the CR and LF, inside the header, inside the key.
        for (std::size_t nShift : {1, 4, 10}) {
            std::string strText;
            for (int n = 0; n < 20; ++n) {
                strText += random.NextText() + "\n";
            }
            // Bulk lines with brackets inside, each with one of the three line ends.
            for (std::size_t n = 0; strText.size() < nEdge + 300000; ++n) {
                strText += "k" + std::to_string(n) + "= [v]" + kLineEnds[n % kLineEnds.size()];
            }
            strText.insert(nEdge - nShift, "\r\n[EDGE]\r\nCOM=3\r\n");
            WriteWholeFile(strPath, strText);
            for (int nAged = 0; nAged < 2; ++nAged) {  // read anew, then from what was learnt
                const CIniText text(strText);
                Snapshot fromFile;
                for (const char* pszSection : kSections) {
                    for (const char* pszKey : kKeys) {
                        const std::string strValue =
                            CIniFile(strPath).ReadString(pszSection, pszKey, "\x01");
                        fromFile.push_back(strValue == "\x01" ? std::nullopt
                                                              : std::optional(strValue));
                    }
                }
                ASSERT_EQ(fromFile, LookUpAll(text)) << nEdge << " " << nShift;
                ASSERT_EQ(CIniFile(strPath).ReadInt("EDGE", "COM", -1), 3)
                    << nEdge << " " << nShift;
                const timespec arrOld[2] = {{1000000000, 0}, {1000000000, 0}};
                ASSERT_EQ(::utimensat(AT_FDCWD, strPath.c_str(), arrOld, 0), 0);
            }
        }
    }
}

}  // namespace
