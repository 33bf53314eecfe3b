#pragma once
// Connects to a port on another machine on a thread of its own, so that the window never waits
// for a name to resolve or a server to answer (up to CNetDevice::kConnectMs). The result comes
// back on the window's thread through Connected().
#include <QObject>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "WakeEvent.h"

class CNetConnector : public QObject {
    Q_OBJECT
public:
    explicit CNetConnector(QObject* pParent = nullptr);
    ~CNetConnector() override;  // cancels a connect under way; no Connected() follows

    // False when strAddress is no well-formed network address or a connect is under way.
    bool Start(const std::string& strAddress);
    // Ends a connect under way, if any: no Connected() follows for it, its socket is closed.
    void Cancel();
    bool IsBusy() const { return m_bBusy; }
    // The address of the connect under way or just ended.
    const std::string& Address() const { return m_strAddress; }

signals:
    // nFd: the connected socket (the receiver owns it) or -1; nError: 0 or the errno of
    // ConnectTcp.
    void Connected(int nFd, int nError);

private:
    Q_INVOKABLE void OnConnectEnded();
    void Join();

    std::string m_strAddress;
    std::thread m_thread;
    CWakeEvent m_cancel;
    std::uint64_t m_nRun = 0;  // counts connects, so a result posted before Cancel is dropped
    bool m_bBusy = false;
    struct SResult {
        int nFd = -1;
        int nError = 0;
        std::uint64_t nRun = 0;
    };
    std::mutex m_mutex;  // guards the results, written by the connects' threads
    std::deque<SResult> m_results;
};
