// Receive throughput of the serial engine against a plain read loop, on pseudo-terminal pairs in
// the same run. A writer thread streams a pattern into the master side; the plain loop reads the
// slave 4 KiB at a time, the engine path reads it through CSerialLink and hands every byte to an
// owner whose "user-interface thread" is a drain thread. Both fold every byte into a checksum, so
// nothing lost or reordered is checked as well as counted.
//
// Usage: dive_serial_stream_bench [MiB per run, default 64] [rounds, default 3]
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "IniFile.h"
#include "PtyPair.h"
#include "SerialLink.h"

namespace {
std::uint8_t PatternByte(std::size_t i) {
    return static_cast<std::uint8_t>((i * 131 + (i >> 11)) & 0xFF);
}

std::uint32_t Fold(std::uint32_t nSum, std::uint8_t by) {
    return (nSum * 31) ^ by;
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void StreamToMaster(int nMaster, std::size_t nTotal) {
    std::vector<std::uint8_t> chunk(4096);
    std::size_t nDone = 0;
    while (nDone < nTotal) {
        const std::size_t nCount = std::min(chunk.size(), nTotal - nDone);
        for (std::size_t i = 0; i < nCount; ++i) {
            chunk[i] = PatternByte(nDone + i);
        }
        std::size_t nOff = 0;
        while (nOff < nCount) {
            const ssize_t n = write(nMaster, chunk.data() + nOff, nCount - nOff);
            if (n > 0) {
                nOff += static_cast<std::size_t>(n);
            } else {
                pollfd pfd{nMaster, POLLOUT, 0};
                poll(&pfd, 1, 100);
            }
        }
        nDone += nCount;
    }
}

struct Result {
    double dSeconds = 0;
    double dCpu = 0;
    std::size_t nBytes = 0;
    std::uint32_t nSum = 0;
};

Result RunPlain(std::size_t nTotal) {
    CPtyPair pty;
    const int nSlave = open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    Result r;
    const double dCpu0 = CpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    std::thread writer(StreamToMaster, pty.MasterFd(), nTotal);
    std::uint8_t buf[4096];
    while (r.nBytes < nTotal) {
        const ssize_t n = read(nSlave, buf, sizeof buf);
        if (n <= 0) {
            break;
        }
        for (ssize_t i = 0; i < n; ++i) {
            r.nSum = Fold(r.nSum, buf[i]);
        }
        r.nBytes += static_cast<std::size_t>(n);
    }
    writer.join();
    r.dSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    r.dCpu = CpuSeconds() - dCpu0;
    close(nSlave);
    return r;
}

// Counts and folds the bytes; its drain thread stands in for the user-interface thread.
class CCountingOwner : public ISerialOwner {
public:
    void OnNoticesPending() override {
        {
            std::lock_guard lock(m_mtx);
            m_bPending = true;
        }
        m_cv.notify_one();
    }
    void OnSerialEvent(unsigned nCode, unsigned nValue) override {
        if (nCode == SN_RX_BYTE) {
            m_nSum = Fold(m_nSum, static_cast<std::uint8_t>(nValue));
            ++m_nBytes;
        }
    }
    void Drain(CSerialLink& link, std::size_t nTotal) {
        while (m_nBytes < nTotal) {
            {
                std::unique_lock lock(m_mtx);
                m_cv.wait(lock, [this] { return m_bPending; });
                m_bPending = false;
            }
            while (link.DeliverNotices() && m_nBytes < nTotal) {
            }
        }
    }
    std::size_t m_nBytes = 0;
    std::uint32_t m_nSum = 0;

private:
    std::mutex m_mtx;
    std::condition_variable m_cv;
    bool m_bPending = false;
};

Result RunEngine(std::size_t nTotal, const std::string& strFolder) {
    CPtyPair pty;
    CIniFile(strFolder + "/Vexor.ini").WriteString("DEVICES", "COM1", pty.SlavePath());
    CSerialLink link;
    link.SetDeviceMapSource(strFolder + "/Vexor.ini", strFolder + "/root");
    link.SetLockFolder(strFolder);
    CCountingOwner owner;
    Result r;
    if (!link.Open(&owner, {}) || !link.StartWatcher()) {
        std::fprintf(stderr, "cannot open %s\n", pty.SlavePath().c_str());
        return r;
    }
    const double dCpu0 = CpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    std::thread writer(StreamToMaster, pty.MasterFd(), nTotal);
    owner.Drain(link, nTotal);
    writer.join();
    r.dSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    r.dCpu = CpuSeconds() - dCpu0;
    r.nBytes = owner.m_nBytes;
    r.nSum = owner.m_nSum;
    link.Close();
    return r;
}

void Report(const char* pszName, const Result& r, std::size_t nTotal, std::uint32_t nExpected) {
    const double dMiB = static_cast<double>(r.nBytes) / (1 << 20);
    std::printf("%-8s %8.1f MB/s  %7.4f CPU s/MiB  %s\n", pszName,
                static_cast<double>(r.nBytes) / 1e6 / r.dSeconds, r.dCpu / dMiB,
                r.nBytes == nTotal && r.nSum == nExpected ? "complete, in order" : "BYTES LOST");
}
}  // namespace

int main(int argc, char** argv) {
    const std::size_t nMiB = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 64;
    const int nRounds = argc > 2 ? std::atoi(argv[2]) : 3;
    const std::size_t nTotal = nMiB << 20;
    std::uint32_t nExpected = 0;
    for (std::size_t i = 0; i < nTotal; ++i) {
        nExpected = Fold(nExpected, PatternByte(i));
    }
    const std::string strFolder =
        (std::filesystem::temp_directory_path() / ("dive-bench-" + std::to_string(getpid())))
            .string();
    std::filesystem::create_directories(strFolder + "/root");

    std::vector<Result> arrPlain, arrEngine;
    for (int nRound = 0; nRound < nRounds; ++nRound) {
        arrPlain.push_back(RunPlain(nTotal));
        arrEngine.push_back(RunEngine(nTotal, strFolder));
        Report("plain", arrPlain.back(), nTotal, nExpected);
        Report("engine", arrEngine.back(), nTotal, nExpected);
    }
    std::filesystem::remove_all(strFolder);
    // Medians: the machine is shared, single runs wander.
    const auto median = [](std::vector<Result> arr, auto key) {
        std::sort(arr.begin(), arr.end(),
                  [&](const Result& a, const Result& b) { return key(a) < key(b); });
        return key(arr[arr.size() / 2]);
    };
    const auto seconds = [](const Result& r) { return r.dSeconds; };
    const auto cpu = [](const Result& r) { return r.dCpu; };
    std::printf(
        "median of %d runs of %zu MiB: engine throughput %.0f%% of the plain loop "
        "(target >= 90%%), CPU per MiB %.2fx (target <= 1.5x)\n",
        nRounds, nMiB, 100 * median(arrPlain, seconds) / median(arrEngine, seconds),
        median(arrEngine, cpu) / median(arrPlain, cpu));
    return 0;
}
