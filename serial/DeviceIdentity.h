#pragma once
// Which device a port had open, told apart from the name the kernel gave it: an adapter that is
// unplugged and plugged in again (a board reset, a hub glitch, a laptop's sleep) often comes back
// under another node name (ttyUSB0 returns as ttyUSB1), and another adapter may take the old one.
//
// The identity of a device, strongest first:
//   1. its name in <root>/dev/serial/by-id (udev's stable name);
//   2. its USB vendor, product, serial number and interface, read from sysfs
//      (<root>/sys/class/tty/<name>/device and the folders above it), when it has a serial number;
//   3. else (pseudo-terminals, ttyS ports, devices without a serial number) the path it was
//      opened by, links not followed: a link that is pointed at another node stands for the
//      same device.
// A device with a by-id name or a USB identity is never found by its old path alone: that node may
// now belong to another adapter.
//
// Everything below the root folder ("/" normally) is read from the file system; tests hand in a
// folder of their own. No device is opened.
#include <string>

struct SDeviceIdentity {
    std::string strById;  // e.g. "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"; "" none
    std::string strUsb;   // "VID:PID:SERIAL:INTERFACE", e.g. "0403:6001:A50285BI:00"; "" none
    std::string strPath;  // the path the device was opened by

    bool operator==(const SDeviceIdentity&) const = default;
};

class CDeviceIdentity {
public:
    explicit CDeviceIdentity(std::string strRoot = "/");

    // The identity of the device at strPath, while it is there.
    SDeviceIdentity Of(const std::string& strPath) const;
    // Where the device with that identity is now: a path to open, or "" while it is away.
    std::string Find(const SDeviceIdentity& identity) const;

private:
    // "VID:PID:SERIAL:INTERFACE" of the tty node named strName, "" without a serial number.
    std::string UsbIdentityOf(const std::string& strName) const;

    std::string m_strRoot;
};
