#pragma once
// Connects to a port on another machine on a thread of its own, so that the window never waits
// for a name to resolve or a server to answer (up to CNetDevice::kConnectMs). The result comes
// back on the window's thread through Connected().
#include <QObject>
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
    bool m_bBusy = false;
    std::mutex m_mutex;  // guards the result below, written by the connect's thread
    int m_nResultFd = -1;
    int m_nResultError = 0;
};
