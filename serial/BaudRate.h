#pragma once
// Any baud rate through the kernel's arbitrary-rate interface (termios2 with BOTHER). Kept apart
// from <termios.h>, whose structure clashes with the kernel's.
#include <cstdint>

// Sets the output and input rate of the tty fd to dwRate bits per second; the other settings
// stay. False when the driver refused.
bool SetTtyBaudRate(int nFd, std::uint32_t dwRate);
// The output rate that the driver reports; false on failure.
bool GetTtyBaudRate(int nFd, std::uint32_t& dwRate);
