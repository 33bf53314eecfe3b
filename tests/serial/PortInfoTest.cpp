// A device named for this run: the entry it takes in the port map, and the engine opening it
// there without a word in the settings file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "IniFile.h"
#include "PortInfo.h"
#include "SerialLink.h"
#include "SerialTestSupport.h"

namespace fs = std::filesystem;

namespace {

struct SEntryRow {
    const char* pszName;
    std::vector<std::string> arrMap;
    std::string strDevice;
    unsigned nExpected;
};

class EntryForDeviceTest : public testing::TestWithParam<SEntryRow> {};

TEST_P(EntryForDeviceTest, TakesTheEntryThatNamesItElseAFreeOne) {
    EXPECT_EQ(EntryForDevice(GetParam().arrMap, GetParam().strDevice), GetParam().nExpected);
}

INSTANTIATE_TEST_SUITE_P(
    PortInfo, EntryForDeviceTest,
    testing::Values(SEntryRow{"AlreadyMapped", {"/dev/null", "", "/dev/zero"}, "/dev/zero", 3},
                    SEntryRow{"SameDeviceByAnotherPath", {"", "/dev/../dev/zero"}, "/dev/zero", 2},
                    SEntryRow{"FirstFree", {"/dev/null", "", ""}, "/dev/zero", 2},
                    SEntryRow{"NoneFree", {"/dev/null", "/dev/full"}, "/dev/zero", 0}),
    [](const auto& info) { return info.param.pszName; });

TEST(PortInfo, ARunDeviceOverridesTheSettingsFileWithoutWritingIt) {
    CTempFolder folder;
    const std::string strIni = folder.PathOf("Vexor.ini");
    CIniFile(strIni).WriteString("DEVICES", "COM2", "/dev/null");
    fs::create_directories(folder.PathOf("root/dev"));
    std::ofstream(folder.PathOf("root/dev/ttyUSB0")).put('x');
    const std::string strBefore = CIniFile(strIni).ReadString("DEVICES", "COM2", "");

    CSerialLink link;
    link.SetDeviceMapSource(strIni, folder.PathOf("root"));
    EXPECT_EQ(link.DevicePathFor(1), folder.PathOf("root/dev/ttyUSB0"));
    link.SetRunDevice(2, "/dev/zero");
    link.SetRunDevice(1, "/dev/full");
    EXPECT_EQ(link.DevicePathFor(1), "/dev/full");
    EXPECT_EQ(link.DevicePathFor(2), "/dev/zero");
    EXPECT_EQ(link.DevicePathFor(3), folder.PathOf("root/dev/ttyUSB0"));  // moved to a free one
    link.SetRunDevice(2, "");
    EXPECT_EQ(link.DevicePathFor(2), "/dev/null");
    EXPECT_EQ(CIniFile(strIni).ReadString("DEVICES", "COM2", ""), strBefore);
    EXPECT_EQ(CIniFile(strIni).ReadString("DEVICES", "COM1", "none"), "none");
}

}  // namespace
