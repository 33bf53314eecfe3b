#pragma once
// SRxOptions: what the receive box adds to the received bytes, kept in section "RX" of the
// settings file: "TIMESTAMP" (0/1: each line begins with its time), "FRAMEGAP" (0, 10, 20, 50,
// 100 or 500: a silence of that many milliseconds starts a new line; 0 none) and "ECHO" (0/1:
// sends show as lines of their own). Read when the box is made; any other value gives 0. Written
// when the window closes.
#include <array>
#include <string>

struct SRxOptions {
    static constexpr std::array<int, 6> kFrameGaps = {0, 10, 20, 50, 100, 500};

    bool bTimeStamps = false;
    int nFrameGapMs = 0;
    bool bEcho = false;

    static SRxOptions Read(const std::string& strIniPath);
    void Write(const std::string& strIniPath) const;  // failures are ignored
    bool operator==(const SRxOptions&) const = default;
};
