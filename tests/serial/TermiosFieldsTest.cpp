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
        int nParity;
        tcflag_t flags;
    };
    const Row rows[] = {
        {0, 0},
        {1, PARENB | PARODD},
        {2, PARENB},
        {3, PARENB | PARODD | CMSPAR},
        {4, PARENB | CMSPAR},
    };
    for (const Row& row : rows) {
        termios tio = Cooked();
        SetParity(tio, 3);  // something else first: every flag must be reset
        SetParity(tio, row.nParity);
        EXPECT_EQ(tio.c_cflag & (PARENB | PARODD | CMSPAR), row.flags) << row.nParity;
        EXPECT_EQ(GetParity(tio), row.nParity);
    }
}

TEST(TermiosFields, ParityOutOfRangeLeavesTheSetting) {
    termios tio = Cooked();
    SetParity(tio, 2);
    SetParity(tio, 5);
    SetParity(tio, -1);
    EXPECT_EQ(GetParity(tio), 2);
}

TEST(TermiosFields, StopBitsOneAndAHalfBecomeTwo) {
    const int expected[] = {0, 2, 2};
    for (int nCode = 0; nCode <= 2; ++nCode) {
        termios tio = Cooked();
        SetStopBits(tio, nCode);
        EXPECT_EQ(GetStopBits(tio), expected[nCode]) << nCode;
    }
    termios tio = Cooked();
    SetStopBits(tio, 2);
    SetStopBits(tio, 3);
    EXPECT_EQ(GetStopBits(tio), 2);
}

TEST(TermiosFields, FlowModesMapToHandshakeFlags) {
    termios tio = Cooked();
    SetFlow(tio, 1);
    EXPECT_TRUE(tio.c_cflag & CRTSCTS);
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF), 0u);
    EXPECT_EQ(GetFlow(tio), 1);

    SetFlow(tio, 5);
    EXPECT_FALSE(tio.c_cflag & CRTSCTS);
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));
    EXPECT_EQ(tio.c_cc[VSTART], 0x11);
    EXPECT_EQ(tio.c_cc[VSTOP], 0x13);
    EXPECT_EQ(GetFlow(tio), 5);

    SetFlow(tio, 0);
    EXPECT_FALSE(tio.c_cflag & CRTSCTS);
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | IXANY), 0u);
    EXPECT_EQ(GetFlow(tio), 0);
}

TEST(TermiosFields, FlowModesWithoutADriverEquivalentChangeNothing) {
    for (int nMode : {2, 3, 4, 6, -1}) {
        termios tio = Cooked();
        SetFlow(tio, 1);
        SetFlow(tio, nMode);
        EXPECT_EQ(GetFlow(tio), 1) << nMode;
    }
}
