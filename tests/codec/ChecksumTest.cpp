#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Checksum.h"
#include "SendFrame.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes FromHex(const std::string& strHex) {
    Bytes bytes;
    for (std::size_t i = 0; i + 1 < strHex.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(strHex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

Bytes FromText(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

// ---- The catalogue's check values over "123456789" ----

struct SCheckRow {
    const char* pszName;
    std::uint32_t (*fnCompute)(std::span<const std::uint8_t>);
    std::uint32_t nCheck;
};

class ChecksumCheckValue : public testing::TestWithParam<SCheckRow> {};

TEST_P(ChecksumCheckValue, MatchesTheCatalogue) {
    const Bytes bytes = FromText("123456789");
    EXPECT_EQ(GetParam().fnCompute(bytes), GetParam().nCheck);
}

INSTANTIATE_TEST_SUITE_P(
    Checksum, ChecksumCheckValue,
    testing::Values(
        SCheckRow{"Sum8", [](std::span<const std::uint8_t> b) -> std::uint32_t { return Sum8(b); },
                  0xDD},
        SCheckRow{"Xor8", [](std::span<const std::uint8_t> b) -> std::uint32_t { return Xor8(b); },
                  0x31},
        SCheckRow{"Crc8", [](std::span<const std::uint8_t> b) -> std::uint32_t { return Crc8(b); },
                  0xF4},
        SCheckRow{"Crc16Modbus",
                  [](std::span<const std::uint8_t> b) -> std::uint32_t { return Crc16Modbus(b); },
                  0x4B37},
        SCheckRow{
            "Crc16CcittFalse",
            [](std::span<const std::uint8_t> b) -> std::uint32_t { return Crc16Ccitt(b, 0xFFFF); },
            0x29B1},
        SCheckRow{"Crc16Xmodem",
                  [](std::span<const std::uint8_t> b) -> std::uint32_t { return Crc16Ccitt(b, 0); },
                  0x31C3},
        SCheckRow{"Crc32",
                  [](std::span<const std::uint8_t> b) -> std::uint32_t { return Crc32(b); },
                  0xCBF43926}),
    [](const testing::TestParamInfo<SCheckRow>& info) { return info.param.pszName; });

// ---- Frames captured from real protocols ----

TEST(Checksum, ModbusReadRequestsCarryTheirCrcLowByteFirst) {
    // Read 10 holding registers from slave 1, and the read request of the Modbus over serial
    // line guide (slave 0x11, registers 0x006B to 0x006D).
    for (const char* pszFrame : {"01030000000AC5CD", "1103006B00037687"}) {
        const Bytes frame = FromHex(pszFrame);
        Bytes payload(frame.begin(), frame.end() - 2);
        AppendChecksum(payload, EChecksum::Crc16Modbus);
        EXPECT_EQ(payload, frame) << pszFrame;
    }
}

TEST(Checksum, XmodemBlockCrcMatchesABlockSentByLrzsz) {
    // Block 1 of `sx` sending "diVE XMODEM test block\r\n" after a 'C': SOH 01 FE, 128 data
    // bytes padded with SUB, CRC-16 high byte first.
    Bytes data = FromHex("6469564520584d4f44454d207465737420626c6f636b0d0a");
    data.resize(128, 0x1A);
    EXPECT_EQ(Crc16Ccitt(data, 0), 0x3FB4);
}

// ---- What a send becomes ----

struct SFrameRow {
    const char* pszName;
    std::string strPayloadHex;
    EChecksum eChecksum;
    ELineEnd eLineEnd;
    bool bHex;
    std::string strExpectedHex;
};

class SendFrame : public testing::TestWithParam<SFrameRow> {};

TEST_P(SendFrame, AppendsChecksumThenLineEnd) {
    const SFrameRow& row = GetParam();
    Bytes bytes = FromHex(row.strPayloadHex);
    FinishSendBytes(bytes, row.eChecksum, row.eLineEnd, row.bHex);
    EXPECT_EQ(bytes, FromHex(row.strExpectedHex));
}

INSTANTIATE_TEST_SUITE_P(
    Checksum, SendFrame,
    testing::Values(
        SFrameRow{"PlainTextUnchanged", "616263", EChecksum::None, ELineEnd::None, false, "616263"},
        SFrameRow{"TextCr", "616263", EChecksum::None, ELineEnd::Cr, false, "6162630D"},
        SFrameRow{"TextLf", "616263", EChecksum::None, ELineEnd::Lf, false, "6162630A"},
        SFrameRow{"TextCrLf", "616263", EChecksum::None, ELineEnd::CrLf, false, "6162630D0A"},
        SFrameRow{"HexGetsNoLineEnd", "010300", EChecksum::None, ELineEnd::CrLf, true, "010300"},
        SFrameRow{"Sum8BeforeTheLineEnd", "616263", EChecksum::Sum8, ELineEnd::CrLf, false,
                  "616263260D0A"},
        SFrameRow{"Xor8", "616263", EChecksum::Xor8, ELineEnd::None, false, "61626360"},
        SFrameRow{"Crc8", "313233343536373839", EChecksum::Crc8, ELineEnd::None, false,
                  "313233343536373839F4"},
        SFrameRow{"ModbusLowByteFirst", "01030000000A", EChecksum::Crc16Modbus, ELineEnd::Cr, true,
                  "01030000000AC5CD"},
        SFrameRow{"CcittFalseHighByteFirst", "313233343536373839", EChecksum::Crc16CcittFalse,
                  ELineEnd::None, false, "31323334353637383929B1"},
        SFrameRow{"Crc32LowByteFirst", "313233343536373839", EChecksum::Crc32, ELineEnd::Lf, false,
                  "3132333435363738392639F4CB0A"},
        SFrameRow{"EmptyStaysEmpty", "", EChecksum::Crc32, ELineEnd::CrLf, false, ""}),
    [](const testing::TestParamInfo<SFrameRow>& info) { return info.param.pszName; });

}  // namespace
