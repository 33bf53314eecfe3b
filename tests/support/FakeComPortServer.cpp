#include "FakeComPortServer.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <vector>

#include "Telnet.h"

namespace {
constexpr int kPollMs = 20;
constexpr auto kAcceptLimit = std::chrono::seconds(20);
constexpr std::uint8_t kServerOffset = 100;  // an answer's code: the command's + 100
constexpr std::uint8_t kNotifyModemState = 7;

bool SendAll(int nFd, const std::vector<std::uint8_t>& bytes) {
    return send(nFd, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
           static_cast<ssize_t>(bytes.size());
}
}  // namespace

CFakeComPortServer::CFakeComPortServer() : m_thread(&CFakeComPortServer::Serve, this) {}

CFakeComPortServer::~CFakeComPortServer() {
    m_bStop = true;
    m_thread.join();
    if (m_nClientFd >= 0) {
        close(m_nClientFd);
    }
}

bool CFakeComPortServer::NotifyModemState(std::uint8_t byState) {
    std::vector<std::uint8_t> out;
    AppendTelnetSubnegotiation(
        out, telnet::OPT_COM_PORT,
        {static_cast<std::uint8_t>(kNotifyModemState + kServerOffset), byState});
    const std::lock_guard lock(m_mtxSend);
    return m_nClientFd >= 0 && SendAll(m_nClientFd, out);
}

void CFakeComPortServer::Serve() {
    const auto tGiveUp = std::chrono::steady_clock::now() + kAcceptLimit;
    int nFd = -1;
    while (nFd < 0 && !m_bStop && std::chrono::steady_clock::now() < tGiveUp) {
        pollfd fd{m_listener.Fd(), POLLIN, 0};
        if (poll(&fd, 1, kPollMs) > 0) {
            nFd = accept4(m_listener.Fd(), nullptr, nullptr, SOCK_CLOEXEC);
        }
    }
    if (nFd < 0) {
        return;
    }
    using namespace telnet;
    std::vector<std::uint8_t> hello;
    AppendTelnetNegotiation(hello, DO, OPT_COM_PORT);
    AppendTelnetNegotiation(hello, DO, OPT_BINARY);
    AppendTelnetNegotiation(hello, WILL, OPT_BINARY);
    {
        const std::lock_guard lock(m_mtxSend);
        SendAll(nFd, hello);
        m_nClientFd = nFd;
    }
    CTelnetReader reader;
    std::vector<std::uint8_t> data;
    std::vector<TelnetCommand> arrCommands;
    std::uint8_t abyBuf[4096];
    while (!m_bStop) {
        pollfd fd{nFd, POLLIN, 0};
        if (poll(&fd, 1, kPollMs) <= 0) {
            continue;
        }
        const ssize_t n = recv(nFd, abyBuf, sizeof abyBuf, 0);
        if (n <= 0) {
            break;  // the client went
        }
        data.clear();
        arrCommands.clear();
        reader.Feed(abyBuf, static_cast<std::size_t>(n), data, arrCommands);
        // Every setting is taken as asked: its answer repeats its value.
        std::vector<std::uint8_t> answers;
        for (TelnetCommand& command : arrCommands) {
            if (command.byCommand == SB && command.byOption == OPT_COM_PORT &&
                !command.payload.empty()) {
                command.payload[0] = static_cast<std::uint8_t>(command.payload[0] + kServerOffset);
                AppendTelnetSubnegotiation(answers, OPT_COM_PORT, command.payload);
            }
        }
        const std::lock_guard lock(m_mtxSend);
        SendAll(nFd, answers);
    }
}
