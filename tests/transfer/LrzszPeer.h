#pragma once
// The far end of a transfer test: Debian's lrzsz (sx, sb, rx, rb) run on the slave side of a
// pseudo-terminal pair, in a folder of its own, while the test's machine runs on the master side;
// and a relay between two pairs that damages what passes.
#include <sys/types.h>

#include <atomic>
#include <thread>

#include <cstdint>
#include <string>
#include <vector>

// A pseudo-terminal pair opened raw: the master non-blocking for the test's side.
struct SRawPty {
    SRawPty();
    ~SRawPty();
    int nMaster = -1;
    int nSlave = -1;
};

class CLrzszPeer {
public:
    // Starts strProgram with arrArgs in strFolder, its standard input and output the slave; with
    // bBehindSocket through a socket that a thread joins to the slave. lrzsz's receivers empty
    // their terminal's queues both ways when they exit, which on a pseudo-terminal can throw
    // away their last ACK before the master has read it; a socket has no queues to empty.
    CLrzszPeer(const std::string& strProgram, const std::vector<std::string>& arrArgs,
               const std::string& strFolder, int nSlave, bool bBehindSocket = false);
    ~CLrzszPeer();  // kills it if it still runs
    bool IsStarted() const { return m_nPid > 0; }
    // Waits up to nSeconds for it to end; its exit status, or -1 when it did not end in time.
    int Wait(int nSeconds);
    void Signal(int nSignal);
    // Ends the thread that joins the socket to the slave; the slave is no longer touched.
    void StopRelay();

private:
    void Relay(int nSocket, int nSlave);

    pid_t m_nPid = -1;
    int m_nStatus = -1;
    std::atomic<bool> m_bStop{false};
    std::thread m_relay;
};

// Copies between two masters; from the sender's side it changes one byte in every nCorruptEvery
// and drops one in every nDropEvery.
class CDamagingRelay {
public:
    CDamagingRelay(int nSenderSide, int nReceiverSide, std::size_t nCorruptEvery,
                   std::size_t nDropEvery);
    ~CDamagingRelay();
    std::size_t Damaged() const { return m_nDamaged; }

private:
    void Run(int nFrom, int nTo, std::size_t nCorruptEvery, std::size_t nDropEvery);

    std::atomic<bool> m_bStop{false};
    std::atomic<std::size_t> m_nDamaged{0};
    std::thread m_thread;
};

bool HaveLrzsz();

std::vector<std::uint8_t> RandomBytes(std::size_t nSize, unsigned nSeed);
bool WriteFileBytes(const std::string& strPath, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> ReadFileBytes(const std::string& strPath);
