// Auto send at its period: a real CTerminalDlg, shown, opens COM1 (the slave side of a pty pair)
// and auto-sends one byte at a period of 1, 10 and 100 ms; a thread on the master side counts
// the bytes that arrive. Sends a second against 1000/period, with the port otherwise idle and
// while text lines stream in at full pseudo-terminal speed. Reference in the same run: a bare Qt
// loop on an identical pair that writes one byte, drains and waits the period with a precise
// single-shot timer (what the event loop and the timers of this machine allow).
// Targets: at least 90 % of 1000/period at 10 ms and above; at least 300 a second at 1 ms, idle.
//
// Usage: dive_auto_send_bench [seconds per row, default 2, at least 40 periods] [rounds, default 3]
// (offscreen unless QT_QPA_PLATFORM says otherwise)
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <fcntl.h>
#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <thread>

#include "DialogTemplate.h"
#include "IniFile.h"
#include "MessageBox.h"
#include "StreamBench.h"
#include "TerminalDlg.h"
#include "UiProbes.h"

namespace {

constexpr int kWarmUpMs = 300;
constexpr std::size_t kChunk = 65536;

// The far device: counts what arrives on the master side and, when asked, fills it with text
// lines as fast as the pair takes them, until it is destroyed.
class CFarEnd {
public:
    CFarEnd(int nMasterFd, bool bStream)
        : m_thread([this, nMasterFd, bStream] { Run(nMasterFd, bStream); }) {}
    ~CFarEnd() {
        m_bStop = true;
        m_thread.join();
    }
    std::size_t Received() const { return m_nReceived; }

private:
    void Run(int nFd, bool bStream) {
        const CPayload lines(EPayload::TextLines);
        std::vector<std::uint8_t> chunk(kChunk);
        std::size_t nFed = 0;
        std::size_t nOff = chunk.size();
        char buf[4096];
        while (!m_bStop) {
            if (bStream && nOff == chunk.size()) {
                for (std::size_t i = 0; i < chunk.size(); ++i) {
                    chunk[i] = lines.Byte(nFed + i);
                }
                nFed += chunk.size();
                nOff = 0;
            }
            pollfd pfd{nFd, static_cast<short>(POLLIN | (bStream ? POLLOUT : 0)), 0};
            if (poll(&pfd, 1, 20) <= 0) {
                continue;
            }
            if (pfd.revents & POLLIN) {
                const ssize_t n = read(nFd, buf, sizeof buf);
                if (n > 0) {
                    m_nReceived += static_cast<std::size_t>(n);
                }
            }
            if (pfd.revents & POLLOUT) {
                const ssize_t n = write(nFd, chunk.data() + nOff, chunk.size() - nOff);
                if (n > 0) {
                    nOff += static_cast<std::size_t>(n);
                }
            }
        }
    }

    std::atomic<bool> m_bStop{false};
    std::atomic<std::size_t> m_nReceived{0};
    std::thread m_thread;
};

// Sends a second over nMeasureMs, after a warm-up.
double CountRate(const CFarEnd& farEnd, int nMeasureMs) {
    RunEventsUntil([] { return false; }, kWarmUpMs);
    const std::size_t nStart = farEnd.Received();
    const SteadyTime tStart = std::chrono::steady_clock::now();
    RunEventsUntil([] { return false; }, nMeasureMs);
    const double dSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - tStart).count();
    return static_cast<double>(farEnd.Received() - nStart) / dSeconds;
}

