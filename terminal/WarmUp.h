#pragma once
// CWarmUp: fontconfig reads its configuration and its caches on a thread of its own as the
// program starts, while the application object is built; the application's first font then
// finds it set up. (Loading the window system's plugin ahead as well made the start slower: two
// threads mapping libraries wait for each other.)
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
