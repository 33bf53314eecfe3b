#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "IniFile.h"
#include "IniTestSupport.h"

namespace {

class IniFileTest : public testing::Test {
protected:
    std::string PathOfIni() const { return m_folder.PathOf("Vexor.ini"); }
    CIniFile IniWith(const std::string& strContent) {
        WriteWholeFile(PathOfIni(), strContent);
        return CIniFile(PathOfIni());
    }
    mode_t ModeOf(const std::string& strPath) const {
        struct stat st {};
        EXPECT_EQ(::stat(strPath.c_str(), &st), 0);
        return st.st_mode & 07777;
    }

    CTempFolder m_folder;
};

TEST_F(IniFileTest, MissingFileGivesDefaultsAndIsNotCreated) {
    const CIniFile ini(PathOfIni());
    EXPECT_EQ(ini.ReadInt("PORT", "DATABITS", 2), 2);
    EXPECT_EQ(ini.ReadBool("RX", "CR", 1), 1);
    EXPECT_EQ(ini.ReadString("Pelimar", "WindowPlacement", "none"), "none");
    EXPECT_EQ(m_folder.CountEntries(), 0u);
}

TEST_F(IniFileTest, MissingKeyGivesDefault) {
    const CIniFile ini = IniWith("[PORT]\nCOM=3\n");
    EXPECT_EQ(ini.ReadInt("PORT", "BAUD", 0), 0);
    EXPECT_EQ(ini.ReadInt("SYSTEM", "PERIOD", 100), 100);
}

struct SIntRow {
    const char* pszName;
    const char* pszStored;
    int nDefault;
    int nExpected;
};

class IniReadIntTest : public IniFileTest, public testing::WithParamInterface<SIntRow> {};

TEST_P(IniReadIntTest, ReadsWholeDecimalNumbersOnly) {
    const SIntRow& row = GetParam();
    const CIniFile ini = IniWith(std::string("[PORT]\nBAUD=") + row.pszStored + "\n");
    EXPECT_EQ(ini.ReadInt("PORT", "BAUD", row.nDefault), row.nExpected);
}

INSTANTIATE_TEST_SUITE_P(
    IniFile, IniReadIntTest,
    testing::Values(SIntRow{"Positive", "14", 0, 14}, SIntRow{"MinusOne", "-1", 0, -1},
                    SIntRow{"ExplicitPlus", "+7", 0, 7}, SIntRow{"LeadingZeros", "007", 0, 7},
                    SIntRow{"SurroundingBlanks", "  42 \t", 0, 42},
                    SIntRow{"LargestInt", "2147483647", 0, INT_MAX},
                    SIntRow{"SmallestInt", "-2147483648", 0, INT_MIN},
                    SIntRow{"AboveIntRange", "2147483648", 5, 5},
                    SIntRow{"BelowIntRange", "-2147483649", 5, 5},
                    SIntRow{"HugeNumber", "99999999999999999999999", 5, 5},
                    SIntRow{"DigitsThenLetters", "12abc", 5, 5}, SIntRow{"Letters", "abc", 5, 5},
                    SIntRow{"Empty", "", 5, 5}, SIntRow{"HexPrefix", "0x10", 5, 5},
                    SIntRow{"Fraction", "1.5", 5, 5}, SIntRow{"InnerBlank", "1 2", 5, 5},
                    SIntRow{"SignOnly", "-", 5, 5}, SIntRow{"DoubleSign", "+-1", 5, 5},
                    SIntRow{"SignThenBlank", "- 1", 5, 5},
                    SIntRow{"FullWidthDigits", "\xA3\xB1", 5, 5}),
    [](const auto& info) { return info.param.pszName; });

struct SBoolRow {
    const char* pszName;
    std::optional<const char*> stored;
    int nDefault;
    int nExpected;
};

class IniReadBoolTest : public IniFileTest, public testing::WithParamInterface<SBoolRow> {};

TEST_P(IniReadBoolTest, GivesZeroOrOne) {
    const SBoolRow& row = GetParam();
    const CIniFile ini =
        IniWith(row.stored ? std::string("[RX]\nMODE=") + *row.stored + "\n" : "[RX]\n");
    EXPECT_EQ(ini.ReadBool("RX", "MODE", row.nDefault), row.nExpected);
}

INSTANTIATE_TEST_SUITE_P(
    IniFile, IniReadBoolTest,
    testing::Values(SBoolRow{"StoredZero", "0", 1, 0}, SBoolRow{"StoredOne", "1", 0, 1},
                    SBoolRow{"OtherNumberGivesDefault", "2", 0, 0},
                    SBoolRow{"SevenGivesDefault", "7", 1, 1},
                    SBoolRow{"MinusOneGivesDefault", "-1", 0, 0},
                    SBoolRow{"TextGivesDefault", "yes", 1, 1},
                    SBoolRow{"DefaultIsNormalised", "9", 5, 1},
                    SBoolRow{"MissingGivesNormalisedDefault", std::nullopt, -3, 1},
                    SBoolRow{"MissingGivesZeroDefault", std::nullopt, 0, 0}),
    [](const auto& info) { return info.param.pszName; });

TEST_F(IniFileTest, WriteCreatesFileAndFolders) {
    const std::string strPath = m_folder.PathOf("a/b/Vexor.ini");
    CIniFile ini(strPath);
    EXPECT_TRUE(ini.WriteInt("PORT", "COM", 3));
    EXPECT_EQ(ReadWholeFile(strPath), "[PORT]\nCOM=3\n");
}

TEST_F(IniFileTest, ValuesReadBackAsWritten) {
    CIniFile ini(PathOfIni());
    for (const int nValue : {0, -1, 31, INT_MAX, INT_MIN}) {
        ASSERT_TRUE(ini.WriteInt("SYSTEM", "PERIOD", nValue));
        EXPECT_EQ(ini.ReadInt("SYSTEM", "PERIOD", 100), nValue);
    }
    ASSERT_TRUE(ini.WriteBool("RX", "MODE", 5));
    EXPECT_EQ(ini.ReadString("RX", "MODE", ""), "1");
    ASSERT_TRUE(ini.WriteBool("RX", "MODE", 0));
    EXPECT_EQ(ini.ReadBool("RX", "MODE", 1), 0);
    ASSERT_TRUE(ini.WriteString("Pelimar", "WindowPlacement", "10,20,610,420,1,0"));
    EXPECT_EQ(ini.ReadString("pelimar", "windowplacement", ""), "10,20,610,420,1,0");
}

TEST_F(IniFileTest, WriteKeepsEveryOtherLineByteForByte) {
    const std::string strBefore =
        "; diVE settings\r\n[PORT]\r\nCOM = 3\r\nUNKNOWN=x\r\n\r\n[RX]\r\nCOLORTXT=32768\r\n"
        "CR=0\r\n[Other]\r\nkey=value ; kept\r\n";
    CIniFile ini = IniWith(strBefore);
    ASSERT_TRUE(ini.WriteInt("port", "com", 7));
    ASSERT_TRUE(ini.WriteInt("RX", "MODE", 1));
    EXPECT_EQ(ReadWholeFile(PathOfIni()),
              "; diVE settings\r\n[PORT]\r\nCOM = 7\r\nUNKNOWN=x\r\n\r\n[RX]\r\nCOLORTXT=32768\r\n"
              "CR=0\r\nMODE=1\r\n[Other]\r\nkey=value ; kept\r\n");
}

TEST_F(IniFileTest, ReadsSeeEveryChangeOfARecentFile) {
    const CIniFile reader = IniWith("[PORT]\nCOM=1\n");
    EXPECT_EQ(reader.ReadInt("PORT", "COM", 0), 1);
    CIniFile writer(PathOfIni());
    ASSERT_TRUE(writer.WriteInt("PORT", "COM", 2));
    EXPECT_EQ(reader.ReadInt("PORT", "COM", 0), 2);
    WriteWholeFile(PathOfIni(), "[PORT]\nCOM=3\n");
    EXPECT_EQ(reader.ReadInt("PORT", "COM", 0), 3);
}

TEST_F(IniFileTest, WriteKeepsPermissionsAndLeavesNoTemporaryFile) {
    CIniFile ini = IniWith("[PORT]\n");
    ASSERT_EQ(::chmod(PathOfIni().c_str(), 0640), 0);
    ASSERT_TRUE(ini.WriteInt("PORT", "COM", 1));
    EXPECT_EQ(ModeOf(PathOfIni()), 0640u);
    EXPECT_EQ(m_folder.CountEntries(), 1u);
}

TEST_F(IniFileTest, ReadOnlyFileIsNotWritten) {
    CIniFile ini = IniWith("[PORT]\nCOM=1\n");
    EXPECT_TRUE(ini.IsWritable());
    ASSERT_EQ(::chmod(PathOfIni().c_str(), 0444), 0);
    EXPECT_FALSE(ini.IsWritable());
    EXPECT_FALSE(ini.WriteInt("PORT", "COM", 2));
    EXPECT_FALSE(ini.WriteInt("PORT", "BAUD", 2));
    EXPECT_EQ(ReadWholeFile(PathOfIni()), "[PORT]\nCOM=1\n");
    EXPECT_EQ(ini.ReadInt("PORT", "COM", 0), 1);
    EXPECT_EQ(m_folder.CountEntries(), 1u);
}

TEST_F(IniFileTest, ReadOnlyFolderIsNotWritten) {
    CIniFile ini = IniWith("[PORT]\nCOM=1\n");
    CIniFile absent(m_folder.PathOf("absent.ini"));
    CIniFile nested(m_folder.PathOf("config/diVE/Vexor.ini"));
    EXPECT_TRUE(absent.IsWritable());
    EXPECT_TRUE(nested.IsWritable());
    ASSERT_EQ(::chmod(m_folder.Path().c_str(), 0555), 0);
    EXPECT_FALSE(ini.IsWritable());
    EXPECT_FALSE(absent.IsWritable());
    EXPECT_FALSE(nested.IsWritable());
    EXPECT_FALSE(ini.WriteInt("PORT", "COM", 2));
    EXPECT_FALSE(absent.WriteInt("PORT", "COM", 2));
    ASSERT_EQ(::chmod(m_folder.Path().c_str(), 0755), 0);
    EXPECT_EQ(ReadWholeFile(PathOfIni()), "[PORT]\nCOM=1\n");
    EXPECT_EQ(m_folder.CountEntries(), 1u);
}

TEST_F(IniFileTest, FolderInPlaceOfFileGivesDefaultsAndRefusesWrites) {
    ASSERT_TRUE(std::filesystem::create_directory(PathOfIni()));
    CIniFile ini(PathOfIni());
    EXPECT_EQ(ini.ReadInt("PORT", "COM", 4), 4);
    EXPECT_FALSE(ini.WriteInt("PORT", "COM", 1));
}

TEST_F(IniFileTest, PipeInPlaceOfFileNeitherBlocksNorIsReplaced) {
    ASSERT_EQ(::mkfifo(PathOfIni().c_str(), 0644), 0);
    CIniFile ini(PathOfIni());
    EXPECT_EQ(ini.ReadInt("PORT", "COM", 4), 4);
    EXPECT_FALSE(ini.WriteInt("PORT", "COM", 1));
    EXPECT_TRUE(std::filesystem::is_fifo(PathOfIni()));
}

TEST_F(IniFileTest, SymbolicLinkIsFollowed) {
    const std::string strTarget = m_folder.PathOf("real.ini");
    WriteWholeFile(strTarget, "[PORT]\nCOM=1\n");
    std::filesystem::create_symlink(strTarget, PathOfIni());
    CIniFile ini(PathOfIni());
    ASSERT_TRUE(ini.WriteInt("PORT", "COM", 2));
    EXPECT_TRUE(std::filesystem::is_symlink(PathOfIni()));
    EXPECT_EQ(ReadWholeFile(strTarget), "[PORT]\nCOM=2\n");
}

TEST_F(IniFileTest, LinkToAFileNotYetThereCreatesTheFileAndStaysALink) {
    std::filesystem::create_directory(m_folder.PathOf("store"));
    std::filesystem::create_symlink("store/next.ini", m_folder.PathOf("hop.ini"));
    std::filesystem::create_symlink("hop.ini", PathOfIni());
    CIniFile ini(PathOfIni());
    ASSERT_TRUE(ini.WriteInt("PORT", "COM", 2));
    EXPECT_TRUE(std::filesystem::is_symlink(PathOfIni()));
    EXPECT_TRUE(std::filesystem::is_symlink(m_folder.PathOf("hop.ini")));
    EXPECT_EQ(ReadWholeFile(m_folder.PathOf("store/next.ini")), "[PORT]\nCOM=2\n");
    EXPECT_EQ(ini.ReadInt("PORT", "COM", 0), 2);
}

TEST_F(IniFileTest, LinkLoopIsNeitherReadNorReplaced) {
    std::filesystem::create_symlink("Vexor.ini", PathOfIni());
    CIniFile ini(PathOfIni());
    EXPECT_EQ(ini.ReadInt("PORT", "COM", 4), 4);
    EXPECT_FALSE(ini.WriteInt("PORT", "COM", 1));
    EXPECT_TRUE(std::filesystem::is_symlink(PathOfIni()));
    EXPECT_EQ(m_folder.CountEntries(), 1u);
}

// Writers of different keys at the same time (each its own open of the folder, as two programs):
// none loses another's key, and a write of several keys lands whole.
TEST_F(IniFileTest, ConcurrentWritersKeepEachOthersKeys) {
    constexpr int kWriters = 4;
    constexpr int kWrites = 40;
    IniWith("[KEEP]\nA=1\n");
    std::vector<std::thread> arrWriters;
    for (int nWriter = 0; nWriter < kWriters; ++nWriter) {
        arrWriters.emplace_back([this, nWriter] {
            const std::string strKey = "K" + std::to_string(nWriter);
            for (int n = 1; n <= kWrites; ++n) {
                CIniFile(PathOfIni())
                    .WriteEntries(
                        {{"W", strKey, std::to_string(n)}, {"PAIR", strKey, std::to_string(n)}});
            }
        });
    }
    for (std::thread& writer : arrWriters) {
        writer.join();
    }
    const CIniFile ini(PathOfIni());
    for (int nWriter = 0; nWriter < kWriters; ++nWriter) {
        const std::string strKey = "K" + std::to_string(nWriter);
        EXPECT_EQ(ini.ReadInt("W", strKey, 0), kWrites) << strKey;
        EXPECT_EQ(ini.ReadInt("PAIR", strKey, 0), kWrites) << strKey;
    }
    EXPECT_EQ(ini.ReadInt("KEEP", "A", 0), 1);
    EXPECT_EQ(m_folder.CountEntries(), 1u);
}

TEST_F(IniFileTest, UnstorableNamesAndValuesAreRefused) {
    CIniFile ini = IniWith("[A]\nk=1\n");
    EXPECT_FALSE(ini.WriteString("A", "k", "2\n[B]"));
    EXPECT_FALSE(ini.WriteInt("", "k", 2));
    EXPECT_FALSE(ini.WriteInt("A", "k=", 2));
    EXPECT_EQ(ReadWholeFile(PathOfIni()), "[A]\nk=1\n");
}

// ---- Where the settings file lives ----

// Sets or clears an environment variable for one test and puts it back afterwards.
class CScopedEnv {
public:
    CScopedEnv(const char* pszName, const char* pszValue) : m_strName(pszName) {
        if (const char* pszOld = std::getenv(pszName)) {
            m_old = pszOld;
        }
        if (pszValue != nullptr) {
            ::setenv(pszName, pszValue, 1);
        } else {
            ::unsetenv(pszName);
        }
    }
    ~CScopedEnv() {
        if (m_old) {
            ::setenv(m_strName.c_str(), m_old->c_str(), 1);
        } else {
            ::unsetenv(m_strName.c_str());
        }
    }
    CScopedEnv(const CScopedEnv&) = delete;
    CScopedEnv& operator=(const CScopedEnv&) = delete;

private:
    std::string m_strName;
    std::optional<std::string> m_old;
};

struct SPathRow {
    const char* pszName;
    const char* pszArgv0;
    const char* pszXdg;  // nullptr: unset
    const char* pszExpected;
};

class SettingsPathTest : public testing::TestWithParam<SPathRow> {};

TEST_P(SettingsPathTest, FollowsTheInvocation) {
    const SPathRow& row = GetParam();
    CScopedEnv home("HOME", "/home/user");
    CScopedEnv xdg("XDG_CONFIG_HOME", row.pszXdg);
    EXPECT_EQ(CIniFile::SettingsPathFor(row.pszArgv0, [](const std::string&) { return true; }),
              row.pszExpected);
}

INSTANTIATE_TEST_SUITE_P(
    IniFile, SettingsPathTest,
    testing::Values(
        SPathRow{"AbsolutePath", "/home/user/dive/dive", "/x", "/home/user/dive/Vexor.ini"},
        SPathRow{"InstalledInUsrBinUsesXdgConfigHome", "/usr/bin/dive", "/cfg",
                 "/cfg/diVE/Vexor.ini"},
        SPathRow{"InstalledInUsrLocalBinUsesHomeConfig", "/usr/local/bin/dive", nullptr,
                 "/home/user/.config/diVE/Vexor.ini"},
        SPathRow{"AddOnPackageUnderOptUsesXdgConfigHome", "/opt/dive/bin/dive", "/cfg",
                 "/cfg/diVE/Vexor.ini"},
        SPathRow{"RelativePath", "build/dive", nullptr, "build/Vexor.ini"},
        SPathRow{"CurrentFolder", "./dive", nullptr, "./Vexor.ini"},
        SPathRow{"RootFolder", "/dive", nullptr, "/Vexor.ini"},
        SPathRow{"CutAfterLastSlash", "a//b/", nullptr, "a//b/Vexor.ini"},
        SPathRow{"BareNameUsesXdgConfigHome", "dive", "/cfg", "/cfg/diVE/Vexor.ini"},
        SPathRow{"BareNameWithoutXdgUsesHomeConfig", "dive", nullptr,
                 "/home/user/.config/diVE/Vexor.ini"},
        SPathRow{"EmptyXdgIsIgnored", "dive", "", "/home/user/.config/diVE/Vexor.ini"},
        SPathRow{"RelativeXdgIsIgnored", "dive", "cfg", "/home/user/.config/diVE/Vexor.ini"},
        SPathRow{"EmptyInvocation", "", "/cfg", "/cfg/diVE/Vexor.ini"},
        SPathRow{"NoInvocation", nullptr, "/cfg", "/cfg/diVE/Vexor.ini"}),
    [](const auto& info) { return info.param.pszName; });

// An installed program's folder is not writable: the settings go to the configuration folder,
// unless a Vexor.ini was put beside the program, which is then read (and left as it is).
TEST_F(IniFileTest, ProgramFolderNotWritableUsesTheConfigurationFolderUnlessAFileIsThere) {
    CScopedEnv xdg("XDG_CONFIG_HOME", m_folder.PathOf("config").c_str());
    const std::string strProgram = m_folder.PathOf("dive");
    const auto fnReadOnly = [](const std::string&) { return false; };
    EXPECT_EQ(CIniFile::SettingsPathFor(strProgram.c_str(), fnReadOnly),
              m_folder.PathOf("config/diVE/Vexor.ini"));
    WriteWholeFile(m_folder.PathOf("Vexor.ini"), "[PORT]\nCOM=5\n");
    EXPECT_EQ(CIniFile::SettingsPathFor(strProgram.c_str(), fnReadOnly),
              m_folder.PathOf("Vexor.ini"));
    // The real check: the test's own folder is writable.
    ::unlink(m_folder.PathOf("Vexor.ini").c_str());
    EXPECT_EQ(CIniFile::SettingsPathFor(strProgram.c_str()), m_folder.PathOf("Vexor.ini"));
}

TEST_F(IniFileTest, BareInvocationWriteCreatesTheConfigurationFolder) {
    CScopedEnv xdg("XDG_CONFIG_HOME", m_folder.PathOf("config").c_str());
    CIniFile ini(CIniFile::SettingsPathFor("dive"));
    ASSERT_TRUE(ini.WriteInt("PORT", "COM", 3));
    EXPECT_EQ(ReadWholeFile(m_folder.PathOf("config/diVE/Vexor.ini")), "[PORT]\nCOM=3\n");
    EXPECT_EQ(CIniFile(CIniFile::SettingsPathFor("dive")).ReadInt("PORT", "COM", 0), 3);
}

// Reads of an unchanged file share one read; any change that a later read must see is seen, even
// one that keeps the size and puts the modification time back, or comes as a new file by rename.
TEST_F(IniFileTest, ReadsSeeEveryChangeOfAFileLastChangedLongAgo) {
    const auto fnAge = [this] {
        const timespec arrOld[2] = {{1000000000, 0}, {1000000000, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, PathOfIni().c_str(), arrOld, 0), 0);
    };
    const CIniFile ini = IniWith("[PORT]\nCOM=1\n");
    fnAge();
    EXPECT_EQ(ini.ReadInt("PORT", "COM", 0), 1);
    EXPECT_EQ(ini.ReadInt("PORT", "COM", 0), 1);
    WriteWholeFile(PathOfIni(), "[PORT]\nCOM=2\n");  // in place, the same size
    fnAge();
    EXPECT_EQ(ini.ReadInt("PORT", "COM", 0), 2);
    WriteWholeFile(m_folder.PathOf("new.ini"), "[PORT]\nCOM=3\n");
    ASSERT_EQ(::rename(m_folder.PathOf("new.ini").c_str(), PathOfIni().c_str()), 0);
    fnAge();
    EXPECT_EQ(ini.ReadInt("PORT", "COM", 0), 3);
    CIniFile writer(PathOfIni());
    ASSERT_TRUE(writer.WriteInt("PORT", "COM", 4));
    EXPECT_EQ(ini.ReadInt("PORT", "COM", 0), 4);
}

}  // namespace
