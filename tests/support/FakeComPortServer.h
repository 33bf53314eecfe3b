#pragma once
// A scripted RFC 2217 access server on 127.0.0.1 for what ser2net cannot show in front of a
// pseudo-terminal (which has no modem lines): it takes one client, agrees to COM-PORT-OPTION and
// BINARY, answers every setting as taken, and sends the NOTIFY-MODEMSTATE the test asks for.
// Every wait is bounded; the thread ends with the object.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "Ser2NetServer.h"

class CFakeComPortServer {
public:
    CFakeComPortServer();
    ~CFakeComPortServer();
    CFakeComPortServer(const CFakeComPortServer&) = delete;
    CFakeComPortServer& operator=(const CFakeComPortServer&) = delete;

    std::string Address() const {
        return "rfc2217://127.0.0.1:" + std::to_string(m_listener.Port());
    }
    // NOTIFY-MODEMSTATE with the RFC 2217 bits (CTS 0x10, DSR 0x20, RI 0x40, CD 0x80, deltas
    // 0x01..0x08); false without a client.
    bool NotifyModemState(std::uint8_t byState);

private:
    void Serve();

    CLocalListener m_listener;
    std::atomic<int> m_nClientFd{-1};
    std::atomic<bool> m_bStop{false};
    std::mutex m_mtxSend;
    std::thread m_thread;
};
