#pragma once
// CByteRing: the receive box's raw buffer. It holds the newest kRxBufferSize bytes in arrival
// order; once full, each new byte drops the oldest. Bytes are addressed by their absolute offset
// in the stream since the last Clear(): the ring holds [Start(), Total()).
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "Codec.h"

class CByteRing {
public:
    static constexpr std::size_t kSize = kRxBufferSize;
    static_assert((kSize & (kSize - 1)) == 0, "the ring's index wraps by masking");

    void Push(std::uint8_t by) {
        m_buf[m_nTotal & (kSize - 1)] = by;
        ++m_nTotal;
        m_nLen += m_nLen < kSize;
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
    }
    void Clear() {
        m_nTotal = 0;
        m_nLen = 0;
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
    std::array<std::uint8_t, kSize> m_buf{};
    std::uint64_t m_nTotal = 0;  // bytes pushed since the last Clear()
    std::uint32_t m_nLen = 0;    // bytes held, at most kSize
};
