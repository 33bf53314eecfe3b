// Which device comes back after it went away: by its by-id name, by its USB vendor, product,
// serial number and interface, else by the path it was opened by. Each row builds a fake root
// (/dev nodes, by-id links, a sysfs tree as usb-serial drivers lay it out), takes the identity of
// one node, then replaces the devices and asks where that device is now.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "DeviceIdentity.h"
#include "SerialTestSupport.h"

namespace fs = std::filesystem;

namespace {

struct SFakeTty {
    std::string strName;    // "ttyUSB0"
    std::string strById;    // "" none
    std::string strSerial;  // "" none
    std::string strInterface = "00";
    std::string strBus = "1-1";  // the USB device's folder
};

struct SIdentityRow {
    const char* pszName;
    SFakeTty before;
    std::vector<SFakeTty> arrAfter;
    std::string strExpectedUsb;
    std::string strFoundNode;  // the node Find leads to afterwards, "" none
};

void WriteFile(const fs::path& file, const std::string& strText) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << strText << "\n";
}

// A tty of a usb-serial driver: the node, its sysfs device (a port folder in the interface
// folder, in the USB device's folder) and its by-id link.
void AddTty(const fs::path& root, const SFakeTty& tty) {
    WriteFile(root / "dev" / tty.strName, "");
    const fs::path usb = root / "sys/devices/pci0000:00/usb1" / tty.strBus;
    const fs::path interface = usb / (tty.strBus + ":1." + tty.strInterface);
    WriteFile(usb / "idVendor", "0403");
    WriteFile(usb / "idProduct", "6001");
    if (!tty.strSerial.empty()) {
        WriteFile(usb / "serial", tty.strSerial);
    }
    WriteFile(interface / "bInterfaceNumber", tty.strInterface);
    fs::create_directories(interface / tty.strName);
    fs::create_directories(root / "sys/class/tty" / tty.strName);
    fs::create_directory_symlink(interface / tty.strName,
                                 root / "sys/class/tty" / tty.strName / "device");
    if (!tty.strById.empty()) {
        fs::create_directories(root / "dev/serial/by-id");
        fs::create_symlink("../../" + tty.strName, root / "dev/serial/by-id" / tty.strById);
    }
}

// Everything unplugged.
void RemoveAll(const fs::path& root) {
    for (const char* pszFolder : {"dev", "sys"}) {
        fs::remove_all(root / pszFolder);
    }
}

class DeviceIdentityTest : public testing::TestWithParam<SIdentityRow> {};

TEST_P(DeviceIdentityTest, FindsTheSameDeviceAfterItCameBack) {
    const SIdentityRow& row = GetParam();
    CTempFolder folder;
    const fs::path root = folder.Path();
    AddTty(root, row.before);
    const CDeviceIdentity identities(root.string());
    const std::string strOpened = (root / "dev" / row.before.strName).string();

    const SDeviceIdentity identity = identities.Of(strOpened);
    EXPECT_EQ(identity.strPath, strOpened);
    EXPECT_EQ(identity.strById, row.before.strById);
    EXPECT_EQ(identity.strUsb, row.strExpectedUsb);
    EXPECT_EQ(identities.Find(identity), strOpened);  // still there

    RemoveAll(root);
    EXPECT_EQ(identities.Find(identity), "");  // away
    for (const SFakeTty& tty : row.arrAfter) {
        AddTty(root, tty);
    }
    const std::string strExpected =
        row.strFoundNode.empty() ? "" : (root / "dev" / row.strFoundNode).string();
    EXPECT_EQ(identities.Find(identity), strExpected);
}

const SFakeTty kById{"ttyUSB0", "usb-FTDI_FT232R_A50285BI-if00-port0", "A50285BI"};
const SFakeTty kBare{"ttyUSB0", "", "A50285BI"};
const SFakeTty kNoSerial{"ttyUSB0", "", ""};

INSTANTIATE_TEST_SUITE_P(
    DeviceIdentity, DeviceIdentityTest,
    testing::Values(
        SIdentityRow{"ByIdUnderAnotherName",
                     kById,
                     {{"ttyUSB1", "usb-FTDI_FT232R_A50285BI-if00-port0", "A50285BI"}},
                     "0403:6001:A50285BI:00",
                     "ttyUSB1"},
        SIdentityRow{"ByIdWhileAnotherAdapterHasTheOldName",
                     kById,
                     {{"ttyUSB0", "usb-FTDI_FT232R_B7-if00-port0", "B7", "00", "1-2"},
                      {"ttyUSB1", "usb-FTDI_FT232R_A50285BI-if00-port0", "A50285BI"}},
                     "0403:6001:A50285BI:00",
                     "ttyUSB1"},
        SIdentityRow{"UsbSerialWithoutUdev",
                     kBare,
                     {{"ttyUSB3", "", "A50285BI", "00", "1-4"}},
                     "0403:6001:A50285BI:00",
                     "ttyUSB3"},
        SIdentityRow{"AnotherAdapterOnTheOldName",
                     kBare,
                     {{"ttyUSB0", "", "B7"}},
                     "0403:6001:A50285BI:00",
                     ""},
        SIdentityRow{"AnotherInterfaceOfTheSameAdapter",
                     kBare,
                     {{"ttyUSB1", "", "A50285BI", "01"}},
                     "0403:6001:A50285BI:00",
                     ""},
        SIdentityRow{"NoSerialNumberMeansThePath", kNoSerial, {{"ttyUSB0", "", ""}}, "", "ttyUSB0"},
        SIdentityRow{"NoSerialNumberAndThePathGone", kNoSerial, {{"ttyUSB1", "", ""}}, "", ""}),
    [](const auto& info) { return info.param.pszName; });

TEST(DeviceIdentity, ALinkPointedAtAnotherNodeIsTheSameDevice) {
    CTempFolder folder;
    const fs::path root = folder.Path();
    WriteFile(root / "pts/3", "");
    const fs::path link = root / "ttyBoard";
    fs::create_symlink(root / "pts/3", link);
    const CDeviceIdentity identities(root.string());
    const SDeviceIdentity identity = identities.Of(link.string());
    EXPECT_EQ(identity, (SDeviceIdentity{"", "", link.string()}));

    fs::remove(root / "pts/3");
    EXPECT_EQ(identities.Find(identity), "");  // the link is left dangling
    WriteFile(root / "pts/7", "");
    fs::remove(link);
    fs::create_symlink(root / "pts/7", link);
    EXPECT_EQ(identities.Find(identity), link.string());
}

}  // namespace
