// The renderer's lines: the hexadecimal grid, wrapping a text line, the marks between the bytes
// (read times, frames, sends, notes) ending and starting lines, the sync points where a later
// render may begin, and handing the rendered characters to the output.
#include <algorithm>

#include "ByteRing.h"
#include "RxRenderer.h"

void CRxRenderer::FindFirstMark(const CByteRing& ring) {
    m_tRead = ring.ReadTimeBeforeMarks();
    // A frame that began after the renderer's start is one whose mark went with a dropped send.
    m_nFrameStart = std::min(ring.FrameStartBeforeMarks(m_layout.nFrameGapMs), m_nByte);
    m_nNextMark = ring.FirstMark();
    for (; m_nNextMark < ring.MarkEnd() && ring.Mark(m_nNextMark).nByte < m_nByte; ++m_nNextMark) {
        const SRxMark& mark = ring.Mark(m_nNextMark);
        if (mark.eKind == SRxMark::EKind::Read) {
            m_tRead = mark.tTime;
            if (m_layout.nFrameGapMs > 0 && mark.nGapMs >= m_layout.nFrameGapMs) {
                m_nFrameStart = mark.nByte;
            }
        }
    }
}

void CRxRenderer::RenderMark(const SRxMark& mark, QString& strOut,
                             std::deque<SRxSyncPoint>& syncs) {
    if (mark.eKind == SRxMark::EKind::Read) {
        m_tRead = mark.tTime;
        if (m_layout.nFrameGapMs > 0 && mark.nGapMs >= m_layout.nFrameGapMs) {
            m_nFrameStart = m_nByte;
            EndLineForMark(strOut, syncs, m_nNextMark);
        }
        return;
    }
    const bool bNote = mark.eKind == SRxMark::EKind::Note;
    if (!bNote && !m_layout.bEcho) {
        return;
    }
    EndLineForMark(strOut, syncs, m_nNextMark);
    if (bNote) {
        RenderNote(mark, strOut);
    } else {
        RenderSent(mark, strOut);
    }
    m_bLineUsed = true;  // the mark's line ends as a used line
    EndLineForMark(strOut, syncs, m_nNextMark + 1);
}

void CRxRenderer::EndLineForMark(QString& strOut, std::deque<SRxSyncPoint>& syncs,
                                 std::uint64_t nMark) {
    if (m_layout.bHex) {
        if (m_nHexInLine > 0 || m_bLineUsed) {
            strOut.append(u'\n');
            m_nHexInLine = 0;
            m_bHexBreakDue = false;
            m_bLineUsed = false;
            syncs.push_back({m_nByte, m_nCharBase + static_cast<std::uint64_t>(strOut.size()),
                             false, nMark, m_layout.nFrameGapMs > 0 ? m_nFrameStart : 0});
        }
        m_bStampDue = m_layout.bStamps;
        return;
    }
    // Room for two CRs in caret notation after a timestamp, with a wrap before each, and the end.
    Reserve(strOut, 32);
    FlushPendingCr();
    const bool bUsed = m_bLineUsed;
    if (bUsed) {
        m_pOut[m_nOut++] = u'\n';
    }
    Commit(strOut);
    m_fX = 0;
    m_bLineUsed = false;
    m_bBreakable = false;
    m_bHardBreakSince = true;
    m_bSeekingLineStart = false;
    m_bStampDue = m_layout.bStamps;
    if (bUsed && !m_decoder.IsWaiting()) {
        syncs.push_back({m_nByte, Here(), false, nMark});
    }
}

void CRxRenderer::AddSpan(std::uint64_t nChar, std::uint64_t nEnd, bool bSent) {
    if (m_pSpans != nullptr && nEnd > nChar) {
        m_pSpans->push_back({nChar, static_cast<std::uint32_t>(nEnd - nChar), bSent});
    }
}

void CRxRenderer::Reserve(QString& strOut, qsizetype nExtra) {
    m_nOut = strOut.size();
    strOut.resize(m_nOut + nExtra);
    m_pOut = strOut.data();
}

void CRxRenderer::Commit(QString& strOut) {
    Q_ASSERT(m_nOut <= strOut.size());
    strOut.resize(m_nOut);
    m_pOut = nullptr;
}

std::size_t CRxRenderer::FindLineStart(const std::uint8_t* pBytes, std::size_t nCount) const {
    const std::uint64_t nWeakFrom = m_nSeekingFrom + kWeakLineStartBytes;
    int nPrev = m_nLastByte;
    for (std::size_t i = 0; i < nCount; nPrev = pBytes[i++]) {
        const int nBelow = m_nByte + i >= nWeakFrom ? 0x40 : 0x21;
        if (nPrev >= 0 && nPrev < nBelow && pBytes[i] != '\r' && pBytes[i] != '\n') {
            return i;
        }
    }
    return nCount;
}

void CRxRenderer::StartLineHere(QString& strOut, std::deque<SRxSyncPoint>& syncs) {
    // Room for two CRs in caret notation after a timestamp, with a wrap before each, and the
    // line's end.
    Reserve(strOut, 32);
    FlushPendingCr();
    if (m_bLineUsed) {
        m_pOut[m_nOut++] = u'\n';
    }
    Commit(strOut);
    m_fX = 0;
    m_bLineUsed = false;
    m_bBreakable = false;
    m_bSeekingLineStart = false;
    syncs.push_back({m_nByte, Here(), true, m_nNextMark});
}

