#pragma once
// Checksums that the send box appends to each send, and the CRCs that the transfer protocols use.
//
// Each is the catalogue's algorithm of that name (check value over "123456789" in brackets):
// the 8-bit sum and the 8-bit exclusive or of all bytes; CRC-8 (poly 0x07, init 0: 0xF4);
// CRC-16/MODBUS (reflected 0x8005, init 0xFFFF: 0x4B37); CRC-16/CCITT-FALSE (0x1021, init 0xFFFF:
// 0x29B1) and its sibling CRC-16/XMODEM (init 0: 0x31C3); CRC-32 as zlib computes it
// (0xCBF43926). No Qt, no state.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// The send box's choice, in the order of its menu and of "CHECKSUM" in section "TX".
enum class EChecksum { None, Sum8, Xor8, Crc8, Crc16Modbus, Crc16CcittFalse, Crc32 };
inline constexpr int kChecksumCount = 7;

std::uint8_t Sum8(std::span<const std::uint8_t> bytes);
std::uint8_t Xor8(std::span<const std::uint8_t> bytes);
std::uint8_t Crc8(std::span<const std::uint8_t> bytes);
std::uint16_t Crc16Modbus(std::span<const std::uint8_t> bytes);
// The CCITT polynomial 0x1021, not reflected: nInit 0xFFFF gives CRC-16/CCITT-FALSE, 0 gives
// CRC-16/XMODEM (the CRC of an XMODEM block).
std::uint16_t Crc16Ccitt(std::span<const std::uint8_t> bytes, std::uint16_t nInit);
std::uint32_t Crc32(std::span<const std::uint8_t> bytes);

// Appends the checksum of bytes to bytes in the order its protocols carry it: CRC-16/MODBUS and
// CRC-32 low byte first, CRC-16/CCITT-FALSE high byte first. None appends nothing.
void AppendChecksum(std::vector<std::uint8_t>& bytes, EChecksum eChecksum);
