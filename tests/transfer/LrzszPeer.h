#pragma once
// The far end of a transfer test: Debian's lrzsz (sx, sb, rx, rb) run on the slave side of a
// pseudo-terminal pair, in a folder of its own, while the test's machine runs on the master side;
// and a relay between two pairs that damages what passes.
#include <sys/types.h>

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
    // Starts strProgram with arrArgs in strFolder, its standard input and output the slave.
    CLrzszPeer(const std::string& strProgram, const std::vector<std::string>& arrArgs,
               const std::string& strFolder, int nSlave);
    ~CLrzszPeer();  // kills it if it still runs
    bool IsStarted() const { return m_nPid > 0; }
    // Waits up to nSeconds for it to end; its exit status, or -1 when it did not end in time.
    int Wait(int nSeconds);
    void Signal(int nSignal);

private:
    pid_t m_nPid = -1;
    int m_nStatus = -1;
};

bool HaveLrzsz();

std::vector<std::uint8_t> RandomBytes(std::size_t nSize, unsigned nSeed);
bool WriteFileBytes(const std::string& strPath, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> ReadFileBytes(const std::string& strPath);
