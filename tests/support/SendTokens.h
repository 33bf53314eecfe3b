#pragma once
// What the hexadecimal send format makes of a text, counted independently of the codec: the
// random tests and the fuzz target check the codec against it.
#include <cstddef>
#include <string>

// C's isspace in the "C" locale: blank, tab, line feed, vertical tab, form feed, carriage return.
inline bool IsSpace(char c) {
    return c == ' ' || (c >= 0x09 && c <= 0x0D);
}

// Tokens are the blank-separated pieces that hold something besides white space.
inline std::size_t CountTokens(const std::string& strText) {
    std::size_t nTokens = 0;
    bool bInToken = false;
    for (char c : strText) {
        if (c == ' ') {
            bInToken = false;
        } else if (!IsSpace(c) && !bInToken) {
            bInToken = true;
            ++nTokens;
        }
    }
    return nTokens;
}
