// The gaps of a file sent line by line: the engine's paced stream (CSerialLink::WriteStream with
// a gap, as the window's "逐行发送" uses it) against a plain loop in the same run that writes a
// line to the pseudo-terminal, waits for it to drain and sleeps the period. The far end timestamps
// every read on the master side; a gap is the time from the read that ended a line (its LF) to
// the read that brought the next line's first byte. Target: the median gap within 10% of the
// period at 10 ms and above.
//
// Usage: dive_line_pacing_bench [lines per run, default 40] [rounds, default 3]
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "SerialLink.h"
#include "StreamBench.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string LineText(int nLine) {
    return "line " + std::to_string(nLine) + ": 0123456789 ABCDEFGHIJ abcdefghij\r\n";
}

// Reads the master side until nLines lines have arrived; the gaps between lines in ms.
std::vector<double> GapsAtTheFarEnd(int nMaster, int nLines) {
    std::vector<double> arrGaps;
    Clock::time_point tLineEnd{};
    bool bInLine = false;
    int nSeen = 0;
    std::uint8_t buf[4096];
    while (nSeen < nLines) {
        pollfd pfd{nMaster, POLLIN, 0};
        if (poll(&pfd, 1, 10000) <= 0) {
            break;  // the sender stalled: the run reports fewer gaps
        }
        const long n = read(nMaster, buf, sizeof buf);
        const Clock::time_point tNow = Clock::now();
        for (long i = 0; i < n; ++i) {
            if (!bInLine) {
                if (nSeen > 0) {
                    arrGaps.push_back(
                        std::chrono::duration<double, std::milli>(tNow - tLineEnd).count());
                }
                bInLine = true;
            }
            if (buf[i] == '\n') {
                bInLine = false;
                tLineEnd = tNow;
                ++nSeen;
            }
        }
    }
    return arrGaps;
}

double Median(std::vector<double> arr) {
    if (arr.empty()) {
        return 0;
    }
    std::sort(arr.begin(), arr.end());
    return arr[arr.size() / 2];
}

class CQuietOwner : public ISerialOwner {
public:
    void OnNoticesPending() override {}
    void OnSerialEvent(unsigned, unsigned) override {}
};

double RunEngine(const CBenchFolder& folder, int nPeriodMs, int nLines) {
    CPtyPair pty;
    folder.MapComOne(pty);
    CSerialLink link;
    folder.Confine(link);
    CQuietOwner owner;
    if (!link.Open(&owner, {}) || !link.StartWatcher()) {
        std::fprintf(stderr, "cannot open %s\n", pty.SlavePath().c_str());
        return 0;
    }
    int nLine = 0;
    link.WriteStream(
        [&nLine, nLines](std::uint8_t* pBuf, std::size_t) -> long {
            if (nLine == nLines) {
                return 0;
            }
            const std::string str = LineText(nLine++);
            std::copy(str.begin(), str.end(), pBuf);
            return static_cast<long>(str.size());
        },
        nPeriodMs);
    const double dMedian = Median(GapsAtTheFarEnd(pty.MasterFd(), nLines));
    link.Close();
    return dMedian;
}

// The plain program: write, drain, sleep the period, on a fresh pair.
double RunPlainLoop(int nPeriodMs, int nLines) {
    CPtyPair pty;
    const int fd = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    termios tio{};
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    tcsetattr(fd, TCSANOW, &tio);
    std::thread writer([fd, nPeriodMs, nLines] {
        for (int i = 0; i < nLines; ++i) {
            if (i > 0) {
                const timespec ts{nPeriodMs / 1000, (nPeriodMs % 1000) * 1000000L};
                clock_nanosleep(CLOCK_MONOTONIC, 0, &ts, nullptr);
            }
            const std::string str = LineText(i);
            if (write(fd, str.data(), str.size()) < 0) {
                return;
            }
            tcdrain(fd);
        }
    });
    const double dMedian = Median(GapsAtTheFarEnd(pty.MasterFd(), nLines));
    writer.join();
    ::close(fd);
    return dMedian;
}

}  // namespace

int main(int argc, char** argv) {
    const int nLines = argc > 1 ? std::atoi(argv[1]) : 40;
    const int nRounds = argc > 2 ? std::atoi(argv[2]) : 3;
    const CBenchFolder folder("line-pacing-bench");
    PrintLoadAverage();
    std::printf("%-8s %12s %12s %10s %s\n", "period", "plain (ms)", "engine (ms)", "engine/p",
                "median gap of each run, then the median of the runs");
    for (const int nPeriodMs : {1, 10, 20, 50, 100}) {
        std::vector<double> arrPlain, arrEngine;
        for (int nRound = 0; nRound < nRounds; ++nRound) {
            arrPlain.push_back(RunPlainLoop(nPeriodMs, nLines));
            arrEngine.push_back(RunEngine(folder, nPeriodMs, nLines));
        }
        const double dPlain = Median(arrPlain);
        const double dEngine = Median(arrEngine);
        std::printf("%5d ms %12.2f %12.2f %9.1f%%  engine runs:", nPeriodMs, dPlain, dEngine,
                    100 * dEngine / nPeriodMs);
        for (const double d : arrEngine) {
            std::printf(" %.2f", d);
        }
        std::printf("%s\n", nPeriodMs >= 10 && std::abs(dEngine - nPeriodMs) > 0.1 * nPeriodMs
                                ? "  OUTSIDE 10%"
                                : "");
    }
    return 0;
}
