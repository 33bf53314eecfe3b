#include "CodePage.h"

#include <utility>

#include "IniFile.h"

CStreamDecoder::CStreamDecoder(int nCodePage) : m_bUtf8(nCodePage == CP_UTF8) {}

QChar* CStreamDecoder::Append(QChar* pOut, const char* pBytes, std::size_t nBytes) {
    if (m_bUtf8) {
        return AppendUtf8(pOut, pBytes, nBytes);
    }
    // QChar is a char16_t in a class: Qt reads one as the other too.
    return reinterpret_cast<QChar*>(
        m_gbk.Append(reinterpret_cast<char16_t*>(pOut), pBytes, nBytes));
}

QChar* CStreamDecoder::AppendUtf8(QChar* pOut, const char* pBytes, std::size_t nBytes) {
    auto put = [&pOut](char32_t cp) {
        if (cp > 0xFFFF) {
            *pOut++ = QChar(QChar::highSurrogate(cp));
            *pOut++ = QChar(QChar::lowSurrogate(cp));
        } else {
            *pOut++ = QChar(static_cast<char16_t>(cp));
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
                put(QChar::ReplacementCharacter);
            }
            continue;
        }
        if (by < m_byLower || by > m_byUpper) {
            // The sequence so far is one invalid part; the byte starts afresh.
            put(QChar::ReplacementCharacter);
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

QByteArray EncodeForCodePage(int nCodePage, const QString& strText) {
    if (nCodePage == CP_UTF8) {
        return QStringEncoder(QStringConverter::Utf8).encode(strText);
    }
    QStringEncoder gbk("GBK");
    QByteArray bytes = gbk.encode(strText);
    // GBK writes "?" for a character it lacks (a no-break space, most of Unicode beyond CJK):
    // such characters take their GB18030 form, of which GBK is the two-byte part.
    if (bytes.count('?') == strText.count(u'?')) {
        return bytes;
    }
    QStringEncoder gb18030("GB18030");
    bytes.clear();
    for (qsizetype i = 0; i < strText.size(); ++i) {
        const qsizetype nLength = strText[i].isHighSurrogate() && i + 1 < strText.size() ? 2 : 1;
        const QStringView strChar = QStringView(strText).mid(i, nLength);
        const QByteArray byChar = gbk.encode(strChar);
        bytes += byChar == "?" && strChar != u"?" ? gb18030.encode(strChar) : byChar;
        i += nLength - 1;
    }
    return bytes;
}

CCodePage::CCodePage(std::string strIniPath) : m_strIniPath(std::move(strIniPath)) {
    const int nStored = CIniFile(m_strIniPath).ReadInt("SYSTEM", "CODEPAGE", CP_GBK);
    m_nCodePage = nStored == CP_UTF8 ? CP_UTF8 : CP_GBK;
}

void CCodePage::Set(int nCodePage) {
    if ((nCodePage != CP_GBK && nCodePage != CP_UTF8) || nCodePage == m_nCodePage) {
        return;
    }
    m_nCodePage = nCodePage;
    CIniFile(m_strIniPath).WriteInt("SYSTEM", "CODEPAGE", m_nCodePage);
    emit Changed();
}
