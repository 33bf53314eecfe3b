// CTextLog: received bytes to the lines of a text log, as the receive box's text mode shows them:
// decoded with the code page (GBK or UTF-8) and written as UTF-8, CR LF and CR CR LF ending a
// line (every LF with the newline option), other control bytes in caret notation ("^M", "^["),
// NUL as ".". Each line begins with the time of the read that brought its first byte,
// "[YYYY-MM-DD HH:MM:SS.mmm] ".
//
// A line is written as its characters arrive, not when it ends, so a device that sends no line
// ends still reaches the file; the pieces of a line simply follow each other in it. Marker lines
// (the port closed or opened) and sends ("TX ") end an unfinished line first.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "GbkDecoder.h"
#include "TimeStamp.h"
#include "Utf8Decoder.h"

class CTextLog {
public:
    CTextLog(bool bUtf8, bool bLfToCrLf) : m_bUtf8(bUtf8), m_bLfToCrLf(bLfToCrLf) {}

    // A change of code page starts its decoder afresh; a change of the newline option applies
    // from the next byte.
    void SetCodePage(bool bUtf8);
    void SetLfToCrLf(bool bLfToCrLf) { m_bLfToCrLf = bLfToCrLf; }

    // Appends to out the text of a read's bytes.
    void AppendBytes(std::string& out, const std::uint8_t* pBytes, std::size_t nCount,
                     ReadTime tRead);
    // Appends a send as a line of its own: its time, "TX " and its bytes as text (one line end at
    // the end dropped, other CRs and LFs in caret notation).
    void AppendSent(std::string& out, const std::uint8_t* pBytes, std::size_t nCount,
                    ReadTime tSent);
    // Appends a line of its own with the time tEvent (UTF-8 text).
    void AppendMarker(std::string& out, std::string_view strText, ReadTime tEvent);
    // Ends an unfinished line (a CR still waiting for its LF shows as "^M").
    void Finish(std::string& out);

private:
    void Put(std::string& out, char16_t ch);
    void PutCharacter(std::string& out, char32_t cp);
    void OpenLine(std::string& out);
    void PutPendingCrs(std::string& out);

    bool m_bUtf8;
    bool m_bLfToCrLf;
    CGbkDecoder m_gbk;
    CUtf8Decoder m_utf8;
    std::string m_strShown;         // the read's bytes as the box's text mode sees them
    std::vector<char16_t> m_units;  // and decoded
    ReadTime m_tRead{};             // the read being written
    ReadTime m_tLineFirst{};        // the read that brought the line's first byte
    bool m_bHaveFirst = false;      // the line has a byte
    bool m_bLineOpen = false;       // its time is written
    int m_nCrPending = 0;           // CRs that may yet be part of a line break
    char16_t m_chHighSurrogate = 0;
};
