#include "TcpConnect.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <memory>

namespace {
using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point tEnd) {
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(tEnd - Clock::now()).count();
    return ms > 0 ? static_cast<int>(ms) : 0;
}

// One address: 0 and the socket, or an errno.
int ConnectOne(const addrinfo& info, Clock::time_point tEnd, int& nFd, int nCancelFd) {
    const int nSocket =
        socket(info.ai_family, info.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, info.ai_protocol);
    if (nSocket < 0) {
        return errno;
    }
    int nError = 0;
    if (connect(nSocket, info.ai_addr, info.ai_addrlen) != 0) {
        nError = errno;
    }
    if (nError == EINPROGRESS) {
        pollfd fds[2] = {{nSocket, POLLOUT, 0}, {nCancelFd, POLLIN, 0}};
        int nReady = 0;
        do {
            nReady = poll(fds, nCancelFd >= 0 ? 2 : 1, MsLeft(tEnd));
        } while (nReady < 0 && errno == EINTR);
        socklen_t nLen = sizeof nError;
        if (nReady < 0) {
            nError = errno;
        } else if (nCancelFd >= 0 && (fds[1].revents & POLLIN)) {
            nError = ECANCELED;
        } else if (nReady == 0) {
            nError = ETIMEDOUT;
        } else if (getsockopt(nSocket, SOL_SOCKET, SO_ERROR, &nError, &nLen) != 0) {
            nError = errno;
        }
    }
    if (nError != 0) {
        ::close(nSocket);
        return nError;
    }
    // Settings travel as small messages of their own: no waiting for more to fill a segment.
    const int nOn = 1;
    setsockopt(nSocket, IPPROTO_TCP, TCP_NODELAY, &nOn, sizeof nOn);
    nFd = nSocket;
    return 0;
}
}  // namespace

int ConnectTcp(const NetAddress& address, int nTimeoutMs, int& nFd, int nCancelFd) {
    const Clock::time_point tEnd = Clock::now() + std::chrono::milliseconds(nTimeoutMs);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_ADDRCONFIG | AI_NUMERICSERV;
    addrinfo* pFound = nullptr;
    const int nResolve =
        getaddrinfo(address.strHost.c_str(), address.strPort.c_str(), &hints, &pFound);
    if (nResolve == EAI_SYSTEM) {
        return errno;
    }
    if (nResolve != 0) {
        return ENOENT;
    }
    const std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> found(pFound, &freeaddrinfo);
    int nError = ENOENT;
    for (const addrinfo* pInfo = pFound; pInfo != nullptr; pInfo = pInfo->ai_next) {
        nError = ConnectOne(*pInfo, tEnd, nFd, nCancelFd);
        if (nError == 0 || nError == ETIMEDOUT || nError == ECANCELED) {
            break;
        }
    }
    return nError;
}