std::uint64_t CRxRenderer::RenderRing(const CByteRing& ring, std::uint64_t nTo, QString& strOut,
                                      std::deque<SRxSyncPoint>& syncs, std::deque<SRxSpan>& spans) {
    if (m_nNextMark == kNoMark) {
        FindFirstMark(ring);
    }
    m_pSpans = &spans;
    std::uint64_t nLateWrap = kNoLateWrap;
    const bool bToEnd = nTo == ring.Total();
    for (;;) {
        while (m_nNextMark < ring.MarkEnd() && ring.Mark(m_nNextMark).nByte <= m_nByte &&
               (bToEnd || m_nByte < nTo)) {
            StartPiece(strOut);
            RenderMark(ring.Mark(m_nNextMark), strOut, syncs);
            ++m_nNextMark;
            EndPiece(strOut);
        }
        if (m_nByte >= nTo) {
            break;
        }
        const std::uint64_t nStop =
            m_nNextMark < ring.MarkEnd() ? std::min(nTo, ring.Mark(m_nNextMark).nByte) : nTo;
        ring.ForEachRun(m_nByte, nStop, [&](const std::uint8_t* p, std::size_t n) {
            nLateWrap = std::min(nLateWrap, Render(p, n, strOut, syncs));
        });
    }
    m_pSpans = nullptr;
    return nLateWrap;
}

void CRxRenderer::HexStamp(std::uint64_t nOutBase) {
    m_bStampDue = false;
    const std::uint64_t nFrom = nOutBase + m_strDisplay.size();
    AppendTimeStamp(m_strDisplay, m_tRead, false);
    AddSpan(nFrom, nOutBase + m_strDisplay.size(), false);
}

void CRxRenderer::RenderHex(const std::uint8_t* pBytes, std::size_t nCount, QString& strOut,
                            std::deque<SRxSyncPoint>& syncs) {
    // Lines start at stream offsets that are multiples of the pairs a line holds, or, with frames
    // split, on a grid from the frame's start; a line's break is written when what follows it is
    // known (a pair: a wrap; a frame or a send: a line break).
    const bool bAligned = m_layout.nFrameGapMs <= 0;
    const bool bStamps = m_layout.bStamps;
    const auto nPerLine = static_cast<std::uint64_t>(std::max(1, m_layout.nHexPerLine));
    const auto nFirst =
        static_cast<std::uint64_t>(std::max(1, m_layout.nHexPerLine - (bStamps ? kStampPairs : 0)));
    const std::uint64_t nOutBase = m_nCharBase + static_cast<std::uint64_t>(strOut.size());
    m_strDisplay.clear();
    std::uint64_t nByte = m_nByte;
    while (nCount > 0) {
        if (m_bHexBreakDue) {
            m_strDisplay += '\n';
            m_bHexBreakDue = false;
            m_nHexInLine = 0;
            // Lines that each show their time are lines; otherwise a line of pairs goes on.
            syncs.push_back({nByte, nOutBase + m_strDisplay.size(), !(bAligned && bStamps),
                             m_nNextMark, bAligned ? 0 : m_nFrameStart});
        }
        std::uint64_t nRoom = 0;
        if (bAligned) {
            nRoom = nFirst - nByte % nFirst;
            if (bStamps && m_nHexInLine == 0) {
                HexStamp(nOutBase);
            }
        } else {
            const std::uint64_t nPos = nByte - m_nFrameStart;
            nRoom = nPos < nFirst ? nFirst - nPos : nPerLine - (nPos - nFirst) % nPerLine;
            if (bStamps && nPos == 0 && m_nHexInLine == 0) {
                HexStamp(nOutBase);
            }
        }
        m_bStampDue = false;
        const std::size_t nTake = static_cast<std::size_t>(std::min<std::uint64_t>(nCount, nRoom));
        AppendHexText(m_strDisplay, pBytes, nTake);
        pBytes += nTake;
        nCount -= nTake;
        nByte += nTake;
        m_nHexInLine += static_cast<int>(nTake);
        m_bHexBreakDue = nTake == nRoom;
    }
    m_bLineUsed = m_nHexInLine > 0;
    strOut.append(QLatin1StringView(m_strDisplay));
}

void CRxRenderer::Wrap(qreal fWidth) {
    // The word so far (after the last break opportunity) moves to the next line, unless it is
    // longer than a line.
    if (m_bBreakable && m_nBreakPos < Here() && m_fX - m_fBreakX + fWidth <= m_layout.fLineWidth) {
        if (m_nBreakPos >= m_nCharBase) {
            QChar* const pBreak = m_pOut + static_cast<qsizetype>(m_nBreakPos - m_nCharBase);
            std::copy_backward(pBreak, m_pOut + m_nOut, m_pOut + m_nOut + 1);
            *pBreak = u'\n';
            ++m_nOut;
        } else {
            // The word began in text given out earlier: the caller inserts the break there.
            m_nLateWrap = m_nBreakPos;
            ++m_nCharBase;
        }
        if (m_pUndrawable != nullptr) {  // the characters of the word moved on by the break
            for (auto it = m_pUndrawable->rbegin();
                 it != m_pUndrawable->rend() && it->nChar >= m_nBreakPos; ++it) {
                ++it->nChar;
            }
        }
        m_fX -= m_fBreakX;
    } else {
        m_pOut[m_nOut++] = u'\n';  // at the edge: before this character
        m_fX = 0;
    }
    m_bBreakable = false;
}
