#pragma once
// A pseudo-terminal pair standing in for a serial line: the engine opens SlavePath(), the test
// plays the device on the master side. Both sides are raw (no echo, no translation, 8 bits).
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CPtyPair {
public:
    CPtyPair();
    ~CPtyPair();
    CPtyPair(const CPtyPair&) = delete;
    CPtyPair& operator=(const CPtyPair&) = delete;

    bool IsValid() const { return m_nMaster >= 0; }
    const std::string& SlavePath() const { return m_strSlavePath; }
    int MasterFd() const { return m_nMaster; }

    // Writes every byte to the master side (waits through EAGAIN); false on a hard error.
    bool WriteMaster(const void* pData, std::size_t nLen);
    bool WriteMaster(const std::vector<std::uint8_t>& bytes) {
        return WriteMaster(bytes.data(), bytes.size());
    }
    // Reads from the master until nWanted bytes arrived or the time limit passed.
    std::vector<std::uint8_t> ReadMaster(std::size_t nWanted, std::chrono::milliseconds limit);
    // Closes the master side: to the slave's holder this looks like an unplugged adapter.
    void CloseMaster();

private:
    int m_nMaster = -1;
    int m_nSlaveKeep = -1;  // keeps the slave alive until the engine opens it
    std::string m_strSlavePath;
};
