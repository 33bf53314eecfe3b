#include "NetReference.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>

#include "Ser2NetServer.h"

namespace {
constexpr std::uint8_t kIac = 255;
constexpr std::uint8_t kSb = 250;
constexpr std::uint8_t kSe = 240;
constexpr std::uint8_t kWill = 251;  // WILL, WONT, DO, DONT: 251 to 254, an option follows

// The data bytes of a Telnet stream, nothing more: the least a reader of that port must do.
class CTelnetDataOnly {
public:
    template <class FnData>
    void Feed(std::uint8_t by, FnData fnData) {
        switch (m_eState) {
            case EState::Data:
                by == kIac ? void(m_eState = EState::Iac) : fnData(by);
                break;
            case EState::Iac:
                m_eState = by == kIac    ? (fnData(by), EState::Data)
                           : by == kSb   ? EState::Sub
                           : by >= kWill ? EState::Option
                                         : EState::Data;
                break;
            case EState::Option:
                m_eState = EState::Data;
                break;
            case EState::Sub:
                m_eState = by == kIac ? EState::SubIac : EState::Sub;
                break;
            case EState::SubIac:
                m_eState = by == kSe ? EState::Data : EState::Sub;
                break;
        }
    }

private:
    enum class EState { Data, Iac, Option, Sub, SubIac };
    EState m_eState = EState::Data;
};
}  // namespace

SStreamRun RunPlainTcpReader(std::size_t nTotal, std::size_t nWriteSize) {
    SStreamRun r;
    CSer2NetServer server;
    const int nFd = server.Start() ? ConnectLocal(server.ComPort()) : -1;
    if (nFd < 0) {
        std::fprintf(stderr, "ser2net did not come up\n");
        return r;
    }
    // A stream that stalls ends the run instead of holding it.
    const timeval limit{30, 0};
    setsockopt(nFd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    std::vector<std::uint8_t> buffer(64 * 1024);
    CTelnetDataOnly telnet;
    const auto fold = [&r](std::uint8_t by) {
        r.nSum = FoldByte(r.nSum, by);
        ++r.nBytes;
    };
    const double dCpu0 = ProcessCpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    CStreamFeeder feeder(server.Pty().MasterFd(), nTotal, nWriteSize);
    while (r.nBytes < nTotal) {
        const ssize_t n = recv(nFd, buffer.data(), buffer.size(), 0);
        if (n <= 0) {
            break;
        }
        for (ssize_t i = 0; i < n; ++i) {
            telnet.Feed(buffer[static_cast<std::size_t>(i)], fold);
        }
    }
    r.dSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    feeder.Join();
    r.dCpu = ProcessCpuSeconds() - dCpu0;
    r.dFeederCpu = feeder.CpuSeconds();
    r.bIntact = r.nBytes == nTotal && r.nSum == PatternSum(nTotal);
    close(nFd);
    return r;
}
