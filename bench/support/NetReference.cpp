#include "NetReference.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>

#include "Ser2NetServer.h"

SStreamRun RunPlainTcpReader(std::size_t nTotal, std::size_t nWriteSize) {
    SStreamRun r;
    CSer2NetServer server;
    const int nFd = server.Start() ? ConnectLocal(server.RawPort()) : -1;
    if (nFd < 0) {
        std::fprintf(stderr, "ser2net did not come up\n");
        return r;
    }
    // A stream that stalls ends the run instead of holding it.
    const timeval limit{30, 0};
    setsockopt(nFd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    std::vector<std::uint8_t> buffer(64 * 1024);
    const double dCpu0 = ProcessCpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    CStreamFeeder feeder(server.Pty().MasterFd(), nTotal, nWriteSize);
    while (r.nBytes < nTotal) {
        const ssize_t n = recv(nFd, buffer.data(), buffer.size(), 0);
        if (n <= 0) {
            break;
        }
        for (ssize_t i = 0; i < n; ++i) {
            r.nSum = FoldByte(r.nSum, buffer[static_cast<std::size_t>(i)]);
        }
        r.nBytes += static_cast<std::size_t>(n);
    }
    r.dSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    feeder.Join();
    r.dCpu = ProcessCpuSeconds() - dCpu0;
    r.dFeederCpu = feeder.CpuSeconds();
    r.bIntact = r.nBytes == nTotal && r.nSum == PatternSum(nTotal);
    close(nFd);
    return r;
}
