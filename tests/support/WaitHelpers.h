#pragma once
// Waiting for a condition in tests, with a generous limit instead of a fixed sleep. Both return
// whether pred holds in the end.
#include <functional>

// Runs the event loop between looks: for code whose progress comes through Qt events (timers,
// queued calls, the window's delivery of notices).
bool WaitRunningEventLoop(const std::function<bool()>& pred, int nLimitMs = 10000);

// Sleeps between looks and never runs the event loop: for threads and other processes, and for
// tests that play the user-interface thread themselves.
bool WaitPolling(const std::function<bool()>& pred, int nLimitMs = 10000);
