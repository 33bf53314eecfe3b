#include "Utf8Decoder.h"

namespace {
constexpr char16_t kReplacement = 0xFFFD;
}  // namespace

char16_t* CUtf8Decoder::Append(char16_t* pOut, const char* pBytes, std::size_t nBytes) {
    auto put = [&pOut](char32_t cp) {
        if (cp > 0xFFFF) {
            *pOut++ = static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            *pOut++ = static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            *pOut++ = static_cast<char16_t>(cp);
        }
    };
    for (std::size_t i = 0; i < nBytes; ++i) {
        const auto by = static_cast<std::uint8_t>(pBytes[i]);
        if (m_nNeeded == 0) {
            if (by < 0x80) {
                put(by);
            } else if (by >= 0xC2 && by <= 0xDF) {
                m_nNeeded = 1;
                m_cp = by & 0x1F;
            } else if (by >= 0xE0 && by <= 0xEF) {
                m_byLower = by == 0xE0 ? 0xA0 : 0x80;  // no overlong forms,
                m_byUpper = by == 0xED ? 0x9F : 0xBF;  // no surrogates
                m_nNeeded = 2;
                m_cp = by & 0x0F;
            } else if (by >= 0xF0 && by <= 0xF4) {
                m_byLower = by == 0xF0 ? 0x90 : 0x80;
                m_byUpper = by == 0xF4 ? 0x8F : 0xBF;  // nothing above U+10FFFF
                m_nNeeded = 3;
                m_cp = by & 0x07;
            } else {
                put(kReplacement);
            }
            continue;
        }
        if (by < m_byLower || by > m_byUpper) {
            // The sequence so far is one invalid part; the byte starts afresh.
            put(kReplacement);
            m_nNeeded = 0;
            m_byLower = 0x80;
            m_byUpper = 0xBF;
            --i;
            continue;
        }
        m_byLower = 0x80;
        m_byUpper = 0xBF;
        m_cp = (m_cp << 6) | (by & 0x3F);
        if (--m_nNeeded == 0) {
            put(m_cp);
        }
    }
    return pOut;
}
