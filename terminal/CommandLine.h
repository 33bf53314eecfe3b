#pragma once
// The program's command line:
//   dive [DEVICE|COMn] [-b BAUD] [-d 6|7|8] [-p n|o|e|m|s] [-s 1|1.5|2] [--open] [--hex]
//        [--list] [--help] [--version]
// Parsing needs neither a display nor an application object, so --help, --version, --list and
// bad arguments are answered before any window system is asked for. What the command line gives
// holds for this run only; nothing of it is written to the settings file.
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

#include "PortInfo.h"

struct SCommandLine {
    enum class EAction { Run, Help, Version, List, Error };
    EAction action = EAction::Run;
    int nPort = 0;      // "COMn": n (1..32); 0 when none was given
    QString strDevice;  // a character device or a network address; empty when none was given
    std::optional<std::uint32_t> dwBaud;
    std::optional<int> nDataBits;  // 6, 7 or 8
    std::optional<int> nParity;    // 0 none, 1 odd, 2 even, 3 mark, 4 space
    std::optional<int> nStopBits;  // 0 one, 1 one and a half, 2 two
    bool bOpen = false;            // open the port at start
    bool bHex = false;             // show received bytes as hexadecimal
    QString strError;              // EAction::Error: what was wrong, a Chinese and an English line
};

// Parses the arguments after the program's name.
SCommandLine ParseCommandLine(const QStringList& arrArgs);
// Every option in Chinese and English.
QString CommandLineHelp();
// "diVE 1.04".
QString CommandLineVersion();
// The answer to --list: a header and a line for each port that has a device: entry, device path,
// /dev/serial/by-id name, driver, holder, separated by tabs ("-" where there is nothing).
QString FormatPortList(const std::vector<SPortRow>& arrRows);
// The exit status of a run refused for bad arguments.
constexpr int kBadArgumentsExit = 2;
