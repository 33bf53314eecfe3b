#include "Checksum.h"

#include <array>

namespace {

// Byte-wise tables, made once at compile time.
constexpr std::array<std::uint16_t, 256> MakeModbusTable() {
    std::array<std::uint16_t, 256> arr{};
    for (unsigned n = 0; n < 256; ++n) {
        std::uint16_t crc = static_cast<std::uint16_t>(n);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
        }
        arr[n] = crc;
    }
    return arr;
}

constexpr std::array<std::uint16_t, 256> MakeCcittTable() {
    std::array<std::uint16_t, 256> arr{};
    for (unsigned n = 0; n < 256; ++n) {
        auto crc = static_cast<std::uint16_t>(n << 8);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x8000) ? static_cast<std::uint16_t>((crc << 1) ^ 0x1021)
                                 : static_cast<std::uint16_t>(crc << 1);
        }
        arr[n] = crc;
    }
    return arr;
}

constexpr std::array<std::uint32_t, 256> MakeCrc32Table() {
    std::array<std::uint32_t, 256> arr{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t crc = n;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
        }
        arr[n] = crc;
    }
    return arr;
}

constexpr auto kModbusTable = MakeModbusTable();
constexpr auto kCcittTable = MakeCcittTable();
constexpr auto kCrc32Table = MakeCrc32Table();

}  // namespace

std::uint8_t Sum8(std::span<const std::uint8_t> bytes) {
    std::uint8_t sum = 0;
    for (const std::uint8_t b : bytes) {
        sum = static_cast<std::uint8_t>(sum + b);
    }
    return sum;
}

std::uint8_t Xor8(std::span<const std::uint8_t> bytes) {
    std::uint8_t x = 0;
    for (const std::uint8_t b : bytes) {
        x ^= b;
    }
    return x;
}

std::uint8_t Crc8(std::span<const std::uint8_t> bytes) {
    std::uint8_t crc = 0;
    for (const std::uint8_t b : bytes) {
        crc ^= b;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x80) ? static_cast<std::uint8_t>((crc << 1) ^ 0x07)
                               : static_cast<std::uint8_t>(crc << 1);
        }
    }
    return crc;
}

std::uint16_t Crc16Modbus(std::span<const std::uint8_t> bytes) {
    std::uint16_t crc = 0xFFFF;
    for (const std::uint8_t b : bytes) {
        crc = static_cast<std::uint16_t>((crc >> 8) ^ kModbusTable[(crc ^ b) & 0xFF]);
    }
    return crc;
}

std::uint16_t Crc16Ccitt(std::span<const std::uint8_t> bytes, std::uint16_t nInit) {
    std::uint16_t crc = nInit;
    for (const std::uint8_t b : bytes) {
        crc = static_cast<std::uint16_t>((crc << 8) ^ kCcittTable[((crc >> 8) ^ b) & 0xFF]);
    }
    return crc;
}

std::uint32_t Crc32(std::span<const std::uint8_t> bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const std::uint8_t b : bytes) {
        crc = (crc >> 8) ^ kCrc32Table[(crc ^ b) & 0xFF];
    }
    return crc ^ 0xFFFFFFFFu;
}

void AppendChecksum(std::vector<std::uint8_t>& bytes, EChecksum eChecksum) {
    const std::span<const std::uint8_t> payload(bytes.data(), bytes.size());
    auto fnLowFirst = [&bytes](std::uint32_t nValue, int nBytes) {
        for (int i = 0; i < nBytes; ++i) {
            bytes.push_back(static_cast<std::uint8_t>(nValue >> (8 * i)));
        }
    };
    switch (eChecksum) {
        case EChecksum::None:
            break;
        case EChecksum::Sum8:
            bytes.push_back(Sum8(payload));
            break;
        case EChecksum::Xor8:
            bytes.push_back(Xor8(payload));
            break;
        case EChecksum::Crc8:
            bytes.push_back(Crc8(payload));
            break;
        case EChecksum::Crc16Modbus:
            fnLowFirst(Crc16Modbus(payload), 2);
            break;
        case EChecksum::Crc16CcittFalse: {
            const std::uint16_t crc = Crc16Ccitt(payload, 0xFFFF);
            bytes.push_back(static_cast<std::uint8_t>(crc >> 8));
            bytes.push_back(static_cast<std::uint8_t>(crc));
            break;
        }
        case EChecksum::Crc32:
            fnLowFirst(Crc32(payload), 4);
            break;
    }
}
