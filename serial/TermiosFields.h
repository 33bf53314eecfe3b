#pragma once
// One helper per termios field, so that each setting can be built and checked without a device.
// Setters leave the structure unchanged for a value outside their range; getters read back what
// a driver kept.
#include <termios.h>

#include "SerialTypes.h"

// Raw mode: no echo, no line editing, no CR/LF translation, no signals, 8-bit clean input;
// CLOCAL (ignore carrier) and CREAD (receive). read() returns whatever has arrived.
void MakeRaw(termios& tio);

void SetDataBits(termios& tio, int nBits);  // 5..8
int GetDataBits(const termios& tio);

// Mark and space through CMSPAR.
void SetParity(termios& tio, EParity eParity);
EParity GetParity(const termios& tio);

// Linux offers one or two: one and a half becomes two.
void SetStopBits(termios& tio, EStopBits eStopBits);
EStopBits GetStopBits(const termios& tio);  // One or Two

// CtsRts (CRTSCTS), XonXoff both ways with 0x11 and 0x13, None; the other modes change nothing.
void SetFlow(termios& tio, EFlowControl eFlow);
EFlowControl GetFlow(const termios& tio);
