#pragma once
// Helpers for the engine's tests: an owner that records notices and a pump that plays the
// user-interface thread, a temporary folder with a settings file that maps ports to devices,
// and a peer program run in the background.
#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "SerialLink.h"
#include "TempFolder.h"
#include "WaitHelpers.h"

class CRecordingOwner : public ISerialOwner {
public:
    void OnNoticesPending() override;
    void OnSerialEvent(unsigned nCode, unsigned nValue) override;
    // With bTakeRuns, a run of bytes is recorded at once and fnOnEvent sees its last byte.
    bool OnSerialBytes(const std::uint8_t* pBytes, std::size_t nCount) override;
    bool bTakeRuns = false;

    // Plays the user-interface thread: waits for OnNoticesPending() and delivers until pred()
    // holds or nLimitMs passed. Delivers only when woken or told that more is waiting, so a
    // notice left without a wake-up makes this fail.
    bool PumpUntil(CSerialLink& link, const std::function<bool()>& pred, int nLimitMs = 10000,
                   std::size_t nBudget = 256 * 1024);

    // Called for every notice after it is recorded (e.g. to close the engine from a notice).
    std::function<void(unsigned nCode, unsigned nValue)> fnOnEvent;

    std::vector<std::uint8_t> bytes;  // every SN_RX_BYTE value, in order
    std::vector<unsigned> codes;      // every other code, in order
    std::size_t Count(unsigned nCode) const;

private:
    std::mutex m_mtx;
    std::condition_variable m_cv;
    bool m_bPending = false;
};

// Points link at a settings file in folder that maps COM1 to strDevice (and no other device
// present), and keeps its lock files in the folder.
void MapCom1(CSerialLink& link, const CTempFolder& folder, const std::string& strDevice);

// A program running in the background with its input from a pipe and output discarded.
class CPeerProcess {
public:
    explicit CPeerProcess(const std::vector<std::string>& arrArgs);
    ~CPeerProcess();  // kills it if it still runs
    pid_t Pid() const { return m_nPid; }
    bool IsRunning();
    // Waits for the end; its exit status, or -1 when it still runs after nLimitMs.
    int WaitExit(int nLimitMs);
    void Kill();

private:
    pid_t m_nPid = -1;
    int m_nStdin = -1;
    int m_nStatus = -1;
};

// The CPU time this process (all threads) uses while the calling thread sleeps nMs, as a share of
// that time (the least of up to three tries, see LeastCpuShare): a thread that spins shows as 1
// or more; an idle process stays under kIdleCpuShare.
constexpr double kIdleCpuShare = 0.2;
double CpuShareWhileIdle(int nMs);

// Closes the link from another thread: true when Close() returned within ten seconds (the thread
// is joined in any case).
bool ClosesPromptly(CSerialLink& link);
