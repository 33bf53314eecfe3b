#pragma once
// CWarmUp: work that the start-up needs soon, begun on a thread of its own as the program starts,
// while the application object is built: fontconfig reads its configuration and its caches, then
// the settings file is indexed (a file of many megabytes takes a few milliseconds), so that the
// application's first font and the window's first reads find them done. (Loading the window
// system's plugin ahead as well made the start slower: two threads mapping libraries wait for
// each other.)
#include <future>
#include <string>
#include <thread>

class CWarmUp {
public:
    explicit CWarmUp(const std::string& strIniPath);
    ~CWarmUp();
    CWarmUp(const CWarmUp&) = delete;
    CWarmUp& operator=(const CWarmUp&) = delete;

    // Waits until fontconfig is set up; called before the first font is asked for, so that it is
    // not set up twice at once.
    void FinishFonts();

private:
    std::promise<void> m_fontsDone;
    std::future<void> m_fontsReady = m_fontsDone.get_future();
    std::thread m_thread;
};
