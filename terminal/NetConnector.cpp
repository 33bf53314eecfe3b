#include "NetConnector.h"

#include <unistd.h>

#include "NetAddress.h"
#include "NetDevice.h"
#include "TcpConnect.h"

CNetConnector::CNetConnector(QObject* pParent) : QObject(pParent) {}

CNetConnector::~CNetConnector() {
    m_cancel.Signal();
    Join();
}

void CNetConnector::Cancel() {
    if (!m_bBusy) {
        return;
    }
    m_cancel.Signal();
    Join();
    ++m_nRun;
    m_bBusy = false;
}

void CNetConnector::Join() {
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

bool CNetConnector::Start(const std::string& strAddress) {
    const std::optional<NetAddress> address = ParseNetAddress(strAddress);
    if (!address || m_bBusy) {
        return false;
    }
    Join();  // the last one has posted its result already
    m_cancel.Clear();
    m_strAddress = strAddress;
    m_bBusy = true;
    m_thread = std::thread([this, target = *address, nRun = m_nRun] {
        int nFd = -1;
        const int nError = ConnectTcp(target, CNetDevice::kConnectMs, nFd, m_cancel.Fd());
        if (nError == ECANCELED) {
            return;
        }
        // The result waits under the lock for a queued call that captures nothing: a hand-over
        // the thread checker can follow. Dropped by Qt when this object is gone meanwhile; its
        // destructor cancels first, so a socket is never left behind unless the destructor raced
        // the last instant.
        {
            const std::lock_guard lock(m_mutex);
            m_results.push_back({nFd, nError, nRun});
        }
        QMetaObject::invokeMethod(this, "OnConnectEnded", Qt::QueuedConnection);
    });
    return true;
}

void CNetConnector::OnConnectEnded() {
    SResult result;
    {
        const std::lock_guard lock(m_mutex);
        result = m_results.front();
        m_results.pop_front();
    }
    if (result.nRun != m_nRun) {  // cancelled after it ended
        if (result.nFd >= 0) {
            ::close(result.nFd);
        }
        return;
    }
    m_bBusy = false;
    emit Connected(result.nFd, result.nError);
}
