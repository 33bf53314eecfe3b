#include <gtest/gtest.h>

#include "ComPortOption.h"
#include "Telnet.h"

using namespace comport;
using namespace telnet;
using Bytes = std::vector<std::uint8_t>;

TEST(ComPortOption, CommandsAsSubnegotiations) {
    const struct {
        ECommand eCommand;
        std::uint32_t dwValue;
        Bytes expected;
    } rows[] = {
        {SET_BAUDRATE, 115200, {IAC, SB, 44, 1, 0x00, 0x01, 0xC2, 0x00, IAC, SE}},
        // A byte of the rate that equals IAC is doubled.
        {SET_BAUDRATE, 0x0000FF00, {IAC, SB, 44, 1, 0, 0, IAC, IAC, 0, IAC, SE}},
        {SET_DATASIZE, 7, {IAC, SB, 44, 2, 7, IAC, SE}},
        {SET_PARITY, PARITY_MARK, {IAC, SB, 44, 3, 4, IAC, SE}},
        {SET_PARITY, PARITY_SPACE, {IAC, SB, 44, 3, 5, IAC, SE}},
        {SET_STOPSIZE, STOP_1_5, {IAC, SB, 44, 4, 3, IAC, SE}},
        {SET_CONTROL, CONTROL_RTS_OFF, {IAC, SB, 44, 5, 12, IAC, SE}},
        {SET_MODEMSTATE_MASK, 0xFF, {IAC, SB, 44, 11, IAC, IAC, IAC, SE}},
        {PURGE_DATA, PURGE_TRANSMIT, {IAC, SB, 44, 12, 2, IAC, SE}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ComPortCommand(row.eCommand, row.dwValue), row.expected)
            << int(row.eCommand) << " " << row.dwValue;
    }
}

TEST(ComPortOption, ServerAnswersAreReadBack) {
    const struct {
        Bytes payload;
        bool bValid;
        ECommand eCommand;
        std::uint32_t dwValue;
    } rows[] = {
        {{101, 0, 0, 0x25, 0x80}, true, SET_BAUDRATE, 9600},
        {{102, 7}, true, SET_DATASIZE, 7},
        {{103, 5}, true, SET_PARITY, PARITY_SPACE},
        {{107, 0xB1}, true, NOTIFY_MODEMSTATE, 0xB1},
        {{112, 2}, true, PURGE_DATA, 2},
        {{101, 0, 0x25}, false, {}, 0},        // short rate
        {{102, 7, 8}, false, {}, 0},           // too long
        {{2, 7}, false, {}, 0},                // a client's command
        {{113, 1}, false, {}, 0},              // unknown
        {{100, 'a', 'b', 'c'}, false, {}, 0},  // a signature is not needed
        {{}, false, {}, 0},
    };
    for (const auto& row : rows) {
        const auto answer = ParseComPortAnswer(row.payload);
        ASSERT_EQ(answer.has_value(), row.bValid) << testing::PrintToString(row.payload);
        if (answer) {
            EXPECT_EQ(answer->eCommand, row.eCommand);
            EXPECT_EQ(answer->dwValue, row.dwValue);
        }
    }
}
