#pragma once
// CCodePage: the code page through which the boxes map bytes to characters (receive box) and
// typed characters to bytes (send box). The receive and send boxes of one window share one object
// (LinkCodePages in SendEdit.h), so a choice in either menu applies to both.
//
// Stored as "CODEPAGE" in section "SYSTEM" of the settings file, as the Windows code-page number:
// 936 for GBK (the default; any other stored value also gives GBK) or 65001 for UTF-8. Written
// the moment it changes.
#include <QObject>
#include <QStringEncoder>
#include <cstddef>
#include <cstdint>
#include <string>

#include "GbkDecoder.h"
#include "Utf8Decoder.h"

enum : int { CP_GBK = 936, CP_UTF8 = 65001 };

// CStreamDecoder: decodes a byte stream that arrives in pieces with a code page (anything but
// CP_UTF8 means GBK). A character split between two pieces (a GBK lead byte, a partial UTF-8
// sequence) waits for its second part, and the text never depends on where the stream was cut.
// Invalid bytes decode to some character, never to nothing: GBK exactly as Qt's converter decodes
// it (CGbkDecoder, a table taken from that converter), UTF-8 by CUtf8Decoder (Qt's own stateful
// UTF-8 decoder gives different text for invalid input depending on where the pieces end). Small
// and cheap to construct and copy: the screen starts one for every front it drops.
class CStreamDecoder {
public:
    explicit CStreamDecoder(int nCodePage);
    // Room that Append needs for nBytes bytes.
    static std::size_t RequiredSpace(std::size_t nBytes) { return 2 * nBytes + 2; }
    // Decodes the next piece into pOut; returns the end of what was written.
    QChar* Append(QChar* pOut, const char* pBytes, std::size_t nBytes);
    // Part of a character waits for the next piece.
    bool IsWaiting() const { return m_bUtf8 ? m_utf8.IsWaiting() : m_gbk.IsWaiting(); }

private:
    bool m_bUtf8;
    CGbkDecoder m_gbk;
    CUtf8Decoder m_utf8;
};

// The text in the code page's bytes. Characters GBK lacks take their GB18030 form, so none is
// lost to a "?".
QByteArray EncodeForCodePage(int nCodePage, const QString& strText);

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
