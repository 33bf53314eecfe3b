#include "SendFrame.h"

void FinishSendBytes(std::vector<std::uint8_t>& bytes, EChecksum eChecksum, ELineEnd eLineEnd,
                     bool bHex) {
    if (bytes.empty()) {
        return;
    }
    AppendChecksum(bytes, eChecksum);
    if (bHex) {
        return;  // hexadecimal sends are exactly the bytes typed (and their checksum)
    }
    if (eLineEnd == ELineEnd::Cr || eLineEnd == ELineEnd::CrLf) {
        bytes.push_back('\r');
    }
    if (eLineEnd == ELineEnd::Lf || eLineEnd == ELineEnd::CrLf) {
        bytes.push_back('\n');
    }
}
