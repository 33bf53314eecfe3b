#include "RxRenderer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string_view>

#include "ByteRing.h"
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

// Kinds of shown characters, for wrapping (see RxRenderer.h). A caret pair or U+FFFD is kind 0,
// part of a word like a letter.
enum : unsigned {
    kBlank = 1,    // a line may break after it
    kHanging = 2,  // may pass the edge at the end of a line (not TAB)
    kWide = 4,     // a word of its own
    kOpening = 8,  // no break after it
    kClosing = 16  // no break before it
};

// The East Asian wide characters: Hangul, the CJK blocks, Kana, Yi, full-width forms.
bool IsWide(char32_t ch) {
    return (ch >= 0x1100 && ch <= 0x115F) || (ch >= 0x2E80 && ch <= 0xA4CF) ||
           (ch >= 0xAC00 && ch <= 0xD7A3) || (ch >= 0xF900 && ch <= 0xFAFF) ||
           (ch >= 0xFE30 && ch <= 0xFE4F) || (ch >= 0xFF00 && ch <= 0xFF60) ||
           (ch >= 0xFFE0 && ch <= 0xFFE6) || (ch >= 0x20000 && ch <= 0x3FFFD);
}

// The kinds of the ASCII characters.
constexpr std::array<std::uint8_t, 0x80> kAsciiKinds = [] {
    std::array<std::uint8_t, 0x80> kinds{};
    kinds[' '] = kBlank | kHanging;
    kinds['\t'] = kBlank;
    for (char ch : std::string_view("!),.:;?]}")) {
        kinds[static_cast<std::size_t>(ch)] = kClosing;
    }
    for (char ch : std::string_view("([{")) {
        kinds[static_cast<std::size_t>(ch)] = kOpening;
    }
    return kinds;
}();

// Other punctuation that stays with what it follows, and that stays with what follows it.
constexpr std::u16string_view kClosingMarks =
    u"\u2019\u201D\u3001\u3002\u3009\u300B\u300D\u300F\u3011\u3015\u3017\uFF01\uFF09\uFF0C\uFF0E"
    u"\uFF1A\uFF1B\uFF1F\uFF3D\uFF5D";
constexpr std::u16string_view kOpeningMarks =
    u"\u2018\u201C\u3008\u300A\u300C\u300E\u3010\u3014\u3016\uFF08\uFF3B\uFF5B";

unsigned KindOf(char32_t ch) {
    if (ch < 0x80) {
        return kAsciiKinds[ch];
    }
    if (ch == 0x3000) {
        return kBlank | kHanging;
    }
    const unsigned nWide = ch >= 0x1100 && IsWide(ch) ? kWide : 0u;
    // Only these ranges hold marks: letters and ideographs are settled by range alone.
    if (!(ch >= 0x2018 && ch <= 0x201D) && !(ch >= 0x3000 && ch <= 0x301F) &&
        !(ch >= 0xFF00 && ch <= 0xFF60)) {
        return nWide;
    }
    if (kClosingMarks.find(static_cast<char16_t>(ch)) != std::u16string_view::npos) {
        return nWide | kClosing;
    }
    if (kOpeningMarks.find(static_cast<char16_t>(ch)) != std::u16string_view::npos) {
        return nWide | kOpening;
    }
    return nWide;
}

// Whether a line may break between two characters of these kinds.
bool IsBreakBetween(unsigned nBefore, unsigned nAfter) {
    if ((nAfter & kHanging) != 0) {
        return false;  // blanks stay on the line of what they follow
    }
    if ((nBefore & kBlank) != 0 || (nAfter & kBlank) != 0) {
        return true;  // after blanks, before a TAB
    }
    if ((nAfter & kClosing) != 0 || (nBefore & kOpening) != 0) {
        return false;
    }
    return ((nBefore | nAfter) & kWide) != 0;
}

}  // namespace

CRxRenderer::CRxRenderer(const SRxLayout& layout, std::uint64_t nStartByte,
                         std::uint64_t nStartChar)
    : m_layout(layout),
      m_decoder(layout.nCodePage),
      m_nByte(nStartByte),
      m_nChar(nStartChar),
      m_nCheckedAt(nStartByte),
      m_bStampDue(layout.bStamps) {}

// Inline: it runs for every shown character.
inline void CRxRenderer::Put(const QChar* pChars, int nChars, qreal fWidth, unsigned nKind) {
    if (!m_bLineUsed && m_bStampDue) {
        PutStamp();
    }
    if (m_bLineUsed) {
        if (IsBreakBetween(m_nPrevKind, nKind)) {
            m_bBreakable = true;
            m_nBreakPos = Here();
            m_fBreakX = m_fX;
        }
        if ((nKind & kHanging) == 0 && m_fX + fWidth > m_layout.fLineWidth) {
            Wrap(fWidth);
        }
    }
    std::copy(pChars, pChars + nChars, m_pOut + m_nOut);
    m_nOut += nChars;
    m_fX += fWidth;
    m_bLineUsed = true;
    m_nPrevKind = nKind;
}

