#include "TextLog.h"

#include "Codec.h"

void CTextLog::SetCodePage(bool bUtf8) {
    if (bUtf8 != m_bUtf8) {
        m_bUtf8 = bUtf8;
        m_gbk.Reset();
        m_utf8 = CUtf8Decoder();
    }
}

void CTextLog::AppendBytes(std::string& out, const std::uint8_t* pBytes, std::size_t nCount,
                           ReadTime tRead) {
    m_tRead = tRead;
    // The piece's first byte may start a line that shows only with a later piece (a character
    // cut between reads).
    if (!m_bHaveFirst && nCount > 0) {
        m_bHaveFirst = true;
        m_tLineFirst = tRead;
    }
    m_strShown.clear();
    AppendDisplayText(m_strShown, pBytes, nCount, m_bLfToCrLf);
    m_units.resize(CUtf8Decoder::RequiredSpace(m_strShown.size()));
    char16_t* const pEnd = m_bUtf8
                               ? m_utf8.Append(m_units.data(), m_strShown.data(), m_strShown.size())
                               : m_gbk.Append(m_units.data(), m_strShown.data(), m_strShown.size());
    for (const char16_t* p = m_units.data(); p != pEnd; ++p) {
        Put(out, *p);
    }
}

void CTextLog::AppendMarker(std::string& out, std::string_view strText, ReadTime tEvent) {
    Finish(out);
    AppendTimeStamp(out, tEvent, true);
    out += strText;
    out += '\n';
}

void CTextLog::AppendSent(std::string& out, const std::uint8_t* pBytes, std::size_t nCount,
                          ReadTime tSent) {
    Finish(out);
    if (nCount > 0 && pBytes[nCount - 1] == '\n') {
        --nCount;
    }
    if (nCount > 0 && pBytes[nCount - 1] == '\r') {
        --nCount;
    }
    AppendTimeStamp(out, tSent, true);
    out += "TX ";
    // A log of its own decodes the send, so that a character cut in the received stream waits.
    CTextLog sent(m_bUtf8, false);
    sent.m_bLineOpen = true;
    sent.AppendBytes(out, pBytes, nCount, tSent);
    sent.PutPendingCrs(out);
    out += '\n';
}

void CTextLog::Finish(std::string& out) {
    PutPendingCrs(out);
    if (m_bLineOpen) {
        out += '\n';
    }
    m_bLineOpen = false;
    m_bHaveFirst = false;
}

void CTextLog::Put(std::string& out, char16_t ch) {
    if (!m_bHaveFirst) {
        m_bHaveFirst = true;
        m_tLineFirst = m_tRead;
    }
    if (ch == u'\r') {
        // CR LF and CR CR LF are one line break: a third CR cannot be part of it.
        if (m_nCrPending == 2) {
            OpenLine(out);
            out += "^M";
        } else {
            ++m_nCrPending;
        }
        return;
    }
    if (ch == u'\n' && m_nCrPending > 0) {
        m_nCrPending = 0;
        OpenLine(out);
        out += '\n';
        m_bLineOpen = false;
        m_bHaveFirst = false;
        return;
    }
    PutPendingCrs(out);
    OpenLine(out);
    if (ch < 0x20 && ch != u'\t') {
        out += '^';
        out += static_cast<char>(ch + 0x40);
    } else if (ch == 0x7F) {
        out += "^?";
    } else if (ch >= 0xD800 && ch <= 0xDBFF) {
        m_chHighSurrogate = ch;  // the decoders give both halves of a pair in one piece
    } else if (ch >= 0xDC00 && ch <= 0xDFFF && m_chHighSurrogate != 0) {
        PutCharacter(out, 0x10000 + ((m_chHighSurrogate - 0xD800) << 10) + (ch - 0xDC00));
        m_chHighSurrogate = 0;
    } else {
        PutCharacter(out, ch);
    }
}

void CTextLog::PutCharacter(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

void CTextLog::OpenLine(std::string& out) {
    if (!m_bLineOpen) {
        m_bLineOpen = true;
        AppendTimeStamp(out, m_tLineFirst, true);
    }
}

void CTextLog::PutPendingCrs(std::string& out) {
    if (m_nCrPending > 0) {
        OpenLine(out);
        for (; m_nCrPending > 0; --m_nCrPending) {
            out += "^M";
        }
    }
}
