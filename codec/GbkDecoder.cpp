#include "GbkDecoder.h"

namespace {

bool IsLead(std::uint8_t by) {
    return by >= 0x81 && by <= 0xFE;
}

// The column of a trail byte in its lead byte's row, or -1 for a byte that cannot be one.
int TrailColumn(std::uint8_t by) {
    if (by < 0x40 || by == 0x7F || by == 0xFF) {
        return -1;
    }
    return by - 0x40 - (by > 0x7F ? 1 : 0);
}

}  // namespace

char16_t* CGbkDecoder::Append(char16_t* pOut, const char* pBytes, std::size_t nBytes) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(pBytes);
    const auto* const pEnd = p + nBytes;
    std::uint8_t byLead = m_byLead;
    while (p != pEnd) {
        const std::uint8_t by = *p++;
        if (byLead != 0) {
            const int nColumn = TrailColumn(by);
            const int nRow = byLead - 0x81;
            byLead = 0;
            if (nColumn >= 0) {
                *pOut++ = kGbkPairs[nRow * kGbkTrails + nColumn];
                continue;
            }
            *pOut++ = u'\uFFFD';  // the bad trail byte then stands alone (it is never a lead)
        }
        if (IsLead(by)) {
            byLead = by;
        } else {
            *pOut++ = kGbkSingle[by];
        }
    }
    m_byLead = byLead;
    return pOut;
}
