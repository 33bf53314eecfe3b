#include "RxRenderer.h"

#include <cmath>
#include <cstring>

#include "CharWidths.h"
#include "Codec.h"

namespace {

// Whether a character is shown otherwise than as itself: the C0 controls and DEL in caret
// notation, and characters that the document would take for structure (line and paragraph
// separators, frame markers, the object character) as U+FFFD.
bool IsShownOtherwise(char16_t ch) {
    return ch < 0x20 || ch == 0x7F || ch == 0x2028 || ch == 0x2029 || ch == 0xFDD0 ||
           ch == 0xFDD1 || ch == 0xFFFC;
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
                PutSubstitute(strOut, u'\r');
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
                PutSubstitute(strOut, u'\n');
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
            const char32_t ch32 = QChar::surrogateToUcs4(p[0], p[1]);
            if (widths.Drawable(ch32)) {
                Put(strOut, p, 2, widths.Advance(ch32));
            } else {
                PutSubstitute(strOut, ch);
            }
            ++p;
        } else if (IsShownOtherwise(ch) || !widths.Drawable(ch)) {
            PutSubstitute(strOut, ch);
        } else {
            Put(strOut, p, 1, widths.Advance(ch));
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

void CRxRenderer::PutSubstitute(QString& strOut, char16_t ch) {
    CCharWidths& widths = *m_layout.pWidths;
    if (ch < 0x20 || ch == 0x7F) {
        // Caret notation, as cat -v and editors show control bytes: CR "^M", LF "^J", ESC "^[",
        // DEL "^?". Every font has these two characters; the pair never wraps apart.
        const QChar caret[2] = {QChar(u'^'), QChar(static_cast<char16_t>(ch ^ 0x40))};
        Put(strOut, caret, 2,
            widths.Advance(caret[0].unicode()) + widths.Advance(caret[1].unicode()));
    } else {
        const QChar replacement(QChar::ReplacementCharacter);
        Put(strOut, &replacement, 1, widths.Advance(replacement.unicode()));
    }
}

void CRxRenderer::FlushPendingCr(QString& strOut) {
    for (; m_nPendingCr > 0; --m_nPendingCr) {
        PutSubstitute(strOut, u'\r');
    }
}
