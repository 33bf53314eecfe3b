#include "SendHistory.h"

#include <algorithm>
#include <cstdio>

#include "IniFile.h"

namespace {

constexpr const char* kSection = "HISTORY";

std::string KeyOf(std::size_t nIndex) {
    return std::to_string(nIndex + 1);
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

}  // namespace

std::string EscapeHistoryText(std::string_view text) {
    std::string strOut;
    strOut.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const bool bEnd = i == 0 || i + 1 == text.size();
        switch (c) {
            case '\\':
                strOut += "\\\\";
                continue;
            case '\r':
                strOut += "\\r";
                continue;
            case '\n':
                strOut += "\\n";
                continue;
            case '\t':
                strOut += "\\t";
                continue;
            default:
                break;
        }
        // Blanks at the ends would be trimmed by the reader; the others mean something to INI
        // readers.
        if (c < 0x20 || c == 0x7F || c == '=' || c == '[' || c == ']' || c == ';' || c == '"' ||
            (c == ' ' && bEnd)) {
            char szHex[5];
            std::snprintf(szHex, sizeof szHex, "\\x%02X", c);
            strOut += szHex;
        } else {
            strOut += static_cast<char>(c);
        }
    }
    return strOut;
}

std::optional<std::string> UnescapeHistoryText(std::string_view text) {
    std::string strOut;
    strOut.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            strOut += text[i];
            continue;
        }
        if (++i == text.size()) {
            return std::nullopt;
        }
        switch (text[i]) {
            case '\\':
                strOut += '\\';
                break;
            case 'r':
                strOut += '\r';
                break;
            case 'n':
                strOut += '\n';
                break;
            case 't':
                strOut += '\t';
                break;
            case 'x': {
                const int nHigh = i + 1 < text.size() ? HexValue(text[i + 1]) : -1;
                const int nLow = i + 2 < text.size() ? HexValue(text[i + 2]) : -1;
                if (nHigh < 0 || nLow < 0) {
                    return std::nullopt;
                }
                strOut += static_cast<char>(nHigh * 16 + nLow);
                i += 2;
                break;
            }
            default:
                return std::nullopt;
        }
    }
    return strOut;
}

CSendHistory::CSendHistory(std::string strIniPath) : m_strIniPath(std::move(strIniPath)) {
    std::vector<std::string> arrKeys;
    for (std::size_t i = 0; i < kMaxEntries; ++i) {
        arrKeys.push_back(KeyOf(i));
    }
    for (const std::string& strValue : CIniFile(m_strIniPath).ReadStrings(kSection, arrKeys, "")) {
        if (strValue.size() < 2 || strValue[1] != ':' ||
            (strValue[0] != 'T' && strValue[0] != 'H')) {
            continue;
        }
        std::optional<std::string> strText =
            UnescapeHistoryText(std::string_view(strValue).substr(2));
        if (strText && !strText->empty()) {
            m_arrEntries.push_back({std::move(*strText), strValue[0] == 'H'});
        }
    }
}

void CSendHistory::Add(SHistoryEntry entry) {
    if (entry.strText.empty() || (!m_arrEntries.empty() && m_arrEntries.front() == entry)) {
        return;
    }
    std::erase(m_arrEntries, entry);
    m_arrEntries.insert(m_arrEntries.begin(), std::move(entry));
    if (m_arrEntries.size() > kMaxEntries) {
        m_arrEntries.resize(kMaxEntries);
    }
    Write();
}

void CSendHistory::Clear() {
    if (!m_arrEntries.empty()) {
        m_arrEntries.clear();
        Write();
    }
}

void CSendHistory::Write() const {
    std::vector<std::string> arrKeys;
    std::vector<SIniEntry> arrEntries;
    arrKeys.reserve(kMaxEntries);  // the entries point into the keys
    for (std::size_t i = 0; i < kMaxEntries; ++i) {
        arrKeys.push_back(KeyOf(i));
        std::string strValue;
        if (i < m_arrEntries.size()) {
            strValue =
                (m_arrEntries[i].bHex ? "H:" : "T:") + EscapeHistoryText(m_arrEntries[i].strText);
        }
        arrEntries.push_back({kSection, arrKeys.back(), std::move(strValue)});
    }
    CIniFile(m_strIniPath).WriteEntries(arrEntries);
}