std::uint64_t CRxRenderer::Render(const std::uint8_t* pBytes, std::size_t nCount, QString& strOut,
                                  std::deque<SRxSyncPoint>& syncs) {
    StartPiece(strOut);
    m_nLateWrap = kNoLateWrap;
    if (m_layout.bHex) {
        RenderHex(pBytes, nCount, strOut, syncs);
        m_nByte += nCount;
    } else {
        RenderText(pBytes, nCount, strOut, syncs);
    }
    EndPiece(strOut);
    return m_nLateWrap;
}

void CRxRenderer::RenderSent(const SRxMark& mark, QString& strOut) {
    const ReadTime tRead = m_tRead;
    m_tRead = mark.tTime;
    if (m_layout.bHex) {
        const std::uint64_t nOutBase = m_nCharBase + static_cast<std::uint64_t>(strOut.size());
        m_strDisplay.clear();
        if (m_layout.bStamps) {
            HexStamp(nOutBase);
        }
        const std::uint64_t nSentFrom = nOutBase + m_strDisplay.size();
        m_strDisplay += "TX ";
        // "TX " takes a pair's width, the timestamp five.
        int nInLine = 0;
        int nCap = std::max(1, m_layout.nHexPerLine - 1 - (m_layout.bStamps ? kStampPairs : 0));
        for (std::uint8_t by : mark.bytes) {
            if (nInLine == nCap) {
                m_strDisplay += '\n';
                nInLine = 0;
                nCap = m_layout.nHexPerLine;
            }
            AppendHexText(m_strDisplay, &by, 1);
            ++nInLine;
        }
        strOut.append(QLatin1StringView(m_strDisplay));
        AddSpan(nSentFrom, nOutBase + m_strDisplay.size(), true);
    } else {
        std::size_t nCount = mark.bytes.size();
        // The send's own line end: the line ends anyway.
        if (nCount > 0 && mark.bytes[nCount - 1] == '\n') {
            --nCount;
        }
        if (nCount > 0 && mark.bytes[nCount - 1] == '\r') {
            --nCount;
        }
        m_strDisplay.clear();
        AppendDisplayText(m_strDisplay, mark.bytes.data(), nCount, false);
        m_decoded.resize(CStreamDecoder::RequiredSpace(m_strDisplay.size()));
        CStreamDecoder decoder(m_layout.nCodePage);
        const QChar* pEnd =
            decoder.Append(m_decoded.data(), m_strDisplay.data(), m_strDisplay.size());
        Reserve(strOut, 3 * (pEnd - m_decoded.data()) + 48);
        if (m_layout.bStamps) {
            PutStamp();
        }
        const std::uint64_t nSentFrom = Here();
        const QChar kTx[] = {QChar(u'T'), QChar(u'X')};
        const QChar kBlankChar(u' ');
        CCharWidths& widths = *m_layout.pWidths;
        Put(kTx, 2, widths.Advance(u'T') + widths.Advance(u'X'), 0);
        Put(&kBlankChar, 1, widths.Advance(u' '), kBlank | kHanging);
        for (const QChar* p = m_decoded.data(); p < pEnd; ++p) {
            if (*p == u'\r' || *p == u'\n') {
                PutSubstitute(p->unicode());
            } else {
                PutDecoded(p, pEnd);
            }
        }
        AddSpan(nSentFrom, Here(), true);
        Commit(strOut);
    }
    m_tRead = tRead;
}

void CRxRenderer::RenderNote(const SRxMark& mark, QString& strOut) {
    const QString strText = QString::fromUtf8(reinterpret_cast<const char*>(mark.bytes.data()),
                                              static_cast<qsizetype>(mark.bytes.size()));
    const ReadTime tRead = m_tRead;
    m_tRead = mark.tTime;
    if (m_layout.bHex) {
        m_strDisplay.clear();
        if (m_layout.bStamps) {
            HexStamp(m_nCharBase + static_cast<std::uint64_t>(strOut.size()));
        }
        strOut.append(QLatin1StringView(m_strDisplay));
        strOut.append(strText);
    } else {
        Reserve(strOut, 3 * strText.size() + 48);
        if (m_layout.bStamps) {
            PutStamp();
        }
        const QChar* const pEnd = strText.constData() + strText.size();
        for (const QChar* p = strText.constData(); p < pEnd; ++p) {
            PutDecoded(p, pEnd);
        }
        Commit(strOut);
    }
    m_tRead = tRead;
}

void CRxRenderer::PutStamp() {
    m_bStampDue = false;
    m_strStamp.clear();
    AppendTimeStamp(m_strStamp, m_tRead, false);
    const std::uint64_t nFrom = Here();
    CCharWidths& widths = *m_layout.pWidths;
    for (const char ch : m_strStamp) {
        const QChar qch(static_cast<char16_t>(ch));
        Put(&qch, 1, widths.Advance(qch.unicode()), ch == ' ' ? kBlank | kHanging : 0u);
    }
    AddSpan(nFrom, Here(), false);
}

