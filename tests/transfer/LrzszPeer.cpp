#include "LrzszPeer.h"

#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <random>
#include <thread>

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
                       const std::string& strFolder, int nSlave) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, nSlave, 0);
    posix_spawn_file_actions_adddup2(&actions, nSlave, 1);
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
}

CLrzszPeer::~CLrzszPeer() {
    if (m_nPid > 0 && Wait(0) == -1) {
        kill(m_nPid, SIGKILL);
        Wait(10);
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