double RunWindow(int nPeriodMs, bool bStream, int nMeasureMs, const CBenchFolder& folder) {
    CPtyPair pty;
    folder.MapComOne(pty);
    {
        CIniFile ini(folder.IniPath());
        ini.WriteInt("PORT", "COM", 0);
        ini.WriteInt("PORT", "BAUD", 14);
        ini.WriteInt("RX", "MODE", 0);
        ini.WriteInt("SYSTEM", "PERIOD", nPeriodMs);
    }
    CTerminalDlg dlg(folder.IniPath());
    folder.Confine(dlg.Link());
    dlg.show();
    auto* pOpen = qobject_cast<QAbstractButton*>(dlg.Control(IDC_OPEN));
    qobject_cast<QAbstractButton*>(dlg.Control(IDC_FORMAT_TEXT))->click();
    qobject_cast<QPlainTextEdit*>(dlg.Control(IDC_SEND))->setPlainText(QStringLiteral("x"));
    pOpen->click();
    if (!dlg.IsPortOpen()) {
        std::fprintf(stderr, "cannot open %s\n", pty.SlavePath().c_str());
        return 0;
    }
    double dRate = 0;
    {
        CFarEnd farEnd(pty.MasterFd(), bStream);
        qobject_cast<QAbstractButton*>(dlg.Control(IDC_AUTO_SEND))->click();
        dRate = CountRate(farEnd, nMeasureMs);
        pOpen->click();  // ends auto send and the port before the far end goes
    }
    return dRate;
}

// The bare loop: write, drain, wait the period, again.
double RunReference(int nPeriodMs, int nMeasureMs) {
    CPtyPair pty;
    const int nFd = open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (nFd < 0) {
        return 0;
    }
    double dRate = 0;
    {
        CFarEnd farEnd(pty.MasterFd(), false);
        QTimer timer;
        timer.setSingleShot(true);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            const char by = 'x';
            if (write(nFd, &by, 1) == 1) {
                tcdrain(nFd);
            }
            timer.start(nPeriodMs);
        });
        timer.start(nPeriodMs);
        dRate = CountRate(farEnd, nMeasureMs);
    }
    close(nFd);
    return dRate;
}

}  // namespace

int main(int argc, char** argv) {
    const auto pApp = MakeBenchApp(argc, argv);
    const int nSeconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2;
    const int nRounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const int nMeasureMs = nSeconds * 1000;
    const CBenchFolder folder("auto-send-bench");
    CMessageBox::SetInterceptor([](const SMessage& message) {
        std::fprintf(stderr, "message box: %s\n", message.strText.toUtf8().constData());
    });
    std::printf("%d s per row, %d rounds, load average at start: ", nSeconds, nRounds);
    PrintLoadAverage();
    const int arrPeriods[] = {1, 10, 100};
    enum ERow { Reference, Idle, Stream, RowCount };
    const char* arrRowNames[] = {"bare Qt loop (reference)", "window, idle", "window, stream in"};
    std::vector<double> arrRates[std::size(arrPeriods)][RowCount];
    for (int nRound = 1; nRound <= nRounds; ++nRound) {
        for (std::size_t p = 0; p < std::size(arrPeriods); ++p) {
            const int nPeriod = arrPeriods[p];
            // At least 40 periods, so that one send more or less is not a tenth of the rate.
            const int nRowMs = std::max(nMeasureMs, 40 * nPeriod);
            arrRates[p][Reference].push_back(RunReference(nPeriod, nRowMs));
            arrRates[p][Idle].push_back(RunWindow(nPeriod, false, nRowMs, folder));
            arrRates[p][Stream].push_back(RunWindow(nPeriod, true, nRowMs, folder));
            for (int r = 0; r < RowCount; ++r) {
                std::printf("%d period %3d ms  %-26s %7.1f sends/s\n", nRound, nPeriod,
                            arrRowNames[r], arrRates[p][r].back());
            }
            std::fflush(stdout);
        }
    }
    std::printf("\nmedians of %d rounds (lowest-highest); ideal 1000/period\n", nRounds);
    for (std::size_t p = 0; p < std::size(arrPeriods); ++p) {
        const double dIdeal = 1000.0 / arrPeriods[p];
        for (int r = 0; r < RowCount; ++r) {
            const SSpread s = SpreadOf(arrRates[p][r], [](double d) { return d; });
            std::printf("period %3d ms  %-26s %7.1f sends/s (%.1f-%.1f) = %5.1f %% of %.0f\n",
                        arrPeriods[p], arrRowNames[r], s.dMedian, s.dMin, s.dMax,
                        100.0 * s.dMedian / dIdeal, dIdeal);
        }
    }
    return 0;
}
