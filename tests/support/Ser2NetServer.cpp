#include "Ser2NetServer.h"

#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "WaitHelpers.h"

namespace {
sockaddr_in Loopback(int nPort) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(nPort));
    return address;
}
// How many sockets the kernel's table of TCP sockets lists with 127.0.0.1:nPort at this end
// (bRemote false) or at the other, in a state ("0A" listening, "02" connect sent).
int CountSockets(int nPort, bool bRemote, const std::string& strWantedState) {
    char szAddress[32];
    std::snprintf(szAddress, sizeof szAddress, "0100007F:%04X", static_cast<unsigned>(nPort));
    std::ifstream table("/proc/net/tcp");
    std::string strLine;
    int nCount = 0;
    while (std::getline(table, strLine)) {
        std::istringstream fields(strLine);
        std::string strSlot, strLocal, strRemote, strState;
        if (fields >> strSlot >> strLocal >> strRemote >> strState &&
            (bRemote ? strRemote : strLocal) == szAddress && strState == strWantedState) {
            ++nCount;
        }
    }
    return nCount;
}
bool IsListening(int nPort) {
    return CountSockets(nPort, false, "0A") > 0;
}
}  // namespace

int FreeLocalPort() {
    const int nFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(0);
    socklen_t nLen = sizeof address;
    int nPort = 0;
    if (bind(nFd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(nFd, reinterpret_cast<sockaddr*>(&address), &nLen) == 0) {
        nPort = ntohs(address.sin_port);
    }
    close(nFd);
    return nPort;
}

int ConnectsUnderWay(int nPort) {
    return CountSockets(nPort, true, "02");
}

int ConnectLocal(int nPort) {
    const int nFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = Loopback(nPort);
    if (connect(nFd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        close(nFd);
        return -1;
    }
    return nFd;
}

CLocalListener::CLocalListener(int nBacklog) {
    m_nFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(0);
    socklen_t nLen = sizeof address;
    bind(m_nFd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(m_nFd, nBacklog);
    getsockname(m_nFd, reinterpret_cast<sockaddr*>(&address), &nLen);
    m_nPort = ntohs(address.sin_port);
}

CLocalListener::~CLocalListener() {
    close(m_nFd);
}

std::vector<int> CLocalListener::FillQueue() const {
    std::vector<int> arrQueued;
    const sockaddr_in address = Loopback(m_nPort);
    for (int i = 0; i < 4; ++i) {
        arrQueued.push_back(socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        connect(arrQueued.back(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    }
    return arrQueued;
}

CSer2NetServer::CSer2NetServer() = default;

CSer2NetServer::~CSer2NetServer() {
    Stop();
}

bool CSer2NetServer::IsInstalled() {
    return access(kProgram, X_OK) == 0;
}

bool CSer2NetServer::Start() {
    m_nComPort = FreeLocalPort();
    m_nRawPort = FreeLocalPort();
    const std::string strConfig = m_folder.Path() + "/ser2net.yaml";
    {
        // "local": no modem control lines to wait for (a pseudo-terminal has none).
        std::ofstream config(strConfig);
        config << "%YAML 1.1\n---\n"
               << "connection: &com\n"
               << "  accepter: telnet(rfc2217),tcp,127.0.0.1," << m_nComPort << "\n"
               << "  connector: serialdev," << m_pty.SlavePath() << ",9600n81,local\n"
               << "  options:\n    kickolduser: true\n"
               << "connection: &raw\n"
               << "  accepter: tcp,127.0.0.1," << m_nRawPort << "\n"
               << "  connector: serialdev," << m_pty.SlavePath() << ",9600n81,local\n"
               << "  options:\n    kickolduser: true\n";
    }
    m_nPid = fork();
    if (m_nPid == 0) {
        execl(kProgram, kProgram, "-n", "-u", "-c", strConfig.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    if (m_nPid < 0) {
        return false;
    }
    // Up when both ports listen. A probe connection would make the server open the device,
    // and a test's own connection could then meet it still closing.
    return WaitPolling([this] { return IsListening(m_nComPort) && IsListening(m_nRawPort); });
}

void CSer2NetServer::Stop() {
    if (m_nPid <= 0) {
        return;
    }
    kill(m_nPid, SIGKILL);
    waitpid(m_nPid, nullptr, 0);
    m_nPid = -1;
}
