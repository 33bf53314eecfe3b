#include "Codec.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr std::size_t kHexCharsPerByte = 3;
constexpr std::uint8_t kNotDigit = 0xFF;

// "XX " for every byte value, so rendering is one table copy a byte.
constexpr std::array<std::array<char, kHexCharsPerByte>, 256> MakeHexTable() {
    std::array<std::array<char, kHexCharsPerByte>, 256> table{};
    for (std::size_t n = 0; n < table.size(); ++n) {
        table[n] = {kHexDigits[n >> 4], kHexDigits[n & 0x0F], ' '};
    }
    return table;
}
constexpr auto kHexTable = MakeHexTable();

// Digit value of a single-byte character after upper-casing, or kNotDigit.
constexpr std::array<std::uint8_t, 256> MakeDigitTable() {
    std::array<std::uint8_t, 256> table{};
    table.fill(kNotDigit);
    for (int n = 0; n < 10; ++n) {
        table['0' + n] = static_cast<std::uint8_t>(n);
    }
    for (int n = 0; n < 6; ++n) {
        table['A' + n] = static_cast<std::uint8_t>(10 + n);
        table['a' + n] = static_cast<std::uint8_t>(10 + n);
    }
    return table;
}
constexpr auto kDigitTable = MakeDigitTable();

constexpr bool IsSpace(unsigned char c) {
    return c == ' ' || (c >= 0x09 && c <= 0x0D);
}

std::string_view Trim(std::string_view text) {
    std::size_t nBegin = 0;
    std::size_t nEnd = text.size();
    while (nBegin < nEnd && IsSpace(static_cast<unsigned char>(text[nBegin]))) {
        ++nBegin;
    }
    while (nEnd > nBegin && IsSpace(static_cast<unsigned char>(text[nEnd - 1]))) {
        --nEnd;
    }
    return text.substr(nBegin, nEnd - nBegin);
}

// GBK: a lead byte 0x81-0xFE and a trail byte 0x40-0x7E or 0x80-0xFE make one character.
constexpr bool IsLeadByte(unsigned char c) {
    return c >= 0x81 && c <= 0xFE;
}
constexpr bool IsTrailByte(unsigned char c) {
    return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFE);
}

// Copies bytes as display characters (NUL shows as '.'); returns the end of the copy. A plain
// select per byte, which the compiler turns into vector code.
char* CopyShowingNul(char* pOut, const std::uint8_t* pBytes, std::size_t nCount) {
    for (std::size_t n = 0; n < nCount; ++n) {
        pOut[n] = pBytes[n] == 0 ? '.' : static_cast<char>(pBytes[n]);
    }
    return pOut + nCount;
}

}  // namespace

void AppendHexText(std::string& out, const std::uint8_t* pBytes, std::size_t nCount) {
    if (nCount == 0) {
        return;
    }
    const std::size_t nOld = out.size();
    out.resize(nOld + nCount * kHexCharsPerByte);
    char* pOut = out.data() + nOld;
    for (std::size_t n = 0; n < nCount; ++n, pOut += kHexCharsPerByte) {
        std::copy_n(kHexTable[pBytes[n]].data(), kHexCharsPerByte, pOut);
    }
}

void AppendDisplayText(std::string& out, const std::uint8_t* pBytes, std::size_t nCount,
                       bool bLfToCrLf) {
    if (nCount == 0) {
        return;
    }
    const std::uint8_t* const pEnd = pBytes + nCount;
    const std::size_t nExtra =
        bLfToCrLf ? static_cast<std::size_t>(std::count(pBytes, pEnd, std::uint8_t{'\n'})) : 0;
    const std::size_t nOld = out.size();
    out.resize(nOld + nCount + nExtra);
    char* pOut = out.data() + nOld;
    if (nExtra == 0) {
        CopyShowingNul(pOut, pBytes, nCount);
        return;
    }
    // Runs between line feeds are copied whole; each line feed gets its CR.
    for (const std::uint8_t* p = pBytes; p < pEnd;) {
        const auto* pLf = static_cast<const std::uint8_t*>(std::memchr(p, '\n', pEnd - p));
        const std::uint8_t* const pRunEnd = pLf != nullptr ? pLf : pEnd;
        pOut = CopyShowingNul(pOut, p, static_cast<std::size_t>(pRunEnd - p));
        if (pLf == nullptr) {
            break;
        }
        *pOut++ = '\r';
        *pOut++ = '\n';
        p = pLf + 1;
    }
}

std::string BytesToHexText(const std::uint8_t* pBytes, std::size_t nCount) {
    std::string strText;
    AppendHexText(strText, pBytes, nCount);
    return strText;
}

std::string BytesToDisplayText(const std::uint8_t* pBytes, std::size_t nCount, bool bLfToCrLf) {
    std::string strText;
    AppendDisplayText(strText, pBytes, nCount, bLfToCrLf);
    return strText;
}

std::uint8_t HexTokenToByte(std::string_view token) {
    // Walk the characters from the front (a GBK trail byte cannot be told from a single byte when
    // read backwards) and keep the digit values of the last two.
    std::uint8_t nHigh = kNotDigit;
    std::uint8_t nLow = kNotDigit;
    std::size_t n = 0;
    while (n < token.size()) {
        const auto c = static_cast<unsigned char>(token[n]);
        nHigh = nLow;
        if (IsLeadByte(c) && n + 1 < token.size() &&
            IsTrailByte(static_cast<unsigned char>(token[n + 1]))) {
            nLow = kNotDigit;
            n += 2;
        } else {
            nLow = kDigitTable[c];
            n += 1;
        }
    }
    const std::uint8_t nValue = nHigh == kNotDigit ? 0 : nHigh;
    if (nLow == kNotDigit) {
        return nValue;
    }
    return static_cast<std::uint8_t>(nValue * 16 + nLow);
}

std::vector<std::uint8_t> TextToSendBytes(std::string_view text, bool bHexMode) {
    std::string_view rest = Trim(text);
    std::vector<std::uint8_t> bytes;
    if (!bHexMode) {
        bytes.assign(rest.begin(), rest.end());
        return bytes;
    }
    while (!rest.empty() && bytes.size() < kMaxSendBytes) {
        const std::size_t nBlank = rest.find(' ');
        const std::string_view token = rest.substr(0, nBlank);
        rest = nBlank == std::string_view::npos ? std::string_view{} : rest.substr(nBlank + 1);
        bytes.push_back(HexTokenToByte(Trim(token)));
        rest = Trim(rest);
    }
    return bytes;
}
