#pragma once
// The main window's lists and its settings in the settings file: the five list positions and the
// automatic reconnection (section "PORT"), the send format and the auto-send period (section
// "SYSTEM").
#include <array>
#include <cstdint>
#include <string>

// The entries of the port-settings lists, in list order; a list position is what is stored.
inline constexpr int kPortCount = 32;  // "COM1" .. "COM32"
inline constexpr std::array<std::uint32_t, 15> kBaudRates = {110,   300,   600,    1200,   2400,
                                                             4800,  9600,  14400,  19200,  38400,
                                                             56000, 57600, 115200, 128000, 256000};
// The position of a rate in kBaudRates, -1 for a rate outside the list.
int BaudRatePosition(std::uint32_t dwRate);
inline constexpr std::array<const char*, 3> kDataBits = {"6", "7", "8"};
inline constexpr std::array<const char*, 5> kParities = {"None", "Odd", "Even", "Mark", "Space"};
inline constexpr std::array<const char*, 3> kStopBits = {"1", "1.5", "2"};

// The send-format options; stored as 0, 1 and -1.
enum class ESendFormat { None = -1, Text = 0, Hex = 1 };
ESendFormat SendFormatFromCode(int nCode);  // any other code: None
inline int SendFormatCode(ESendFormat eFormat) {
    return static_cast<int>(eFormat);
}

struct STerminalSettings {
    int nCom;  // list positions, -1 for a list without a selection
    int nDataBits;
    int nStopBits;
    int nParity;
    int nBaud;
    int nTxFormat;       // taken as read
    int nPeriod;         // milliseconds, taken as read
    int nAutoReconnect;  // 0 or 1: wait for a lost device and reopen it ("AUTORECONNECT")

    // Missing keys give their defaults; a list position outside its list gives its default.
    static STerminalSettings Load(const std::string& strIniPath);
    void Save(const std::string& strIniPath) const;
};
