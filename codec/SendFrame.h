#pragma once
// What the send box adds to the bytes of each send: a checksum over them, then, in text format, a
// line end. No Qt.
#include <cstdint>
#include <vector>

#include "Checksum.h"

// The send box's line end, in the order of its menu and of "EOL" in section "TX".
enum class ELineEnd { None, Cr, Lf, CrLf };
inline constexpr int kLineEndCount = 4;

// payload + checksum (EChecksum order) + line end (text format only). An empty payload stays
// empty: there is nothing to send, and a checksum or a line end alone is not a send.
void FinishSendBytes(std::vector<std::uint8_t>& bytes, EChecksum eChecksum, ELineEnd eLineEnd,
                     bool bHex);
