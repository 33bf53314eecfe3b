#include "StreamBench.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "IniFile.h"
#include "SerialLink.h"

namespace {
double RusageCpu(int nWho) {
    rusage usage{};
    getrusage(nWho, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void Feed(int nMaster, std::size_t nTotal, std::size_t nChunk, double* pCpu) {
    std::vector<std::uint8_t> chunk(nChunk);
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
    *pCpu = ThreadCpuSeconds();
}
}  // namespace

std::uint8_t PatternByte(std::size_t nIndex) {
    return static_cast<std::uint8_t>((nIndex * 131 + (nIndex >> 11)) & 0xFF);
}

std::uint32_t PatternSum(std::size_t nCount) {
    std::uint32_t nSum = 0;
    for (std::size_t i = 0; i < nCount; ++i) {
        nSum = FoldByte(nSum, PatternByte(i));
    }
    return nSum;
}

std::vector<std::uint8_t> PatternTail(std::size_t nTotal, std::size_t nCount) {
    std::vector<std::uint8_t> tail;
    for (std::size_t i = nTotal - std::min(nCount, nTotal); i < nTotal; ++i) {
        tail.push_back(PatternByte(i));
    }
    return tail;
}

double ProcessCpuSeconds() {
    return RusageCpu(RUSAGE_SELF);
}

double ThreadCpuSeconds() {
    return RusageCpu(RUSAGE_THREAD);
}

double PeakRssMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return std::max(static_cast<double>(usage.ru_maxrss) / 1024, CurrentRssMiB());  // kilobytes
}

double CurrentRssMiB() {
    FILE* pFile = std::fopen("/proc/self/status", "r");
    if (pFile == nullptr) {
        return 0;
    }
    char szLine[256];
    long nKiB = 0;
    while (std::fgets(szLine, sizeof szLine, pFile) != nullptr) {
        if (std::strncmp(szLine, "VmRSS:", 6) == 0) {
            nKiB = std::strtol(szLine + 6, nullptr, 10);
            break;
        }
    }
    std::fclose(pFile);
    return static_cast<double>(nKiB) / 1024;
}

CStreamFeeder::CStreamFeeder(int nMasterFd, std::size_t nTotal, std::size_t nChunk)
    : m_thread(Feed, nMasterFd, nTotal, nChunk, &m_dCpu) {}

void CStreamFeeder::Join() {
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

CBenchFolder::CBenchFolder(const std::string& strTag)
    : m_strPath((std::filesystem::temp_directory_path() /
                 ("dive-" + strTag + "-" + std::to_string(getpid())))
                    .string()) {
    std::filesystem::create_directories(DevRoot());
}

CBenchFolder::~CBenchFolder() {
    std::error_code error;
    std::filesystem::remove_all(m_strPath, error);
}

void CBenchFolder::MapComOne(const CPtyPair& pty) const {
    CIniFile(IniPath()).WriteString("DEVICES", "COM1", pty.SlavePath());
}

void CBenchFolder::Confine(CSerialLink& link) const {
    link.SetDeviceMapSource(IniPath(), DevRoot());
    link.SetLockFolder(m_strPath);
}

SBenchArgs ParseBenchArgs(int argc, char** argv, std::size_t nDefaultMiB) {
    SBenchArgs args;
    args.nMiB = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : nDefaultMiB;
    args.nRounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    return args;
}

SStreamRun RunPlainReadLoop(std::size_t nTotal, std::size_t nReadSize, std::size_t nWriteSize,
                            bool bChecksum) {
    CPtyPair pty;
    const int nSlave = open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    SStreamRun r;
    if (nSlave < 0) {
        std::fprintf(stderr, "cannot open %s\n", pty.SlavePath().c_str());
        return r;
    }
    std::vector<std::uint8_t> buf(nReadSize);
    const double dCpu0 = ProcessCpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    CStreamFeeder feeder(pty.MasterFd(), nTotal, nWriteSize);
    while (r.nBytes < nTotal) {
        const ssize_t n = read(nSlave, buf.data(), buf.size());
        if (n <= 0) {
            break;
        }
        if (bChecksum) {
            for (ssize_t i = 0; i < n; ++i) {
                r.nSum = FoldByte(r.nSum, buf[static_cast<std::size_t>(i)]);
            }
        }
        r.nBytes += static_cast<std::size_t>(n);
    }
    r.dSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    feeder.Join();
    r.dCpu = ProcessCpuSeconds() - dCpu0;
    r.dFeederCpu = feeder.CpuSeconds();
    r.bIntact = r.nBytes == nTotal && (!bChecksum || r.nSum == PatternSum(nTotal));
    close(nSlave);
    return r;
}
