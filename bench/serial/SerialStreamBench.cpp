// Receive throughput of the serial engine against a plain read loop, on pseudo-terminal pairs in
// the same run. A feeder thread streams a pattern into the master side; the plain loop reads the
// slave 4 KiB at a time, the engine path reads it through CSerialLink and hands every byte to an
// owner whose "user-interface thread" is a drain thread. Both fold every byte into a checksum, so
// nothing lost or reordered is checked as well as counted. CPU time is the whole process's, the
// feeder's included on both sides.
//
// Usage: dive_serial_stream_bench [MiB per run, default 64] [rounds, default 3]
#include <cstdio>

#include "SerialLink.h"
#include "StreamBench.h"

namespace {
constexpr std::size_t kChunk = 4096;

SStreamRun RunEngine(std::size_t nTotal, std::uint32_t nExpected, const CBenchFolder& folder) {
    CPtyPair pty;
    folder.MapComOne(pty);
    CSerialLink link;
    folder.Confine(link);
    CCountingOwner owner;
    SStreamRun r;
    if (!link.Open(&owner, {}) || !link.StartWatcher()) {
        std::fprintf(stderr, "cannot open %s\n", pty.SlavePath().c_str());
        return r;
    }
    const double dCpu0 = ProcessCpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    CStreamFeeder feeder(pty.MasterFd(), nTotal, kChunk);
    owner.Drain(link, nTotal);
    feeder.Join();
    r.dSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    r.dCpu = ProcessCpuSeconds() - dCpu0;
    r.dFeederCpu = feeder.CpuSeconds();
    r.nBytes = owner.m_nBytes;
    r.nSum = owner.m_nSum;
    r.bIntact = r.nBytes == nTotal && r.nSum == nExpected;
    link.Close();
    return r;
}

void Report(const char* pszName, const SStreamRun& r) {
    std::printf("%-8s %8.1f MB/s  %7.4f CPU s/MiB  %s\n", pszName,
                static_cast<double>(r.nBytes) / 1e6 / r.dSeconds, r.CpuPerMiB(),
                r.bIntact ? "complete, in order" : "BYTES LOST");
}
}  // namespace

int main(int argc, char** argv) {
    const SBenchArgs args = ParseBenchArgs(argc, argv, 64);
    const std::size_t nTotal = args.Total();
    const std::uint32_t nExpected = PatternSum(nTotal);
    const CBenchFolder folder("serial-bench");

    std::vector<SStreamRun> arrPlain, arrEngine;
    for (int nRound = 0; nRound < args.nRounds; ++nRound) {
        arrPlain.push_back(RunPlainReadLoop(nTotal, kChunk, kChunk, true));
        arrEngine.push_back(RunEngine(nTotal, nExpected, folder));
        Report("plain", arrPlain.back());
        Report("engine", arrEngine.back());
    }
    const auto seconds = [](const SStreamRun& r) { return r.dSeconds; };
    const auto cpu = [](const SStreamRun& r) { return r.dCpu; };
    std::printf(
        "median of %d runs of %zu MiB: engine throughput %.0f%% of the plain loop "
        "(target >= 90%%), CPU per MiB %.2fx (target <= 1.5x)\n",
        args.nRounds, args.nMiB,
        100 * SpreadOf(arrPlain, seconds).dMedian / SpreadOf(arrEngine, seconds).dMedian,
        SpreadOf(arrEngine, cpu).dMedian / SpreadOf(arrPlain, cpu).dMedian);
    return 0;
}