void CRxRenderer::RenderText(const std::uint8_t* pBytes, std::size_t nCount, QString& strOut,
                             std::deque<SRxSyncPoint>& syncs) {
    // Decided at each byte from the state before it, so that the pieces make no difference.
    while (nCount > 0) {
        if (m_nByte % kLineStartBytes == 0 && m_nByte != m_nCheckedAt) {
            m_nCheckedAt = m_nByte;
            if (!m_bSeekingLineStart) {
                m_bSeekingLineStart = !m_bHardBreakSince;
                m_nSeekingFrom = m_nByte;
            }
            m_bHardBreakSince = false;
        }
        std::size_t nTake = static_cast<std::size_t>(
            std::min<std::uint64_t>(nCount, kLineStartBytes - m_nByte % kLineStartBytes));
        if (m_bSeekingLineStart) {
            nTake = FindLineStart(pBytes, nTake);
            if (nTake == 0) {
                StartLineHere(strOut, syncs);
                continue;
            }
        }
        RenderRun(pBytes, nTake, strOut, syncs);
        pBytes += nTake;
        nCount -= nTake;
    }
}

void CRxRenderer::RenderRun(const std::uint8_t* pBytes, std::size_t nCount, QString& strOut,
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
    // Written in place (appending a character at a time costs more than the rest of the work):
    // a character gives at most a caret pair and a wrap point, and two pending CRs a pair each.
    const qsizetype nPerChar = m_layout.bStamps ? 19 : 3;  // a line of one character has a stamp
    Reserve(strOut, nPerChar * (pEnd - p) + 6 + 16);
    for (; p < pEnd; ++p) {
        const char16_t ch = p->unicode();
        if (ch == u'\r') {
            if (m_nPendingCr == 2) {  // a third CR: the oldest cannot end a line any more
                PutSubstitute(u'\r');
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
                PutSubstitute(u'\n');
                continue;
            }
            m_nPendingCr = 0;
            m_pOut[m_nOut++] = u'\n';
            m_fX = 0;
            m_bLineUsed = false;
            m_bBreakable = false;
            m_bHardBreakSince = true;
            m_bSeekingLineStart = false;
            m_bStampDue = m_layout.bStamps;
            syncs.push_back({m_nByte + static_cast<std::uint64_t>(pNextLf - pBytes), Here(), false,
                             m_nNextMark});
            continue;
        }
        FlushPendingCr();
        PutDecoded(p, pEnd);
    }
    Commit(strOut);
    m_nByte += nCount;
    m_nLastByte = pBytes[nCount - 1];
}

// Inline: it runs for every shown character.
inline void CRxRenderer::PutDecoded(const QChar*& p, const QChar* pEnd) {
    CCharWidths& widths = *m_layout.pWidths;
    const char16_t ch = p->unicode();
    if (ch == u'\t') {
        const qreal fTab = widths.TabStop();
        qreal fWidth = fTab - std::fmod(m_fX, fTab);
        if (m_bLineUsed && m_fX + fWidth > m_layout.fLineWidth) {
            fWidth = fTab;
        }
        Put(p, 1, fWidth, kBlank);
    } else if (p->isHighSurrogate() && p + 1 < pEnd && p[1].isLowSurrogate()) {
        const char32_t ch32 = QChar::surrogateToUcs4(p[0], p[1]);
        if (widths.Drawable(ch32)) {
            Put(p, 2, widths.Advance(ch32), KindOf(ch32));
        } else {
            PutUndrawable(ch32);
        }
        ++p;
    } else if (IsShownOtherwise(ch)) {
        PutSubstitute(ch);
    } else if (!widths.Drawable(ch)) {
        PutUndrawable(ch);
    } else {
        Put(p, 1, widths.Advance(ch), KindOf(ch));
    }
}

void CRxRenderer::PutSubstitute(char16_t ch) {
    CCharWidths& widths = *m_layout.pWidths;
    if (ch < 0x20 || ch == 0x7F) {
        // Caret notation, as cat -v and editors show control bytes: CR "^M", LF "^J", ESC "^[",
        // DEL "^?". Every font has these two characters; the pair never wraps apart.
        const QChar caret[2] = {QChar(u'^'), QChar(static_cast<char16_t>(ch ^ 0x40))};
        Put(caret, 2, widths.Advance(caret[0].unicode()) + widths.Advance(caret[1].unicode()), 0);
    } else {
        const QChar replacement(QChar::ReplacementCharacter);
        Put(&replacement, 1, widths.Advance(replacement.unicode()), 0);
    }
}

void CRxRenderer::PutUndrawable(char32_t ch) {
    PutSubstitute(u'\uFFFD');
    if (m_pUndrawable != nullptr) {
        m_pUndrawable->push_back({Here() - 1, ch});
    }
}

void CRxRenderer::FlushPendingCr() {
    for (; m_nPendingCr > 0; --m_nPendingCr) {
        PutSubstitute(u'\r');
    }
}
