#include <gtest/gtest.h>

#include "Telnet.h"
#include "TelnetOptions.h"

using namespace telnet;
using Bytes = std::vector<std::uint8_t>;

namespace {
struct CReadCase {
    const char* pszName;
    Bytes input;
    Bytes data;
    std::size_t nCommands;
};

// Feeds the input whole and then byte by byte: every cut gives the same result.
void ExpectRead(const CReadCase& row) {
    for (std::size_t nPiece : {row.input.size() + 1, std::size_t{1}, std::size_t{2}}) {
        CTelnetReader reader;
        Bytes data;
        std::vector<TelnetCommand> arrCommands;
        for (std::size_t i = 0; i < row.input.size(); i += nPiece) {
            reader.Feed(row.input.data() + i, std::min(nPiece, row.input.size() - i), data,
                        arrCommands);
        }
        EXPECT_EQ(data, row.data) << row.pszName << ", pieces of " << nPiece;
        EXPECT_EQ(arrCommands.size(), row.nCommands) << row.pszName << ", pieces of " << nPiece;
    }
}
}  // namespace

TEST(TelnetReader, SeparatesDataFromCommands) {
    const CReadCase rows[] = {
        {"plain data", {1, 2, 3}, {1, 2, 3}, 0},
        {"doubled IAC is one data byte", {'a', IAC, IAC, 'b'}, {'a', IAC, 'b'}, 0},
        {"negotiation between data", {'a', IAC, WILL, OPT_BINARY, 'b'}, {'a', 'b'}, 1},
        {"NOP", {IAC, 241, 'x'}, {'x'}, 1},
        {"subnegotiation with doubled IAC", {IAC, SB, 44, 101, IAC, IAC, IAC, SE, 'z'}, {'z'}, 1},
        {"IAC inside SB ends it and starts a command", {IAC, SB, 44, 1, IAC, DO, 0, 'q'}, {'q'}, 2},
        {"unfinished sequence keeps its bytes out", {'a', IAC, SB, 44, 1, 2}, {'a'}, 0},
    };
    for (const CReadCase& row : rows) {
        ExpectRead(row);
    }
}

TEST(TelnetReader, SubnegotiationPayloadIsUnescaped) {
    CTelnetReader reader;
    Bytes data;
    std::vector<TelnetCommand> arrCommands;
    const Bytes input{IAC, SB, 44, 101, 0, 0, IAC, IAC, 0x10, IAC, SE};
    reader.Feed(input.data(), input.size(), data, arrCommands);
    ASSERT_EQ(arrCommands.size(), 1u);
    EXPECT_EQ(arrCommands[0].byCommand, SB);
    EXPECT_EQ(arrCommands[0].byOption, 44);
    EXPECT_EQ(arrCommands[0].payload, (Bytes{101, 0, 0, IAC, 0x10}));
}

TEST(TelnetReader, EndlessSubnegotiationIsDroppedAndDataResumes) {
    CTelnetReader reader;
    Bytes data;
    std::vector<TelnetCommand> arrCommands;
    Bytes input{IAC, SB, 44};
    input.insert(input.end(), 100000, 'x');
    input.insert(input.end(), {IAC, SE, 'k'});
    reader.Feed(input.data(), input.size(), data, arrCommands);
    EXPECT_TRUE(arrCommands.empty());
    EXPECT_EQ(reader.DroppedCount(), 1u);
    EXPECT_EQ(data, Bytes{'k'});
}

TEST(TelnetWriter, DoublesIacAndFramesCommands) {
    Bytes out;
    const Bytes data{1, IAC, 2, IAC, IAC};
    AppendTelnetData(out, data.data(), data.size());
    EXPECT_EQ(out, (Bytes{1, IAC, IAC, 2, IAC, IAC, IAC, IAC}));
    out.clear();
    AppendTelnetSubnegotiation(out, 44, {1, IAC});
    EXPECT_EQ(out, (Bytes{IAC, SB, 44, 1, IAC, IAC, IAC, SE}));
}

namespace {
Bytes Answer(CTelnetOptions& options, std::uint8_t byCommand, std::uint8_t byOption) {
    Bytes out;
    options.Negotiate({byCommand, byOption, {}}, out);
    return out;
}
}  // namespace

TEST(TelnetOptions, AsksForBinaryAndComPortAndTakesTheAnswers) {
    CTelnetOptions options;
    Bytes out;
    options.Start(true, out);
    EXPECT_EQ(out, (Bytes{IAC, WILL, 0, IAC, DO, 0, IAC, WILL, 3, IAC, DO, 3, IAC, WILL, 44}));
    // Answers to our own requests are not answered again.
    EXPECT_TRUE(Answer(options, DO, OPT_BINARY).empty());
    EXPECT_TRUE(Answer(options, WILL, OPT_BINARY).empty());
    EXPECT_TRUE(Answer(options, DO, OPT_COM_PORT).empty());
    EXPECT_TRUE(options.ComPortAgreed());
    EXPECT_TRUE(options.LocalOn(OPT_BINARY) && options.RemoteOn(OPT_BINARY));
    // A repeated request for a state already in force is not answered (no loops).
    EXPECT_TRUE(Answer(options, DO, OPT_BINARY).empty());
}

TEST(TelnetOptions, RefusesWhatItDoesNotKnow) {
    const struct {
        std::uint8_t byCommand;
        std::uint8_t byOption;
        Bytes answer;
    } rows[] = {
        {DO, 1, {IAC, WONT, 1}},      // echo
        {WILL, 1, {IAC, DONT, 1}},    // the server's echo
        {WILL, 44, {IAC, DONT, 44}},  // the server offers to be the client
        {DO, 24, {IAC, WONT, 24}},    // terminal type
        {DONT, 99, {}},               // already off
        {WONT, 99, {}},
    };
    for (const auto& row : rows) {
        CTelnetOptions options;
        Bytes out;
        options.Start(true, out);
        EXPECT_EQ(Answer(options, row.byCommand, row.byOption), row.answer)
            << int(row.byCommand) << " " << int(row.byOption);
    }
}

TEST(TelnetOptions, ComPortRefusedIsSeenAndRawModeNeverOffersIt) {
    CTelnetOptions options;
    Bytes out;
    options.Start(true, out);
    EXPECT_TRUE(Answer(options, DONT, OPT_COM_PORT).empty());
    EXPECT_TRUE(options.ComPortRefused());
    EXPECT_FALSE(options.ComPortAgreed());

    CTelnetOptions raw;
    raw.Start(false, out);
    EXPECT_EQ(Answer(raw, DO, OPT_COM_PORT), (Bytes{IAC, WONT, 44}));
    EXPECT_FALSE(raw.ComPortAgreed());
}
