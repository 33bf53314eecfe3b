#include "TermiosFields.h"

namespace {
constexpr unsigned char XON_CHAR = 0x11;
constexpr unsigned char XOFF_CHAR = 0x13;
}  // namespace

void MakeRaw(termios& tio) {
    tio.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IUCLC | IMAXBEL);
    tio.c_oflag &= ~OPOST;
    tio.c_lflag &= ~(ECHO | ECHOE | ECHOK | ECHONL | ECHOCTL | ECHOPRT | ECHOKE | ICANON | ISIG |
                     IEXTEN | NOFLSH | TOSTOP);
    tio.c_cflag |= CLOCAL | CREAD;
    // A hang-up on close would drop DTR behind the user's back.
    tio.c_cflag &= ~HUPCL;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
}

void SetDataBits(termios& tio, int nBits) {
    tcflag_t size = 0;
    switch (nBits) {
        case 5:
            size = CS5;
            break;
        case 6:
            size = CS6;
            break;
        case 7:
            size = CS7;
            break;
        case 8:
            size = CS8;
            break;
        default:
            return;
    }
    tio.c_cflag = (tio.c_cflag & ~CSIZE) | size;
}

int GetDataBits(const termios& tio) {
    switch (tio.c_cflag & CSIZE) {
        case CS5:
            return 5;
        case CS6:
            return 6;
        case CS7:
            return 7;
        default:
            return 8;
    }
}

void SetParity(termios& tio, EParity eParity) {
    if (eParity < EParity::None || eParity > EParity::Space) {
        return;
    }
    tio.c_cflag &= ~(PARENB | PARODD | CMSPAR);
    // Received parity errors reach the error counters; the bytes themselves pass unchanged.
    tio.c_iflag &= ~INPCK;
    switch (eParity) {
        case EParity::Odd:
            tio.c_cflag |= PARENB | PARODD;
            break;
        case EParity::Even:
            tio.c_cflag |= PARENB;
            break;
        case EParity::Mark:
            tio.c_cflag |= PARENB | CMSPAR | PARODD;
            break;  // stick parity 1
        case EParity::Space:
            tio.c_cflag |= PARENB | CMSPAR;
            break;  // stick parity 0
        case EParity::None:
            break;
    }
}

EParity GetParity(const termios& tio) {
    if (!(tio.c_cflag & PARENB)) {
        return EParity::None;
    }
    const bool bOdd = tio.c_cflag & PARODD;
    if (tio.c_cflag & CMSPAR) {
        return bOdd ? EParity::Mark : EParity::Space;
    }
    return bOdd ? EParity::Odd : EParity::Even;
}

void SetStopBits(termios& tio, EStopBits eStopBits) {
    if (eStopBits == EStopBits::One) {
        tio.c_cflag &= ~CSTOPB;
    } else if (eStopBits == EStopBits::OneAndHalf || eStopBits == EStopBits::Two) {
        tio.c_cflag |= CSTOPB;
    }
}

EStopBits GetStopBits(const termios& tio) {
    return (tio.c_cflag & CSTOPB) ? EStopBits::Two : EStopBits::One;
}

void SetFlow(termios& tio, EFlowControl eFlow) {
    if (eFlow != EFlowControl::None && eFlow != EFlowControl::CtsRts &&
        eFlow != EFlowControl::XonXoff) {
        return;
    }
    tio.c_cflag &= ~CRTSCTS;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    if (eFlow == EFlowControl::CtsRts) {
        tio.c_cflag |= CRTSCTS;
    } else if (eFlow == EFlowControl::XonXoff) {
        tio.c_iflag |= IXON | IXOFF;
        tio.c_cc[VSTART] = XON_CHAR;
        tio.c_cc[VSTOP] = XOFF_CHAR;
    }
}

EFlowControl GetFlow(const termios& tio) {
    if (tio.c_cflag & CRTSCTS) {
        return EFlowControl::CtsRts;
    }
    if ((tio.c_iflag & (IXON | IXOFF)) && tio.c_cc[VSTART] == XON_CHAR &&
        tio.c_cc[VSTOP] == XOFF_CHAR) {
        return EFlowControl::XonXoff;
    }
    return EFlowControl::None;
}
