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

void SetParity(termios& tio, int nParity) {
    if (nParity < 0 || nParity > 4) {
        return;
    }
    tio.c_cflag &= ~(PARENB | PARODD | CMSPAR);
    // Received parity errors reach the error counters; the bytes themselves pass unchanged.
    tio.c_iflag &= ~INPCK;
    switch (nParity) {
        case 1:
            tio.c_cflag |= PARENB | PARODD;
            break;
        case 2:
            tio.c_cflag |= PARENB;
            break;
        case 3:
            tio.c_cflag |= PARENB | CMSPAR | PARODD;
            break;  // mark: stick parity 1
        case 4:
            tio.c_cflag |= PARENB | CMSPAR;
            break;  // space: stick parity 0
        default:
            break;
    }
}

int GetParity(const termios& tio) {
    if (!(tio.c_cflag & PARENB)) {
        return 0;
    }
    const bool bOdd = tio.c_cflag & PARODD;
    if (tio.c_cflag & CMSPAR) {
        return bOdd ? 3 : 4;
    }
    return bOdd ? 1 : 2;
}

void SetStopBits(termios& tio, int nStopBits) {
    if (nStopBits == 0) {
        tio.c_cflag &= ~CSTOPB;
    } else if (nStopBits == 1 || nStopBits == 2) {
        tio.c_cflag |= CSTOPB;
    }
}

int GetStopBits(const termios& tio) {
    return (tio.c_cflag & CSTOPB) ? 2 : 0;
}

void SetFlow(termios& tio, int nFlow) {
    if (nFlow != 0 && nFlow != 1 && nFlow != 5) {
        return;
    }
    tio.c_cflag &= ~CRTSCTS;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    if (nFlow == 1) {
        tio.c_cflag |= CRTSCTS;
    } else if (nFlow == 5) {
        tio.c_iflag |= IXON | IXOFF;
        tio.c_cc[VSTART] = XON_CHAR;
        tio.c_cc[VSTOP] = XOFF_CHAR;
    }
}

int GetFlow(const termios& tio) {
    if (tio.c_cflag & CRTSCTS) {
        return 1;
    }
    if ((tio.c_iflag & (IXON | IXOFF)) && tio.c_cc[VSTART] == XON_CHAR &&
        tio.c_cc[VSTOP] == XOFF_CHAR) {
        return 5;
    }
    return 0;
}
