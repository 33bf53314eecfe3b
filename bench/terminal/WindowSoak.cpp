// The main window soaked: 1 GiB from a pseudo-terminal at full speed through a real CTerminalDlg,
// in rounds of 64 MiB. While the bytes flow, the receive box switches between text and
// hexadecimal mode and flips its newline option every 300 ms, alternately; between rounds the
// counters are cleared with their button.
//
// Checked each round: the RX counter shows every byte of the round, the box holds the stream's
// last 65,536 bytes, no message box came up. Compared: resident memory, open descriptors and
// threads after the first round and at the end (they must not grow). Exit status 1 when a check
// fails.
//
// Usage: dive_window_soak [MiB, default 1024] [MiB per round, default 64]
// (offscreen unless QT_QPA_PLATFORM says otherwise; run it with nice on a shared machine)
#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>

#include "BoxCommands.h"
#include "DialogTemplate.h"
#include "IniFile.h"
#include "MessageBox.h"
#include "ReceiveView.h"
#include "StreamBench.h"
#include "TerminalDlg.h"
#include "UiProbes.h"

namespace {
constexpr std::size_t kChunk = 65536;
constexpr std::size_t kBoxBytes = 65536;
constexpr int kSwitchMs = 300;
constexpr int kRoundLimitMs = 600000;

int CountEntries(const char* pszFolder) {
    std::error_code ec;
    return static_cast<int>(std::distance(std::filesystem::directory_iterator(pszFolder, ec), {}));
}

struct SHolding {
    double dRssMiB = 0;
    int nFds = 0;
    int nThreads = 0;
};
SHolding Holding() {
    return {CurrentRssMiB(), CountEntries("/proc/self/fd") - 1, CountEntries("/proc/self/task")};
}
}  // namespace

int main(int argc, char** argv) {
    const auto pApp = MakeBenchApp(argc, argv);
    const std::size_t nTotalMiB = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1024;
    const std::size_t nRoundMiB = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 64;
    if (nTotalMiB == 0 || nRoundMiB == 0 || nRoundMiB > 4095) {
        std::fprintf(stderr, "usage: dive_window_soak [MiB] [MiB per round, < 4096]\n");
        return 2;
    }
    const std::size_t nRound = nRoundMiB << 20;
    const std::size_t nRounds = (nTotalMiB + nRoundMiB - 1) / nRoundMiB;
    int nMessages = 0;
    CMessageBox::SetInterceptor([&](const SMessage& message) {
        ++nMessages;
        std::fprintf(stderr, "message box: %s\n", message.strText.toUtf8().constData());
    });

    const CBenchFolder folder("window-soak");
    CPtyPair pty;
    folder.MapComOne(pty);
    CIniFile(folder.IniPath()).WriteInt("PORT", "BAUD", 14);
    CTerminalDlg dlg(folder.IniPath());
    folder.Confine(dlg.Link());
    dlg.show();
    QApplication::processEvents();
    auto* pBox = qobject_cast<CReceiveView*>(dlg.Control(IDC_RECEIVE));
    auto* pOpen = qobject_cast<QAbstractButton*>(dlg.Control(IDC_OPEN));
    auto* pClear = qobject_cast<QAbstractButton*>(dlg.Control(IDC_CLEAR_COUNTERS));
    auto* pRxCount = qobject_cast<QLineEdit*>(dlg.Control(IDC_RX_COUNT));
    if (pBox == nullptr || pOpen == nullptr || pClear == nullptr || pRxCount == nullptr) {
        std::fprintf(stderr, "the window lacks a control\n");
        return 1;
    }
    pOpen->click();
    if (!dlg.IsPortOpen()) {
        std::fprintf(stderr, "cannot open %s\n", pty.SlavePath().c_str());
        return 1;
    }

    int nSwitches = 0;
    QTimer switcher;
    QObject::connect(&switcher, &QTimer::timeout, [&] {
        if (++nSwitches % 2 == 0) {
            pBox->SetMode(!pBox->GetMode());
        } else {
            pBox->OnCommand(IDM_LFTOCRLF);
        }
    });

    std::printf("%zu rounds of %zu MiB\n", nRounds, nRoundMiB);
    std::printf("round  MiB/s  CPU s/MiB  RSS MiB  fds  threads  switches  checks\n");
    bool bAllRight = true;
    std::size_t nSoaked = 0;
    SHolding first;
    const double dCpuStart = ProcessCpuSeconds();
    const auto tStart = std::chrono::steady_clock::now();
    for (std::size_t n = 1; n <= nRounds; ++n) {
        const QString strRound = QString::number(nRound);
        const double dCpu0 = ProcessCpuSeconds();
        const auto t0 = std::chrono::steady_clock::now();
        switcher.start(kSwitchMs);
        bool bCounted = false;
        {
            CStreamFeeder feeder(pty.MasterFd(), nRound, kChunk);
            bCounted = RunEventsUntil([&] { return pRxCount->text() == strRound; }, kRoundLimitMs);
        }
        switcher.stop();
        const double dSeconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        const double dCpu = ProcessCpuSeconds() - dCpu0;
        const bool bTail = pBox->GetBytes() == PatternTail(nRound, kBoxBytes);
        pClear->click();
        const bool bCleared = RunEventsUntil([&] { return pRxCount->text() == "0"; }, 10000);
        nSoaked += bCounted ? nRound : 0;
        const SHolding now = Holding();
        if (n == 1) {
            first = now;
        }
        const bool bRight = bCounted && bTail && bCleared && nMessages == 0 && dlg.IsPortOpen();
        bAllRight = bAllRight && bRight;
        std::printf("%5zu %6.1f %10.4f %8.1f %4d %8d %9d  %s\n", n,
                    static_cast<double>(nRoundMiB) / dSeconds,
                    dCpu / static_cast<double>(nRoundMiB), now.dRssMiB, now.nFds, now.nThreads,
                    nSwitches, bRight ? "count, tail, clear right" : "WRONG");
        std::fflush(stdout);
        if (!bCounted) {
            break;
        }
    }
    const SHolding last = Holding();
    const double dSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - tStart).count();
    std::printf("\nsoaked %zu MiB (%zu bytes) in %.0f s, %.0f CPU s; %d switches; %d messages\n",
                nSoaked >> 20, nSoaked, dSeconds, ProcessCpuSeconds() - dCpuStart, nSwitches,
                nMessages);
    std::printf("after the first round: RSS %.1f MiB, %d fds, %d threads\n", first.dRssMiB,
                first.nFds, first.nThreads);
    std::printf("at the end:            RSS %.1f MiB, %d fds, %d threads\n", last.dRssMiB,
                last.nFds, last.nThreads);
    // Resident memory may wander by allocator noise; a leak of even one byte a read would show
    // as hundreds of MiB.
    const bool bSteady = last.nFds == first.nFds && last.nThreads == first.nThreads &&
                         last.dRssMiB <= first.dRssMiB + 16;
    std::printf("%s\n", bAllRight && bSteady ? "SOAK PASSED" : "SOAK FAILED");
    pOpen->click();
    return bAllRight && bSteady ? 0 : 1;
}
