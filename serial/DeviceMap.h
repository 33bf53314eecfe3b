#pragma once
// Which device a port number opens. The user picks "COM1" to "COM32"; section "DEVICES" of the
// settings file may map "COM<n>" to a device path. Numbers without a key are filled, in order,
// with the serial devices present, in a stable order:
//   1. the links in <root>/dev/serial/by-id, sorted by name;
//   2. <root>/dev/ttyACM*, then <root>/dev/ttyUSB*, in number order;
//   3. <root>/dev/ttyS* that sysfs says have a UART behind them (see UartProbe);
//   4. <root>/dev/ttyAMA*, then <root>/dev/rfcomm*.
// No device appears twice: paths are compared after following links. A number that is left
// over has no device ("").
//
// Everything depends only on the folder that stands for "/" and the configured paths, so tests
// hand in a folder of their own.
#include <functional>
#include <string>
#include <vector>

class CDeviceMap {
public:
    static constexpr unsigned kPortCount = 32;
    // Whether the ttyS node strPath (named strName, e.g. "ttyS0") has a UART behind it. The
    // default reads <root>/sys/class/tty/<name>/type (the serial core's port type, 0 for none)
    // and never opens the node; a port whose type cannot be read counts as none.
    using UartProbe = std::function<bool(const std::string& strPath, const std::string& strName)>;

    explicit CDeviceMap(std::string strRoot = "/", UartProbe fnProbe = {});

    // The devices present, in the order above, as paths below the root.
    std::vector<std::string> PresentDevices() const;
    // The device of every port: element 0 is COM1. arrConfigured[i] (may be shorter than
    // kPortCount) is the configured path of COM<i+1>, "" for none.
    std::vector<std::string> Build(const std::vector<std::string>& arrConfigured) const;

    // The configured paths of section "DEVICES" in the settings file (kPortCount entries).
    static std::vector<std::string> ReadConfigured(const std::string& strIniPath);

private:
    bool HasUart(const std::string& strPath, const std::string& strName) const;

    std::string m_strRoot;
    UartProbe m_fnProbe;
};
