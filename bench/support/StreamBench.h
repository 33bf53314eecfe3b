#pragma once
// Shared pieces of the stream benchmarks: a pseudo-terminal pair whose far end a feeder thread
// fills with a known pattern, the plain read loop that every stream is compared with on an
// identical pair, the settings file that maps COM1 to a pair, and the process's CPU time and
// memory. Each benchmark runs its measurements several times, interleaved, and reports medians:
// the machine is shared and single runs wander.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "PtyPair.h"
#include "SerialTypes.h"

class CSerialLink;

// The stream's byte at offset nIndex: every value occurs, and no short period hides reordering.
std::uint8_t PatternByte(std::size_t nIndex);
// An order-sensitive checksum of a byte sequence.
inline std::uint32_t FoldByte(std::uint32_t nSum, std::uint8_t by) {
    return (nSum * 31) ^ by;
}
std::uint32_t PatternSum(std::size_t nCount);
// The last nCount bytes of a stream of nTotal.
std::vector<std::uint8_t> PatternTail(std::size_t nTotal, std::size_t nCount);

double ProcessCpuSeconds();  // user + system, every thread of the process
double ThreadCpuSeconds();   // user + system, the calling thread
// Wake-ups of every thread of the process: the times a thread went to sleep (voluntary context
// switches; being preempted is not counted, it depends on the machine's load).
long ProcessWakeUps();
// The highest resident size so far: ru_maxrss, or VmRSS when that is higher (ru_maxrss is
// brought up to date lazily).
double PeakRssMiB();
double CurrentRssMiB();  // VmRSS of /proc/self/status

constexpr double kMiB = 1024.0 * 1024.0;

// What a stream carries, repeated as a cycle: the pattern above; lines of printable measurement
// text ending in CR LF; random bytes (a wrong baud rate); Chinese text lines in GBK; the same
// measurement lines ending in CR alone, and with no line end at all (devices that send either).
enum class EPayload { Pattern, TextLines, Random, GbkText, CrLines, Unbroken };

class CPayload {
public:
    explicit CPayload(EPayload ePayload = EPayload::Pattern);
    const char* Name() const { return m_pszName; }
    std::uint8_t Byte(std::size_t nIndex) const { return m_bytes[nIndex % m_bytes.size()]; }
    // The last nCount bytes of a stream of nTotal.
    std::vector<std::uint8_t> Tail(std::size_t nTotal, std::size_t nCount) const;

private:
    const char* m_pszName;
    std::vector<std::uint8_t> m_bytes;
};

// Writes nTotal bytes of a payload into a pty master from its own thread, nChunk at a time,
// waiting through a full buffer; with nBytesPerSecond, paced in 100 slices a second. Its CPU time
// is kept apart: it plays the far device, not the program.
class CStreamFeeder {
public:
    CStreamFeeder(int nMasterFd, std::size_t nTotal, std::size_t nChunk,
                  const CPayload& payload = CPayload(), std::size_t nBytesPerSecond = 0);
    ~CStreamFeeder() { Join(); }
    CStreamFeeder(const CStreamFeeder&) = delete;
    CStreamFeeder& operator=(const CStreamFeeder&) = delete;

    void Join();
    double CpuSeconds() const { return m_dCpu; }  // valid after Join()
    long WakeUps() const { return m_nWakeUps; }   // valid after Join()

private:
    double m_dCpu = 0;
    long m_nWakeUps = 0;
    std::thread m_thread;
};

// A temporary folder holding the settings file "Vexor.ini", whose section "DEVICES" maps COM1 to
// a pair's slave, the device root and the lock folder of the engine. Removed with the object.
class CBenchFolder {
public:
    explicit CBenchFolder(const std::string& strTag);
    ~CBenchFolder();
    CBenchFolder(const CBenchFolder&) = delete;
    CBenchFolder& operator=(const CBenchFolder&) = delete;

    const std::string& Path() const { return m_strPath; }
    std::string IniPath() const { return m_strPath + "/Vexor.ini"; }
    std::string DevRoot() const { return m_strPath + "/root"; }
    // COM1 leads to the pair's slave side.
    void MapComOne(const CPtyPair& pty) const;
    // The engine finds its devices and keeps its lock files inside the folder.
    void Confine(CSerialLink& link) const;

private:
    std::string m_strPath;
};

// The owner of an engine in a stream benchmark: counts the bytes it receives and folds them with
// FoldByte; the thread that calls Drain() stands in for the user-interface thread.
class CCountingOwner : public ISerialOwner {
public:
    void OnNoticesPending() override;
    void OnSerialEvent(unsigned nCode, unsigned nValue) override;
    // Delivers notices until nTotal bytes came; false when none were pending for 30 s.
    bool Drain(CSerialLink& link, std::size_t nTotal);

    std::size_t m_nBytes = 0;
    std::uint32_t m_nSum = 0;

private:
    std::mutex m_mtx;
    std::condition_variable m_cv;
    bool m_bPending = false;
};

// One stream's figures. dCpu is the whole process's, the feeder's included.
struct SStreamRun {
    double dSeconds = 0;
    double dCpu = 0;
    double dFeederCpu = 0;
    std::size_t nBytes = 0;
    std::uint32_t nSum = 0;  // FoldByte of every byte, when the run keeps it
    bool bIntact = false;

    double MiBPerSecond() const { return static_cast<double>(nBytes) / kMiB / dSeconds; }
    double CpuPerMiB() const { return dCpu / (static_cast<double>(nBytes) / kMiB); }
    double CpuPerMiBWithoutFeeder() const {
        return (dCpu - dFeederCpu) / (static_cast<double>(nBytes) / kMiB);
    }
};

// The reference: read() on the slave of a fresh pair, nReadSize at a time, while a feeder writes
// nTotal bytes nWriteSize at a time. bChecksum folds every byte (for comparison with a reader
// that does the same); otherwise the bytes are only counted.
SStreamRun RunPlainReadLoop(std::size_t nTotal, std::size_t nReadSize, std::size_t nWriteSize,
                            bool bChecksum);

// The command line of a stream benchmark: [MiB per stream] [rounds, default 3].
struct SBenchArgs {
    std::size_t nMiB = 0;
    int nRounds = 3;
    std::size_t Total() const { return nMiB << 20; }
};
SBenchArgs ParseBenchArgs(int argc, char** argv, std::size_t nDefaultMiB);

// Prints the machine's load average (/proc/loadavg) and a line end: every figure is read
// against it on a shared machine.
void PrintLoadAverage();

// Median, lowest and highest of one figure over several runs.
struct SSpread {
    double dMedian = 0;
    double dMin = 0;
    double dMax = 0;
};
template <class TRun, class TKey>
SSpread SpreadOf(const std::vector<TRun>& arrRuns, TKey key) {
    std::vector<double> arrValues;
    for (const TRun& run : arrRuns) {
        arrValues.push_back(key(run));
    }
    std::sort(arrValues.begin(), arrValues.end());
    if (arrValues.empty()) {
        return {};
    }
    return {arrValues[arrValues.size() / 2], arrValues.front(), arrValues.back()};
}
