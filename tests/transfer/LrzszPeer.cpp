#include "LrzszPeer.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <iterator>
#include <random>
#include <thread>

namespace {

// False when the line is gone. A socket whose program has ended gives EPIPE, not SIGPIPE.
bool WriteAllTo(int nFd, const std::uint8_t* p, std::size_t nSize, const std::atomic<bool>& bStop,
                bool bSocket = false) {
    std::size_t nDone = 0;
    while (nDone < nSize && !bStop) {
        const ssize_t n = bSocket ? send(nFd, p + nDone, nSize - nDone, MSG_NOSIGNAL)
                                  : write(nFd, p + nDone, nSize - nDone);
        if (n > 0) {
            nDone += static_cast<std::size_t>(n);
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        } else {
            pollfd pfd{nFd, POLLOUT, 0};
            poll(&pfd, 1, 100);
        }
    }
    return true;
}

}  // namespace

SRawPty::SRawPty() {
    termios tio{};
    cfmakeraw(&tio);
    if (openpty(&nMaster, &nSlave, nullptr, &tio, nullptr) == 0) {
        fcntl(nMaster, F_SETFL, fcntl(nMaster, F_GETFL) | O_NONBLOCK);
        fcntl(nMaster, F_SETFD, FD_CLOEXEC);
    }
}

SRawPty::~SRawPty() {
    if (nMaster >= 0) {
        close(nMaster);
    }
    if (nSlave >= 0) {
        close(nSlave);
    }
}

CLrzszPeer::CLrzszPeer(const std::string& strProgram, const std::vector<std::string>& arrArgs,
                       const std::string& strFolder, int nSlave, bool bBehindSocket) {
    int sockets[2] = {-1, -1};
    if (bBehindSocket && socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets) != 0) {
        return;
    }
    const int nLine = bBehindSocket ? sockets[1] : nSlave;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, nLine, 0);
    posix_spawn_file_actions_adddup2(&actions, nLine, 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addchdir_np(&actions, strFolder.c_str());
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // A session of its own: its signals never reach the test.
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(strProgram.c_str()));
    for (const std::string& str : arrArgs) {
        argv.push_back(const_cast<char*>(str.c_str()));
    }
    argv.push_back(nullptr);
    if (posix_spawnp(&m_nPid, strProgram.c_str(), &actions, &attr, argv.data(), environ) != 0) {
        m_nPid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (bBehindSocket) {
        close(sockets[1]);
        m_relay = std::thread([this, nSocket = sockets[0], nSlave] { Relay(nSocket, nSlave); });
    }
}

void CLrzszPeer::Relay(int nSocket, int nSlave) {
    std::uint8_t buf[4096];
    while (!m_bStop) {
        pollfd fds[2] = {{nSocket, POLLIN, 0}, {nSlave, POLLIN, 0}};
        if (poll(fds, 2, 20) <= 0) {
            continue;
        }
        if (fds[0].revents & (POLLIN | POLLHUP)) {
            const ssize_t n = read(nSocket, buf, sizeof buf);
            if (n <= 0 || !WriteAllTo(nSlave, buf, static_cast<std::size_t>(n), m_bStop)) {
                break;  // the program has ended
            }
        }
        if (fds[1].revents & POLLIN) {
            const ssize_t n = read(nSlave, buf, sizeof buf);
            if (n > 0 && !WriteAllTo(nSocket, buf, static_cast<std::size_t>(n), m_bStop, true)) {
                break;
            }
        }
    }
    close(nSocket);
}

CLrzszPeer::~CLrzszPeer() {
    if (m_nPid > 0 && Wait(0) == -1) {
        kill(m_nPid, SIGKILL);
        Wait(10);
    }
    StopRelay();
}

void CLrzszPeer::StopRelay() {
    m_bStop = true;
    if (m_relay.joinable()) {
        m_relay.join();
    }
}

int CLrzszPeer::Wait(int nSeconds) {
    if (m_nPid <= 0) {
        return m_nStatus;
    }
    const auto tEnd = std::chrono::steady_clock::now() + std::chrono::seconds(nSeconds);
    for (;;) {
        int nStatus = 0;
        if (waitpid(m_nPid, &nStatus, WNOHANG) == m_nPid) {
            m_nPid = -1;
            m_nStatus = WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : 128 + WTERMSIG(nStatus);
            return m_nStatus;
        }
        if (std::chrono::steady_clock::now() >= tEnd) {
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void CLrzszPeer::Signal(int nSignal) {
    if (m_nPid > 0) {
        kill(m_nPid, nSignal);
    }
}

CDamagingRelay::CDamagingRelay(int nSenderSide, int nReceiverSide, std::size_t nCorruptEvery,
                               std::size_t nDropEvery)
    : m_thread([=, this] { Run(nSenderSide, nReceiverSide, nCorruptEvery, nDropEvery); }) {}

CDamagingRelay::~CDamagingRelay() {
    m_bStop = true;
    m_thread.join();
}

void CDamagingRelay::Run(int nFrom, int nTo, std::size_t nCorruptEvery, std::size_t nDropEvery) {
    std::uint8_t buf[4096];
    std::size_t nCount = 0;
    while (!m_bStop) {
        pollfd fds[2] = {{nFrom, POLLIN, 0}, {nTo, POLLIN, 0}};
        if (poll(fds, 2, 20) <= 0) {
            continue;
        }
        if (fds[0].revents & POLLIN) {
            const ssize_t n = read(nFrom, buf, sizeof buf);
            std::vector<std::uint8_t> out;
            for (ssize_t i = 0; i < n; ++i) {
                ++nCount;
                const bool bDrop = nCount % nDropEvery == 0;
                const bool bCorrupt = nCount % nCorruptEvery == 0;
                m_nDamaged += bDrop || bCorrupt;
                if (!bDrop) {
                    out.push_back(bCorrupt ? buf[i] ^ 0x5A : buf[i]);
                }
            }
            if (!WriteAllTo(nTo, out.data(), out.size(), m_bStop)) {
                return;
            }
        }
        if (fds[1].revents & POLLIN) {
            const ssize_t n = read(nTo, buf, sizeof buf);
            if (n > 0 && !WriteAllTo(nFrom, buf, static_cast<std::size_t>(n), m_bStop)) {
                return;
            }
        }
    }
}

bool HaveLrzsz() {
    for (const char* psz : {"/usr/bin/sx", "/usr/bin/sb", "/usr/bin/rx", "/usr/bin/rb"}) {
        if (access(psz, X_OK) != 0) {
            return false;
        }
    }
    return true;
}

std::vector<std::uint8_t> RandomBytes(std::size_t nSize, unsigned nSeed) {
    std::mt19937 random(nSeed);
    std::vector<std::uint8_t> bytes(nSize);
    for (std::uint8_t& by : bytes) {
        by = static_cast<std::uint8_t>(random());
    }
    return bytes;
}

bool WriteFileBytes(const std::string& strPath, const std::vector<std::uint8_t>& bytes) {
    std::ofstream file(strPath, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& strPath) {
    std::ifstream file(strPath, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), {});
}
