#pragma once
// What each of the two racing windows saves in a round (dive_settings_racer): every key differs
// between the two, so a file that mixes them shows.
#include <array>

struct SRacerKey {
    const char* pszSection;
    const char* pszKey;
};
inline constexpr std::array<SRacerKey, 7> kRacerKeys = {{{"PORT", "COM"},
                                                         {"PORT", "DATABITS"},
                                                         {"PORT", "STOPBITS"},
                                                         {"PORT", "PARITY"},
                                                         {"PORT", "BAUD"},
                                                         {"SYSTEM", "TXFORMAT"},
                                                         {"SYSTEM", "PERIOD"}}};

inline std::array<int, 7> RacerValues(int nId, int nRound) {
    return {(2 * nRound + nId) % 32, nId, nId, nId + 1, (nRound + 7 * nId) % 15, nId,
            1000 * nId + nRound};
}
