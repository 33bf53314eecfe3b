#include "StreamBench.h"

#include <fcntl.h>
#include <iconv.h>
#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <thread>

#include "IniFile.h"
#include "SerialLink.h"

namespace {
double RusageCpu(int nWho) {
    rusage usage{};
    getrusage(nWho, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long RusageWakeUps(int nWho) {
    rusage usage{};
    getrusage(nWho, &usage);
    return usage.ru_nvcsw;  // a thread went to sleep: it will be woken
}

void Feed(int nMaster, std::size_t nTotal, std::size_t nChunk, CPayload payload,
          std::size_t nBytesPerSecond, double* pCpu, long* pWakeUps) {
    constexpr int kSlicesPerSecond = 100;
    if (nBytesPerSecond > 0) {
        nChunk = std::max<std::size_t>(1, nBytesPerSecond / kSlicesPerSecond);
    }
    std::vector<std::uint8_t> chunk(nChunk);
    std::size_t nDone = 0;
    auto tNext = std::chrono::steady_clock::now();
    while (nDone < nTotal) {
        if (nBytesPerSecond > 0) {
            tNext += std::chrono::microseconds(1000000 / kSlicesPerSecond);
            std::this_thread::sleep_until(tNext);
        }
        const std::size_t nCount = std::min(chunk.size(), nTotal - nDone);
        for (std::size_t i = 0; i < nCount; ++i) {
            chunk[i] = payload.Byte(nDone + i);
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
    *pWakeUps = RusageWakeUps(RUSAGE_THREAD);
}

// The text of a GBK stream, encoded once with glibc's converter.
std::vector<std::uint8_t> ToGbk(const std::string& strUtf8) {
    std::vector<std::uint8_t> out(strUtf8.size() * 2 + 16);
    iconv_t cd = iconv_open("GBK", "UTF-8");
    char* pIn = const_cast<char*>(strUtf8.data());
    std::size_t nIn = strUtf8.size();
    char* pOut = reinterpret_cast<char*>(out.data());
    std::size_t nOut = out.size();
    if (cd == reinterpret_cast<iconv_t>(-1) ||
        iconv(cd, &pIn, &nIn, &pOut, &nOut) == static_cast<std::size_t>(-1)) {
        std::fprintf(stderr, "no GBK converter\n");
        std::abort();
    }
    iconv_close(cd);
    out.resize(out.size() - nOut);
    return out;
}
}  // namespace

std::uint8_t PatternByte(std::size_t nIndex) {
    return static_cast<std::uint8_t>((nIndex * 131 + (nIndex >> 11)) & 0xFF);
}

CPayload::CPayload(EPayload ePayload) {
    char szLine[128];
    switch (ePayload) {
        case EPayload::Pattern:
            // PatternByte repeats after 256 * 2048 bytes.
            m_pszName = "pattern";
            for (std::size_t i = 0; i < 256 * 2048; ++i) {
                m_bytes.push_back(PatternByte(i));
            }
            break;
        case EPayload::TextLines:
        case EPayload::CrLines:
        case EPayload::Unbroken: {
            // The same measurements, each ended as the payload says.
            const char* pszEnd = ePayload == EPayload::TextLines ? "\r\n"
                                 : ePayload == EPayload::CrLines ? "\r"
                                                                 : "";
            m_pszName = ePayload == EPayload::TextLines ? "text lines"
                        : ePayload == EPayload::CrLines ? "lines ended by CR"
                                                        : "text without line breaks";
            for (int i = 0; i < 4096; ++i) {
                const int n = std::snprintf(szLine, sizeof szLine,
                                            "T=%d.%dC V=3.%02dV I=0.%03dA seq=%06d state OK%s",
                                            20 + i % 10, i % 7, 30 + i % 5, i % 997, i, pszEnd);
                m_bytes.insert(m_bytes.end(), szLine, szLine + n);
            }
            break;
        }
        case EPayload::Random: {
            m_pszName = "random bytes";
            std::mt19937 rng(2024);
            for (std::size_t i = 0; i < (1u << 20); ++i) {
                m_bytes.push_back(static_cast<std::uint8_t>(rng()));
            }
            break;
        }
        case EPayload::GbkText: {
            m_pszName = "GBK text";
            std::string strText;
            for (int i = 0; i < 4096; ++i) {
                std::snprintf(szLine, sizeof szLine, "%06d 温度 %d.%d℃ 电压 3.%02dV 状态正常，", i,
                              20 + i % 10, i % 7, 30 + i % 5);
                strText += szLine;
                strText += i % 3 == 0 ? "设备已连接\r\n" : "数据接收完毕，等待下一帧\r\n";
            }
            m_bytes = ToGbk(strText);
            break;
        }
    }
}

std::vector<std::uint8_t> CPayload::Tail(std::size_t nTotal, std::size_t nCount) const {
    std::vector<std::uint8_t> tail;
    for (std::size_t i = nTotal - std::min(nCount, nTotal); i < nTotal; ++i) {
        tail.push_back(Byte(i));
    }
    return tail;
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

long ProcessWakeUps() {
    return RusageWakeUps(RUSAGE_SELF);
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

CStreamFeeder::CStreamFeeder(int nMasterFd, std::size_t nTotal, std::size_t nChunk,
                             const CPayload& payload, std::size_t nBytesPerSecond)
    : m_thread(Feed, nMasterFd, nTotal, nChunk, payload, nBytesPerSecond, &m_dCpu, &m_nWakeUps) {}

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

void CCountingOwner::OnNoticesPending() {
    {
        std::lock_guard lock(m_mtx);
        m_bPending = true;
    }
    m_cv.notify_one();
}

void CCountingOwner::OnSerialEvent(unsigned nCode, unsigned nValue) {
    if (nCode == SN_RX_BYTE) {
        m_nSum = FoldByte(m_nSum, static_cast<std::uint8_t>(nValue));
        ++m_nBytes;
    }
}

bool CCountingOwner::Drain(CSerialLink& link, std::size_t nTotal) {
    while (m_nBytes < nTotal) {
        {
            std::unique_lock lock(m_mtx);
            if (!m_cv.wait_for(lock, std::chrono::seconds(30), [this] { return m_bPending; })) {
                return false;
            }
            m_bPending = false;
        }
        while (link.DeliverNotices() && m_nBytes < nTotal) {
        }
    }
    return true;
}

void PrintLoadAverage() {
    if (FILE* pLoad = std::fopen("/proc/loadavg", "r")) {
        char szLoad[64] = {};
        std::fgets(szLoad, sizeof szLoad, pLoad);
        std::fclose(pLoad);
        std::printf("%s", szLoad);
    }
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
