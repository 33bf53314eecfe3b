// Only these two headers: <asm/termbits.h> cannot live beside <termios.h>.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include "BaudRate.h"

bool SetTtyBaudRate(int nFd, std::uint32_t dwRate) {
    termios2 tio{};
    if (ioctl(nFd, TCGETS2, &tio) != 0) {
        return false;
    }
    // Input rate bits cleared: the input follows the output rate.
    tio.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= BOTHER;
    tio.c_ospeed = dwRate;
    tio.c_ispeed = dwRate;
    return ioctl(nFd, TCSETS2, &tio) == 0;
}

bool GetTtyBaudRate(int nFd, std::uint32_t& dwRate) {
    termios2 tio{};
    if (ioctl(nFd, TCGETS2, &tio) != 0) {
        return false;
    }
    dwRate = tio.c_ospeed;
    return true;
}
