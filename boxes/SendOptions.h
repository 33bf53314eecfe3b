#pragma once
// SSendOptions: how the send box frames each send and how a file goes out, kept in section "TX"
// of the settings file: "EOL" (0 none, 1 CR, 2 LF, 3 CR LF), "CHECKSUM" (0 none, 1 8-bit sum,
// 2 8-bit exclusive or, 3 CRC-8, 4 CRC-16/MODBUS, 5 CRC-16/CCITT-FALSE, 6 CRC-32) and "FILEMODE"
// (0 the whole file as one stream, 1 line by line). Read when the box is made; a missing or
// out-of-range value gives 0. Written when the window closes.
#include <string>

#include "SendFrame.h"

enum class EFileSendMode { Whole, ByLine };

struct SSendOptions {
    ELineEnd eLineEnd = ELineEnd::None;
    EChecksum eChecksum = EChecksum::None;
    EFileSendMode eFileMode = EFileSendMode::Whole;

    static SSendOptions Read(const std::string& strIniPath);
    void Write(const std::string& strIniPath) const;  // failures are ignored
    bool operator==(const SSendOptions&) const = default;
};
