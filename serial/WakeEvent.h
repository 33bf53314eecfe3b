#pragma once
// A non-blocking eventfd that one thread polls and others signal: the stop and resume signal of
// the engine's threads.
class CWakeEvent {
public:
    CWakeEvent();
    ~CWakeEvent();
    CWakeEvent(const CWakeEvent&) = delete;
    CWakeEvent& operator=(const CWakeEvent&) = delete;

    bool IsValid() const { return m_nFd >= 0; }
    int Fd() const { return m_nFd; }
    void Signal();  // any thread; never blocks
    // The polling thread, after a wake; true when it had been signalled since the last Clear.
    bool Clear();

private:
    int m_nFd = -1;
};
