#include "TermiosFields.h"

#include <gtest/gtest.h>

namespace {
termios Cooked() {
    termios tio{};
    tio.c_iflag = ICRNL | IXON | BRKINT;
    tio.c_oflag = OPOST | ONLCR;
    tio.c_lflag = ECHO | ICANON | ISIG | IEXTEN;
    tio.c_cflag = CS8 | CREAD | HUPCL;
    return tio;
}
}  // namespace

TEST(TermiosFields, RawModeTurnsOffEveryTranslationAndKeepsTheReceiverOn) {
    termios tio = Cooked();
    MakeRaw(tio);
    EXPECT_EQ(tio.c_lflag & (ECHO | ICANON | ISIG | IEXTEN), 0u);
    EXPECT_EQ(tio.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP | BRKINT), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    EXPECT_EQ(tio.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(tio.c_cc[VMIN], 1);
    EXPECT_EQ(tio.c_cc[VTIME], 0);
}

TEST(TermiosFields, DataBitsFiveToEightRoundTrip) {
    for (int nBits = 5; nBits <= 8; ++nBits) {
        termios tio = Cooked();
        SetDataBits(tio, nBits);
        EXPECT_EQ(GetDataBits(tio), nBits);
    }
}

TEST(TermiosFields, DataBitsOutOfRangeLeaveTheSetting) {
    for (int nBits : {0, 4, 9, 16}) {
        termios tio = Cooked();
        SetDataBits(tio, 7);
        SetDataBits(tio, nBits);
        EXPECT_EQ(GetDataBits(tio), 7) << nBits;
    }
}

TEST(TermiosFields, EveryParityRoundTripsWithItsFlags) {
    struct Row {
        EParity eParity;
        tcflag_t flags;
    };
    const Row rows[] = {
        {EParity::None, 0},
        {EParity::Odd, PARENB | PARODD},
        {EParity::Even, PARENB},
        {EParity::Mark, PARENB | PARODD | CMSPAR},
        {EParity::Space, PARENB | CMSPAR},
    };
    for (const Row& row : rows) {
        termios tio = Cooked();
        SetParity(tio, EParity::Mark);  // something else first: every flag must be reset
        SetParity(tio, row.eParity);
        EXPECT_EQ(tio.c_cflag & (PARENB | PARODD | CMSPAR), row.flags) << row.flags;
        EXPECT_EQ(GetParity(tio), row.eParity);
    }
}

TEST(TermiosFields, ParityOutOfRangeLeavesTheSetting) {
    termios tio = Cooked();
    SetParity(tio, EParity::Even);
    SetParity(tio, static_cast<EParity>(5));
    SetParity(tio, static_cast<EParity>(-1));
    EXPECT_EQ(GetParity(tio), EParity::Even);
}

TEST(TermiosFields, StopBitsOneAndAHalfBecomeTwo) {
    const std::pair<EStopBits, EStopBits> rows[] = {{EStopBits::One, EStopBits::One},
                                                    {EStopBits::OneAndHalf, EStopBits::Two},
                                                    {EStopBits::Two, EStopBits::Two}};
    for (const auto& [eSet, eKept] : rows) {
        termios tio = Cooked();
        SetStopBits(tio, eSet);
        EXPECT_EQ(GetStopBits(tio), eKept) << static_cast<int>(eSet);
    }
    termios tio = Cooked();
    SetStopBits(tio, EStopBits::Two);
    SetStopBits(tio, static_cast<EStopBits>(3));
    EXPECT_EQ(GetStopBits(tio), EStopBits::Two);
}

TEST(TermiosFields, FlowModesMapToHandshakeFlags) {
    termios tio = Cooked();
    SetFlow(tio, EFlowControl::CtsRts);
    EXPECT_TRUE(tio.c_cflag & CRTSCTS);
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF), 0u);
    EXPECT_EQ(GetFlow(tio), EFlowControl::CtsRts);

    SetFlow(tio, EFlowControl::XonXoff);
    EXPECT_FALSE(tio.c_cflag & CRTSCTS);
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));
    EXPECT_EQ(tio.c_cc[VSTART], 0x11);
    EXPECT_EQ(tio.c_cc[VSTOP], 0x13);
    EXPECT_EQ(GetFlow(tio), EFlowControl::XonXoff);

    SetFlow(tio, EFlowControl::None);
    EXPECT_FALSE(tio.c_cflag & CRTSCTS);
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | IXANY), 0u);
    EXPECT_EQ(GetFlow(tio), EFlowControl::None);
}

TEST(TermiosFields, FlowModesWithoutADriverEquivalentChangeNothing) {
    for (int nMode : {2, 3, 4, 6, -1}) {
        termios tio = Cooked();
        SetFlow(tio, EFlowControl::CtsRts);
        SetFlow(tio, static_cast<EFlowControl>(nMode));
        EXPECT_EQ(GetFlow(tio), EFlowControl::CtsRts) << nMode;
    }
}
