#include "DeviceIdentity.h"

#include <filesystem>
#include <fstream>

#include "NetAddress.h"
#include "PortInfo.h"

namespace fs = std::filesystem;

namespace {

// The first line of a sysfs attribute, "" when it cannot be read.
std::string ReadAttribute(const fs::path& file) {
    std::ifstream in(file);
    std::string strValue;
    std::getline(in, strValue);
    return strValue;
}

}  // namespace

CDeviceIdentity::CDeviceIdentity(std::string strRoot) : m_strRoot(std::move(strRoot)) {}

SDeviceIdentity CDeviceIdentity::Of(const std::string& strPath) const {
    SDeviceIdentity identity;
    identity.strPath = strPath;
    std::error_code ec;
    const fs::path real = fs::canonical(strPath, ec);
    if (ec) {
        return identity;
    }
    identity.strById = ByIdNameOf(m_strRoot, real.string());
    identity.strUsb = UsbIdentityOf(real.filename().string());
    return identity;
}

std::string CDeviceIdentity::UsbIdentityOf(const std::string& strName) const {
    std::error_code ec;
    fs::path folder = fs::canonical(fs::path(m_strRoot) / "sys/class/tty" / strName / "device", ec);
    // The USB interface holds the tty (cdc_acm) or its usb-serial port (ftdi_sio and the like);
    // the USB device with its vendor, product and serial number is the folder above.
    std::string strInterface;
    for (int nLevel = 0; !ec && nLevel < 4 && folder.has_relative_path();
         ++nLevel, folder = folder.parent_path()) {
        if (strInterface.empty()) {
            strInterface = ReadAttribute(folder / "bInterfaceNumber");
        }
        const std::string strVendor = ReadAttribute(folder / "idVendor");
        if (strVendor.empty()) {
            continue;
        }
        const std::string strSerial = ReadAttribute(folder / "serial");
        if (strSerial.empty()) {
            return {};  // identical adapters without one cannot be told apart
        }
        return strVendor + ":" + ReadAttribute(folder / "idProduct") + ":" + strSerial + ":" +
               strInterface;
    }
    return {};
}

std::string CDeviceIdentity::Find(const SDeviceIdentity& identity) const {
    std::error_code ec;
    if (!identity.strById.empty()) {
        const fs::path link = fs::path(m_strRoot) / "dev/serial/by-id" / identity.strById;
        if (const fs::path real = fs::canonical(link, ec); !ec) {
            return real.string();
        }
    }
    if (!identity.strUsb.empty()) {
        for (const auto& entry :
             fs::directory_iterator(fs::path(m_strRoot) / "sys/class/tty", ec)) {
            const std::string strName = entry.path().filename().string();
            const fs::path node = fs::path(m_strRoot) / "dev" / strName;
            std::error_code ecNode;
            if (UsbIdentityOf(strName) == identity.strUsb && fs::exists(node, ecNode)) {
                return node.string();
            }
        }
    }
    if (!identity.strById.empty() || !identity.strUsb.empty()) {
        return {};
    }
    // A port on the network has no node to appear: whether its server is back, only a try tells.
    if (IsNetAddress(identity.strPath)) {
        return identity.strPath;
    }
    // A link is followed now, so a re-pointed one leads to its new node.
    return fs::exists(identity.strPath, ec) ? identity.strPath : std::string();
}
