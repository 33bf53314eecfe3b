// The conversions between raw bytes and the text that the user sees or types.
//
// Pure functions: no Qt, no state, no errors. Text is narrow 8-bit text in the system's multibyte
// code page (GBK); nothing is transcoded, so a byte of 0x80 or above passes through unchanged.
// Every function accepts any bytes and any text (NUL and bytes >= 0x80 included, of any length) and
// never reads or writes outside the buffers it is given.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The most bytes one hexadecimal send produces; tokens after the 1024th are ignored.
constexpr std::size_t kMaxSendBytes = 1024;
// The size of the receive box's raw buffer.
constexpr std::size_t kRxBufferSize = 65536;

// "%2.2X " per byte: exactly three characters a byte ("00 0A 41 FF "); no line breaks.
std::string BytesToHexText(const std::uint8_t* pBytes, std::size_t nCount);
// One character a byte: 0x00 shows as '.', and when bLfToCrLf is set every LF gets a CR before it
// (without looking at its neighbours: CR LF becomes CR CR LF). All other bytes are kept unchanged.
std::string BytesToDisplayText(const std::uint8_t* pBytes, std::size_t nCount, bool bLfToCrLf);
// Appending forms of the two renderings, for incremental display: they append exactly what the
// functions above return, growing the string once.
void AppendHexText(std::string& out, const std::uint8_t* pBytes, std::size_t nCount);
void AppendDisplayText(std::string& out, const std::uint8_t* pBytes, std::size_t nCount,
                       bool bLfToCrLf);
// The bytes to send for a send-box text. The text is trimmed of 0x09-0x0D and 0x20 at both ends;
// an empty result means there is nothing to send. Text mode sends the whole trimmed text, however
// long (nothing is cut). Hexadecimal mode reads blank-separated tokens (only 0x20 separates)
// through HexTokenToByte and yields at most kMaxSendBytes bytes; the text after the 1024th token is
// ignored.
std::vector<std::uint8_t> TextToSendBytes(std::string_view text, bool bHexMode);
// One byte from the last two characters of a token: "1234" gives 0x34, "0x41" 0x41, "F" 0x0F.
// A non-digit second-to-last character counts 0; a non-digit last character leaves the value
// unshifted ("1G" gives 0x01, "GG" 0x00). Letters a-f count as A-F. Characters are GBK characters:
// a lead byte 0x81-0xFE followed by a trail byte 0x40-0x7E or 0x80-0xFE is one double-byte
// character, never a digit, even when its trail byte is an ASCII letter or digit ("\xB0\x41" is one
// character and gives 0x00). Any other byte is one character; bytes >= 0x80 are never digits.
// The empty token gives 0x00.
std::uint8_t HexTokenToByte(std::string_view token);
