#pragma once
// CCodePage: the code page through which the boxes map bytes to characters (receive box) and
// typed characters to bytes (send box). The receive and send boxes of one window share one object
// (LinkCodePages in SendEdit.h), so a choice in either menu applies to both.
//
// Stored as "CODEPAGE" in section "SYSTEM" of the settings file, as the Windows code-page number:
// 936 for GBK (the default; any other stored value also gives GBK) or 65001 for UTF-8. Written
// the moment it changes.
#include <QObject>
#include <QStringDecoder>
#include <QStringEncoder>
#include <string>

enum : int { CP_GBK = 936, CP_UTF8 = 65001 };

// A fresh decoder for a code page (anything but CP_UTF8 means GBK). It keeps a character split
// between two calls (a GBK lead byte, a partial UTF-8 sequence) until its second part arrives;
// invalid bytes decode to some character, never to nothing. A UTF-8 byte-order mark is kept.
QStringDecoder CodePageDecoder(int nCodePage);
QStringEncoder CodePageEncoder(int nCodePage);

class CCodePage : public QObject {
    Q_OBJECT
public:
    explicit CCodePage(std::string strIniPath);

    int Get() const { return m_nCodePage; }
    // Stores and announces a new code page; unknown numbers are ignored, an unchanged one does
    // nothing.
    void Set(int nCodePage);

signals:
    void Changed();

private:
    std::string m_strIniPath;
    int m_nCodePage = CP_GBK;
};
