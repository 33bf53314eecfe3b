#pragma once
// The reference of a port on another machine: ser2net, started on 127.0.0.1 in front of a fresh
// pseudo-terminal pair, whose raw TCP port a plain blocking reader takes 64 KiB at a time while a
// feeder writes the pattern into the pair, nWriteSize at a time. Every byte is folded into the
// checksum, so the run is intact only when all arrived in order. (The raw port, as the telnet
// port's stream would need the Telnet reading that the program under test does.)
#include <cstddef>

#include "StreamBench.h"

SStreamRun RunPlainTcpReader(std::size_t nTotal, std::size_t nWriteSize);
