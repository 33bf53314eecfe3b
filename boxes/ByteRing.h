#pragma once
// CByteRing: the receive box's raw buffer. It holds the newest kRxBufferSize bytes in arrival
// order; once full, each new byte drops the oldest. Bytes are addressed by their absolute offset
// in the stream since the last Clear(): the ring holds [Start(), Total()).
//
// Between the bytes it keeps marks, which are not bytes: the start of each read with its time
// (for timestamps and frames split by silence), each send shown in the box and each line the
// window adds (a note: the port lost, back). A mark stands
// before the byte at its offset (a send after the newest byte stands at Total()); marks are
// numbered in arrival order and held while their offset is at least Start(). Sends and notes held
// are bounded (kSentLimit bytes): the oldest drops first, as received bytes do.
#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <vector>

#include "Codec.h"
#include "TimeStamp.h"

struct SRxMark {
    enum class EKind : std::uint8_t { Read, Sent, Note };
    EKind eKind = EKind::Read;
    std::uint64_t nByte = 0;  // stands before this stream offset
    ReadTime tTime{};         // when read, or when sent
    std::int64_t nGapMs = 0;  // a read: milliseconds since the previous read (INT64_MAX: none)
    std::vector<std::uint8_t> bytes;  // a send: its bytes; a note: its text in UTF-8
};

class CByteRing {
public:
    static constexpr std::size_t kSize = kRxBufferSize;
    static_assert((kSize & (kSize - 1)) == 0, "the ring's index wraps by masking");

    static constexpr std::size_t kSentLimit = 64 * 1024;

    void Push(std::uint8_t by) {
        m_buf[m_nTotal & (kSize - 1)] = by;
        ++m_nTotal;
        m_nLen += m_nLen < kSize;
        if (!m_marks.empty() && m_marks.front().nByte < Start()) {
            DropMarks();
        }
    }
    // As Push for each byte in turn.
    void Push(const std::uint8_t* pBytes, std::size_t nCount) {
        m_nLen = static_cast<std::uint32_t>(std::min<std::uint64_t>(kSize, m_nLen + nCount));
        if (nCount > kSize) {  // only the newest kSize can stay
            pBytes += nCount - kSize;
            m_nTotal += nCount - kSize;
            nCount = kSize;
        }
        while (nCount > 0) {
            const std::size_t nIndex = m_nTotal & (kSize - 1);
            const std::size_t nRun = std::min(nCount, kSize - nIndex);
            std::memcpy(m_buf.data() + nIndex, pBytes, nRun);
            pBytes += nRun;
            nCount -= nRun;
            m_nTotal += nRun;
        }
        if (!m_marks.empty() && m_marks.front().nByte < Start()) {
            DropMarks();
        }
    }
    // The next bytes pushed came with a read at tRead.
    void MarkRead(ReadTime tRead) {
        using namespace std::chrono;
        const std::int64_t nGap =
            m_bHaveRead ? duration_cast<milliseconds>(tRead - m_tLastRead).count() : INT64_MAX;
        m_tLastRead = tRead;
        m_bHaveRead = true;
        m_marks.push_back({SRxMark::EKind::Read, m_nTotal, tRead, nGap, {}});
        ++m_nMarkEnd;
    }
    // A send at tSent, after the bytes pushed so far.
    void MarkSent(const std::uint8_t* pBytes, std::size_t nCount, ReadTime tSent) {
        MarkHeld(SRxMark::EKind::Sent, pBytes, nCount, tSent);
    }
    // A line of the window's own (UTF-8 text) at tNote, after the bytes pushed so far.
    void MarkNote(const std::uint8_t* pText, std::size_t nCount, ReadTime tNote) {
        MarkHeld(SRxMark::EKind::Note, pText, nCount, tNote);
    }
    void MarkHeld(SRxMark::EKind eKind, const std::uint8_t* pBytes, std::size_t nCount,
                  ReadTime tTime) {
        m_marks.push_back({eKind, m_nTotal, tTime, 0, {pBytes, pBytes + nCount}});
        ++m_nMarkEnd;
        m_nSentHeld += nCount + kMarkCost;
        while (m_nSentHeld > kSentLimit) {
            const auto it = std::find_if(m_marks.begin(), m_marks.end(), [](const SRxMark& mark) {
                return mark.eKind != SRxMark::EKind::Read;
            });
            m_nSentHeld -= it->bytes.size() + kMarkCost;
            // Marks are numbered in order: the reads before it go with it.
            for (auto itRead = m_marks.begin(); itRead != it; ++itRead) {
                NoteDroppedRead(*itRead);
            }
            m_nMarkFirst += static_cast<std::uint64_t>(it - m_marks.begin()) + 1;
            m_marks.erase(m_marks.begin(), it + 1);
        }
    }
    void Clear() {
        m_nTotal = 0;
        m_nLen = 0;
        m_marks.clear();
        m_nMarkFirst = m_nMarkEnd = 0;
        m_nSentHeld = 0;
        m_tBeforeStart = {};
        m_arrFrameStart.fill(0);
    }

