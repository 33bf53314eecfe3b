#pragma once
// CWarmUp: work that building the application would do on its own thread, begun on a thread of
// its own as the program starts, so that it overlaps what the application does first. The window
// system's plugin (and the libraries it needs) is loaded, and fontconfig reads its configuration
// and its caches. Neither changes what the application then does: it finds them done.
#include <thread>

class CWarmUp {
public:
    CWarmUp();
    ~CWarmUp();
    CWarmUp(const CWarmUp&) = delete;
    CWarmUp& operator=(const CWarmUp&) = delete;

    // Waits until the warming is over; called before the first font is asked for, so that
    // fontconfig is not set up twice at once. Again, it returns at once.
    void Finish();

private:
    std::thread m_thread;
};
