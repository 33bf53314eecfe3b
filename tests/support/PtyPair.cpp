#include "PtyPair.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

CPtyPair::CPtyPair() {
    char name[256] = {};
    int nMaster = -1;
    int nSlave = -1;
    if (openpty(&nMaster, &nSlave, name, nullptr, nullptr) != 0) {
        return;
    }
    termios tio{};
    for (int fd : {nMaster, nSlave}) {
        if (tcgetattr(fd, &tio) == 0) {
            cfmakeraw(&tio);
            tcsetattr(fd, TCSANOW, &tio);
        }
    }
    fcntl(nMaster, F_SETFL, fcntl(nMaster, F_GETFL) | O_NONBLOCK);
    m_nMaster = nMaster;
    m_nSlaveKeep = nSlave;
    m_strSlavePath = name;
}

CPtyPair::~CPtyPair() {
    CloseMaster();
    if (m_nSlaveKeep >= 0) {
        close(m_nSlaveKeep);
    }
}

bool CPtyPair::WriteMaster(const void* pData, std::size_t nLen) {
    const auto* p = static_cast<const std::uint8_t*>(pData);
    while (nLen > 0 && m_nMaster >= 0) {
        ssize_t n = write(m_nMaster, p, nLen);
        if (n > 0) {
            p += n;
            nLen -= static_cast<std::size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd pfd{m_nMaster, POLLOUT, 0};
            poll(&pfd, 1, 100);
        } else {
            return false;
        }
    }
    return nLen == 0;
}

std::vector<std::uint8_t> CPtyPair::ReadMaster(std::size_t nWanted,
                                               std::chrono::milliseconds limit) {
    std::vector<std::uint8_t> out;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::uint8_t buf[4096];
    while (out.size() < nWanted && m_nMaster >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            break;
        }
        pollfd pfd{m_nMaster, POLLIN, 0};
        if (poll(&pfd, 1, static_cast<int>(left.count())) <= 0) {
            continue;
        }
        ssize_t n = read(m_nMaster, buf, sizeof buf);
        if (n > 0) {
            out.insert(out.end(), buf, buf + n);
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            break;
        }
    }
    return out;
}

void CPtyPair::CloseMaster() {
    if (m_nMaster >= 0) {
        close(m_nMaster);
        m_nMaster = -1;
    }
}
