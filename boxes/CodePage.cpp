#include "CodePage.h"

#include <utility>

#include "IniFile.h"

QStringDecoder CodePageDecoder(int nCodePage) {
    // Received data is data: a byte-order mark shows like any other character.
    if (nCodePage == CP_UTF8) {
        return QStringDecoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    }
    return QStringDecoder("GBK", QStringConverter::Flag::ConvertInitialBom);
}

QStringEncoder CodePageEncoder(int nCodePage) {
    if (nCodePage == CP_UTF8) {
        return QStringEncoder(QStringConverter::Utf8);
    }
    return QStringEncoder("GBK");
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
