#pragma once
// The reference of a port on another machine: ser2net, started on 127.0.0.1 in front of a fresh
// pseudo-terminal pair, whose RFC 2217 port (the one the program reads) a plain blocking reader
// takes 64 KiB at a time while a feeder writes the pattern into the pair, nWriteSize at a time.
// The reader answers no negotiation: it drops the server's Telnet commands and takes IAC IAC as
// one 0xFF, and folds every data byte into the checksum, so the run is intact only when all
// arrived in order.
#include <cstddef>

#include "StreamBench.h"

SStreamRun RunPlainTcpReader(std::size_t nTotal, std::size_t nWriteSize);
