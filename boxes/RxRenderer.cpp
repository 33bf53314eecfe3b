#include "RxRenderer.h"

#include <cmath>
#include <cstring>

#include "CharWidths.h"
#include "Codec.h"

namespace {

// The character shown for one the document must not hold as it is.
char16_t ShownChar(char16_t ch) {
    if (ch < 0x20) {
        return static_cast<char16_t>(0x2400 + ch);  // control pictures: CR "␍", LF "␊", ESC "␛"
    }
    switch (ch) {
        case 0x7F:
            return 0x2421;  // "␡"
        case 0x2028:        // line and paragraph separators would break the line,
        case 0x2029:
        case 0xFDD0:  // frame markers and the object character would be read as structure
        case 0xFDD1:
        case 0xFFFC:
            return 0xFFFD;
        default:
            return ch;
    }
}

}  // namespace

CRxRenderer::CRxRenderer(const SRxLayout& layout, std::uint64_t nStartByte,
                         std::uint64_t nStartChar)
    : m_layout(layout), m_decoder(layout.nCodePage), m_nByte(nStartByte), m_nChar(nStartChar) {}

void CRxRenderer::Render(const std::uint8_t* pBytes, std::size_t nCount, QString& strOut,
                         std::deque<SRxSyncPoint>& syncs) {
    m_nCharBase = m_nChar - static_cast<std::uint64_t>(strOut.size());
    if (m_layout.bHex) {
        RenderHex(pBytes, nCount, strOut, syncs);
    } else {
        RenderText(pBytes, nCount, strOut, syncs);
    }
    m_nByte += nCount;
    m_nChar = m_nCharBase + static_cast<std::uint64_t>(strOut.size());
}

void CRxRenderer::RenderHex(const std::uint8_t* pBytes, std::size_t nCount, QString& strOut,
                            std::deque<SRxSyncPoint>& syncs) {
    const std::uint64_t nPerLine = static_cast<std::uint64_t>(m_layout.nHexPerLine);
    const std::uint64_t nOutBase = m_nCharBase + static_cast<std::uint64_t>(strOut.size());
    m_strDisplay.clear();
    std::uint64_t nByte = m_nByte;
    while (nCount > 0) {
        const std::size_t nTake =
            static_cast<std::size_t>(std::min<std::uint64_t>(nCount, nPerLine - nByte % nPerLine));
        AppendHexText(m_strDisplay, pBytes, nTake);
        pBytes += nTake;
        nCount -= nTake;
        nByte += nTake;
        if (nByte % nPerLine == 0) {
            m_strDisplay += '\n';
            syncs.push_back({nByte, nOutBase + m_strDisplay.size()});
        }
    }
    strOut.append(QLatin1StringView(m_strDisplay));
}

void CRxRenderer::RenderText(const std::uint8_t* pBytes, std::size_t nCount, QString& strOut,
                             std::deque<SRxSyncPoint>& syncs) {
    m_strDisplay.clear();
    AppendDisplayText(m_strDisplay, pBytes, nCount, m_layout.bLfToCrLf);
    m_decoded.resize(CStreamDecoder::RequiredSpace(m_strDisplay.size()));
    const QChar* pEnd =
        m_decoder.Append(m_decoded.data(), m_strDisplay.data(), m_strDisplay.size());
    const QChar* p = m_decoded.data();

    // Each decoded LF is the next LF byte of the piece: that gives a hard break its byte offset.
    const std::uint8_t* pNextLf = pBytes;
    const std::uint8_t* const pBytesEnd = pBytes + nCount;
    CCharWidths& widths = *m_layout.pWidths;
    strOut.reserve(strOut.size() + (pEnd - p) + (pEnd - p) / 32);
    for (; p < pEnd; ++p) {
        const char16_t ch = p->unicode();
        if (ch == u'\r') {
            if (m_nPendingCr == 2) {  // a third CR: the oldest cannot end a line any more
                PutPicture(strOut, u'\r');
                --m_nPendingCr;
            }
            ++m_nPendingCr;
            continue;
        }
        if (ch == u'\n') {
            const auto* pLf = static_cast<const std::uint8_t*>(
                std::memchr(pNextLf, '\n', static_cast<std::size_t>(pBytesEnd - pNextLf)));
            pNextLf = pLf != nullptr ? pLf + 1 : pBytesEnd;
            if (m_nPendingCr == 0) {
                PutPicture(strOut, u'\n');
                continue;
            }
            m_nPendingCr = 0;
            strOut += u'\n';
            m_fX = 0;
            m_bLineUsed = false;
            syncs.push_back({m_nByte + static_cast<std::uint64_t>(pNextLf - pBytes),
                             m_nCharBase + static_cast<std::uint64_t>(strOut.size())});
            continue;
        }
        FlushPendingCr(strOut);
        if (ch == u'\t') {
            const qreal fTab = widths.TabStop();
            qreal fWidth = fTab - std::fmod(m_fX, fTab);
            if (m_bLineUsed && m_fX + fWidth > m_layout.fLineWidth) {
                fWidth = fTab;
            }
            Put(strOut, p, 1, fWidth);
        } else if (p->isHighSurrogate() && p + 1 < pEnd && p[1].isLowSurrogate()) {
            Put(strOut, p, 2, widths.Advance(QChar::surrogateToUcs4(p[0], p[1])));
            ++p;
        } else {
            const char16_t shown = ShownChar(ch);
            if (shown == ch) {
                Put(strOut, p, 1, widths.Advance(ch));
            } else {
                PutPicture(strOut, shown);
            }
        }
    }
}

void CRxRenderer::Put(QString& strOut, const QChar* pChars, int nChars, qreal fWidth) {
    if (m_bLineUsed && m_fX + fWidth > m_layout.fLineWidth) {
        strOut += u'\n';
        m_fX = 0;
    }
    strOut.append(pChars, nChars);
    m_fX += fWidth;
    m_bLineUsed = true;
}

void CRxRenderer::PutPicture(QString& strOut, char16_t ch) {
    const QChar shown(ShownChar(ch));
    Put(strOut, &shown, 1, m_layout.pWidths->Advance(shown.unicode()));
}

void CRxRenderer::FlushPendingCr(QString& strOut) {
    for (; m_nPendingCr > 0; --m_nPendingCr) {
        PutPicture(strOut, u'\r');
    }
}
