#pragma once
// One helper per termios field, so that each setting can be built and checked without a device.
// Setters leave the structure unchanged for a value outside their range; getters read back what
// a driver kept.
#include <termios.h>

// Raw mode: no echo, no line editing, no CR/LF translation, no signals, 8-bit clean input;
// CLOCAL (ignore carrier) and CREAD (receive). read() returns whatever has arrived.
void MakeRaw(termios& tio);

void SetDataBits(termios& tio, int nBits);  // 5..8
int GetDataBits(const termios& tio);

// 0 none, 1 odd, 2 even, 3 mark, 4 space (mark and space through CMSPAR).
void SetParity(termios& tio, int nParity);
int GetParity(const termios& tio);

// 0 one, 1 one and a half, 2 two. Linux offers one or two: one and a half becomes two.
void SetStopBits(termios& tio, int nStopBits);
int GetStopBits(const termios& tio);  // 0 or 2

// 0 none, 1 CTS/RTS (CRTSCTS), 5 XON/XOFF both ways with 0x11 and 0x13.
void SetFlow(termios& tio, int nFlow);
int GetFlow(const termios& tio);
