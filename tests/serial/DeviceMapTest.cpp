#include "DeviceMap.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "IniFile.h"
#include "OpenCounter.h"
#include "PtyPair.h"
#include "SerialTestSupport.h"

namespace fs = std::filesystem;

namespace {
// A fake "/" with dev/ and sys/ folders: plain files stand for device nodes.
class DeviceMapTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(m_root / "dev/serial/by-id"); }

    void Node(const std::string& strName) { std::ofstream(m_root / "dev" / strName).put('x'); }
    void ById(const std::string& strLink, const std::string& strTarget) {
        fs::create_symlink("../../" + strTarget, m_root / "dev/serial/by-id" / strLink);
    }
    void UartType(const std::string& strName, int nType) {
        fs::create_directories(m_root / "sys/class/tty" / strName);
        std::ofstream(m_root / "sys/class/tty" / strName / "type") << nType << "\n";
    }
    std::string Dev(const std::string& strName) const {
        return (m_root / "dev" / strName).string();
    }

    CTempFolder m_folder;
    fs::path m_root = fs::path(m_folder.Path()) / "root";
};
}  // namespace

TEST_F(DeviceMapTest, EmptyFolderGivesNoDevices) {
    const auto arrMap = CDeviceMap(m_root.string()).Build({});
    ASSERT_EQ(arrMap.size(), CDeviceMap::kPortCount);
    for (const std::string& strPath : arrMap) {
        EXPECT_EQ(strPath, "");
    }
}

TEST_F(DeviceMapTest, PresentDevicesFollowTheStableOrderWithoutTwins) {
    Node("ttyUSB10");
    Node("ttyUSB2");
    Node("ttyUSB0");
    Node("ttyACM0");
    Node("ttyS0");
    Node("ttyS1");
    Node("ttyAMA0");
    Node("rfcomm0");
    Node("ttyUSBx");       // not a numbered device
    UartType("ttyS0", 0);  // no UART behind it
    UartType("ttyS1", 4);  // a 16550A
    ById("usb-B_Adapter-if00", "ttyUSB2");
    ById("usb-A_Adapter-if00", "ttyACM0");

    const std::vector<std::string> expected = {
        Dev("serial/by-id/usb-A_Adapter-if00"),
        Dev("serial/by-id/usb-B_Adapter-if00"),
        Dev("ttyUSB0"),
        Dev("ttyUSB10"),
        Dev("ttyS1"),
        Dev("ttyAMA0"),
        Dev("rfcomm0"),
    };
    EXPECT_EQ(CDeviceMap(m_root.string()).PresentDevices(), expected);
}

TEST_F(DeviceMapTest, UartProbeCanBeInjected) {
    Node("ttyS0");
    Node("ttyS1");
    std::vector<std::string> arrAsked;
    const CDeviceMap map(m_root.string(),
                         [&](const std::string& strPath, const std::string& strName) {
                             arrAsked.push_back(strName);
                             EXPECT_EQ(strPath, Dev(strName));
                             return strName == "ttyS0";
                         });
    EXPECT_EQ(map.PresentDevices(), std::vector<std::string>{Dev("ttyS0")});
    EXPECT_EQ(arrAsked, (std::vector<std::string>{"ttyS0", "ttyS1"}));
}

TEST_F(DeviceMapTest, ConfiguredPortsWinAndTheRestAreFilledInOrder) {
    Node("ttyUSB0");
    Node("ttyUSB1");
    Node("ttyACM0");
    std::vector<std::string> arrConfigured(CDeviceMap::kPortCount);
    arrConfigured[0] = Dev("ttyUSB1");  // COM1: a present device, so it is not listed again
    arrConfigured[2] = "/dev/pts/7";    // COM3: a device not in the folder
    const auto arrMap = CDeviceMap(m_root.string()).Build(arrConfigured);
    EXPECT_EQ(arrMap[0], Dev("ttyUSB1"));
    EXPECT_EQ(arrMap[1], Dev("ttyACM0"));
    EXPECT_EQ(arrMap[2], "/dev/pts/7");
    EXPECT_EQ(arrMap[3], Dev("ttyUSB0"));
    EXPECT_EQ(arrMap[4], "");
}

TEST_F(DeviceMapTest, ConfiguredLinkToAPresentDeviceCountsAsThatDevice) {
    Node("ttyUSB0");
    ById("usb-A-if00", "ttyUSB0");
    std::vector<std::string> arrConfigured(CDeviceMap::kPortCount);
    arrConfigured[4] = Dev("ttyUSB0");
    const auto arrMap = CDeviceMap(m_root.string()).Build(arrConfigured);
    EXPECT_EQ(arrMap[0], "");
    EXPECT_EQ(arrMap[4], Dev("ttyUSB0"));
}

TEST_F(DeviceMapTest, SettingsFileSuppliesTheConfiguredPathsInOneRead) {
    const std::string strIni = m_folder.PathOf("Vexor.ini");
    std::ofstream(strIni) << "[DEVICES]\ncom2 = /dev/ttyUSB3\nCOM32=/dev/serial/by-id/usb-X\n"
                             "COM2=/dev/second\n[OTHER]\nCOM1=/dev/other\n";
    CSerialLink link;
    link.SetDeviceMapSource(strIni, m_root.string());
    std::vector<std::string> arrMap;
    EXPECT_EQ(CountOpens(strIni, [&] { arrMap = link.DevicePaths(); }), 1);
    ASSERT_EQ(arrMap.size(), CDeviceMap::kPortCount);
    EXPECT_EQ(arrMap[0], "");
    EXPECT_EQ(arrMap[1], "/dev/ttyUSB3");  // the first key of a name counts
    EXPECT_EQ(arrMap[31], "/dev/serial/by-id/usb-X");
}

// A serial port is listed on its sysfs type alone: opening a UART to ask would pulse its DTR and
// RTS lines, which resets many boards.
TEST_F(DeviceMapTest, SerialPortsAreJudgedBySysfsWithoutOpeningThem) {
    const CPtyPair pty;  // a real character device: opening it would be seen
    ASSERT_TRUE(pty.IsValid());
    fs::create_symlink(pty.SlavePath(), m_root / "dev/ttyS0");  // no type to read
    fs::create_symlink(pty.SlavePath(), m_root / "dev/ttyS1");
    fs::create_directories(m_root / "sys/class/tty/ttyS1");
    std::ofstream(m_root / "sys/class/tty/ttyS1/type") << "unreadable\n";
    Node("ttyS2");
    UartType("ttyS2", 4);
    std::vector<std::string> arrPresent;
    EXPECT_EQ(CountOpens(pty.SlavePath(),
                         [&] { arrPresent = CDeviceMap(m_root.string()).PresentDevices(); }),
              0);
    EXPECT_EQ(arrPresent, std::vector<std::string>{Dev("ttyS2")});
}

TEST_F(DeviceMapTest, EngineAnswersForEveryPortNumber) {
    Node("ttyUSB0");
    CSerialLink link;
    link.SetDeviceMapSource(m_folder.PathOf("none.ini"), m_root.string());
    EXPECT_EQ(link.DevicePathFor(1), Dev("ttyUSB0"));
    EXPECT_EQ(link.DevicePathFor(2), "");
    EXPECT_EQ(link.DevicePathFor(0), "");
    EXPECT_EQ(link.DevicePathFor(33), "");
    EXPECT_EQ(link.DevicePaths().size(), CDeviceMap::kPortCount);
}
