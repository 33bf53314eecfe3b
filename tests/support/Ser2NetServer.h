#pragma once
// ser2net (Debian's, a server no one here wrote) started on 127.0.0.1 in front of a
// pseudo-terminal pair: the test plays the serial device on the pair's master side, clients
// reach it at rfc2217://127.0.0.1:ComPort() and tcp://127.0.0.1:RawPort(). Both ports are free
// ones, the configuration is generated, the program is killed when the object goes.
#include <sys/types.h>

#include <string>
#include <vector>

#include "PtyPair.h"
#include "TempFolder.h"

class CSer2NetServer {
public:
    static constexpr const char* kProgram = "/usr/sbin/ser2net";

    CSer2NetServer();
    ~CSer2NetServer();
    CSer2NetServer(const CSer2NetServer&) = delete;
    CSer2NetServer& operator=(const CSer2NetServer&) = delete;

    static bool IsInstalled();
    // Starts it and waits (bounded) until both ports accept; false when it did not come up.
    bool Start();
    void Stop();  // kills it; clients see the connection dropped

    CPtyPair& Pty() { return m_pty; }
    int ComPort() const { return m_nComPort; }
    int RawPort() const { return m_nRawPort; }
    std::string ComAddress() const { return "rfc2217://127.0.0.1:" + std::to_string(m_nComPort); }
    std::string RawAddress() const { return "tcp://127.0.0.1:" + std::to_string(m_nRawPort); }

private:
    CPtyPair m_pty;
    CTempFolder m_folder;
    int m_nComPort = 0;
    int m_nRawPort = 0;
    pid_t m_nPid = -1;
};

// A listener on 127.0.0.1 that never accepts: the kernel completes connections into its queue
// (a server that never speaks) until the queue is full, then leaves further ones unanswered.
class CLocalListener {
public:
    explicit CLocalListener(int nBacklog = 4);
    ~CLocalListener();
    CLocalListener(const CLocalListener&) = delete;
    CLocalListener& operator=(const CLocalListener&) = delete;
    int Port() const { return m_nPort; }
    int Fd() const { return m_nFd; }
    // Connections that fill the queue (the caller closes them): the next one goes unanswered.
    std::vector<int> FillQueue() const;

private:
    int m_nFd = -1;
    int m_nPort = 0;
};

// Connects to 127.0.0.1:nPort still waiting for an answer (any process's).
int ConnectsUnderWay(int nPort);
// A port on 127.0.0.1 that nothing listens on right now.
int FreeLocalPort();
// Connects to 127.0.0.1:nPort (blocking socket); -1 on failure.
int ConnectLocal(int nPort);