    // Marks held are numbered [FirstMark(), MarkEnd()).
    std::uint64_t FirstMark() const { return m_nMarkFirst; }
    std::uint64_t MarkEnd() const { return m_nMarkEnd; }
    const SRxMark& Mark(std::uint64_t nMark) const {
        return m_marks[static_cast<std::size_t>(nMark - m_nMarkFirst)];
    }
    // The time of the read that brought the byte at Start(), as far as the marks held tell.
    ReadTime ReadTimeBeforeMarks() const { return m_tBeforeStart; }
    // Where the frame that the first mark held falls in began, for frames split at a silence of
    // nGapMs (one of kFrameGaps; 0 for any other).
    static constexpr std::array<int, 5> kFrameGaps = {10, 20, 50, 100, 500};
    std::uint64_t FrameStartBeforeMarks(int nGapMs) const {
        const auto it = std::find(kFrameGaps.begin(), kFrameGaps.end(), nGapMs);
        return it != kFrameGaps.end()
                   ? m_arrFrameStart[static_cast<std::size_t>(it - kFrameGaps.begin())]
                   : 0;
    }

    std::uint32_t Length() const { return m_nLen; }
    std::uint64_t Total() const { return m_nTotal; }
    std::uint64_t Start() const { return m_nTotal - m_nLen; }

    // Calls fn(pBytes, nCount) for the bytes [nFrom, nTo) in order, in at most two runs.
    // nFrom and nTo must lie within [Start(), Total()].
    template <typename Fn>
    void ForEachRun(std::uint64_t nFrom, std::uint64_t nTo, Fn&& fn) const {
        while (nFrom < nTo) {
            const std::size_t nIndex = nFrom & (kSize - 1);
            const std::size_t nRun = std::min<std::uint64_t>(nTo - nFrom, kSize - nIndex);
            fn(m_buf.data() + nIndex, nRun);
            nFrom += nRun;
        }
    }
    std::vector<std::uint8_t> Bytes() const {
        std::vector<std::uint8_t> bytes;
        bytes.reserve(m_nLen);
        ForEachRun(Start(), Total(), [&](const std::uint8_t* p, std::size_t n) {
            bytes.insert(bytes.end(), p, p + n);
        });
        return bytes;
    }

private:
    static constexpr std::size_t kMarkCost = 64;

    void DropMarks() {
        while (!m_marks.empty() && m_marks.front().nByte < Start()) {
            const SRxMark& mark = m_marks.front();
            if (mark.eKind == SRxMark::EKind::Read) {
                NoteDroppedRead(mark);
            } else {
                m_nSentHeld -= mark.bytes.size() + kMarkCost;
            }
            m_marks.pop_front();
            ++m_nMarkFirst;
        }
    }

    void NoteDroppedRead(const SRxMark& mark) {
        m_tBeforeStart = mark.tTime;
        for (std::size_t i = 0; i < kFrameGaps.size(); ++i) {
            if (mark.nGapMs >= kFrameGaps[i]) {
                m_arrFrameStart[i] = mark.nByte;
            }
        }
    }

    std::deque<SRxMark> m_marks;
    std::array<std::uint64_t, kFrameGaps.size()> m_arrFrameStart{};
    std::uint64_t m_nMarkFirst = 0;  // the number of m_marks.front()
    std::uint64_t m_nMarkEnd = 0;
    std::size_t m_nSentHeld = 0;
    ReadTime m_tBeforeStart{};
    ReadTime m_tLastRead{};
    bool m_bHaveRead = false;
    std::array<std::uint8_t, kSize> m_buf{};
    std::uint64_t m_nTotal = 0;  // bytes pushed since the last Clear()
    std::uint32_t m_nLen = 0;    // bytes held, at most kSize
};
