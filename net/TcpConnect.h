#pragma once
// Connecting to a serial port's server: name resolution, then a non-blocking connect to each of
// the name's addresses in turn within one time limit.
#include "NetAddress.h"

// Connects within nTimeoutMs; the socket stays non-blocking (close-on-exec, TCP_NODELAY). Returns
// 0 and the socket in nFd, or an errno: ENOENT when the name does not resolve, ETIMEDOUT when no
// address answered in time, ECONNREFUSED, EHOSTUNREACH, ENETUNREACH and others as they come.
// nCancelFd, when not -1, ends the wait early when it turns readable (ECANCELED).
int ConnectTcp(const NetAddress& address, int nTimeoutMs, int& nFd, int nCancelFd = -1);
