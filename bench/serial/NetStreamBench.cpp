// Receive throughput of a port on another machine: a pattern fed into a pseudo-terminal goes
// through ser2net (started here on 127.0.0.1) to the engine's RFC 2217 device, against a plain
// TCP reader of ser2net's raw port in the same run (NetReference.h). Both fold every byte into a
// checksum.
//
// Usage: dive_net_stream_bench [MiB per run, default 16] [rounds, default 3]
#include <cstdio>

#include "NetReference.h"
#include "Ser2NetServer.h"
#include "SerialLink.h"
#include "StreamBench.h"

namespace {
constexpr std::size_t kChunk = 4096;

template <class FnRead>
SStreamRun Timed(CSer2NetServer& server, std::size_t nTotal, std::uint32_t nExpected,
                 FnRead fnRead) {
    SStreamRun r;
    const double dCpu0 = ProcessCpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    CStreamFeeder feeder(server.Pty().MasterFd(), nTotal, kChunk);
    fnRead(r);
    feeder.Join();
    r.dSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    r.dCpu = ProcessCpuSeconds() - dCpu0;
    r.bIntact = r.nBytes == nTotal && r.nSum == nExpected;
    return r;
}

SStreamRun RunEngine(std::size_t nTotal, std::uint32_t nExpected) {
    CSer2NetServer server;
    CSerialLink link;
    CCountingOwner owner;
    if (!server.Start() || !link.OpenDevice(&owner, server.ComAddress(), {}) ||
        !link.StartWatcher()) {
        std::fprintf(stderr, "cannot open the port\n");
        return {};
    }
    SStreamRun r = Timed(server, nTotal, nExpected, [&](SStreamRun& run) {
        owner.Drain(link, nTotal);
        run.nBytes = owner.m_nBytes;
        run.nSum = owner.m_nSum;
    });
    link.Close();
    return r;
}

void Report(const char* pszName, const SStreamRun& r) {
    std::printf("%-8s %8.1f MB/s  %s\n", pszName, static_cast<double>(r.nBytes) / 1e6 / r.dSeconds,
                r.bIntact ? "complete, in order" : "BYTES LOST");
}
}  // namespace

int main(int argc, char** argv) {
    const SBenchArgs args = ParseBenchArgs(argc, argv, 16);
    const std::size_t nTotal = args.Total();
    const std::uint32_t nExpected = PatternSum(nTotal);
    std::vector<SStreamRun> arrPlain, arrEngine;
    for (int nRound = 0; nRound < args.nRounds; ++nRound) {
        arrPlain.push_back(RunPlainTcpReader(nTotal, kChunk));
        arrEngine.push_back(RunEngine(nTotal, nExpected));
        Report("plain", arrPlain.back());
        Report("engine", arrEngine.back());
    }
    const auto seconds = [](const SStreamRun& r) { return r.dSeconds; };
    std::printf(
        "median of %d runs of %zu MiB: engine throughput %.0f%% of the plain TCP reader "
        "(target >= 50%%)\n",
        args.nRounds, args.nMiB,
        100 * SpreadOf(arrPlain, seconds).dMedian / SpreadOf(arrEngine, seconds).dMedian);
    return 0;
}
