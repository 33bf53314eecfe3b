#include "CodePage.h"

#include <utility>

#include "IniFile.h"

CStreamDecoder::CStreamDecoder(int nCodePage) : m_bUtf8(nCodePage == CP_UTF8) {}

QChar* CStreamDecoder::Append(QChar* pOut, const char* pBytes, std::size_t nBytes) {
    // QChar is a char16_t in a class: Qt reads one as the other too.
    auto* pUnits = reinterpret_cast<char16_t*>(pOut);
    return reinterpret_cast<QChar*>(m_bUtf8 ? m_utf8.Append(pUnits, pBytes, nBytes)
                                            : m_gbk.Append(pUnits, pBytes, nBytes));
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
