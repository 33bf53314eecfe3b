// How soon the window receives again once a lost device is back: a real CTerminalDlg, shown, with
// "自动重连" ticked, has COM1 mapped to a link that points at the slave side of a pty pair. Each
// cycle removes the link and drops the pair (the device is lost), makes a new pair, waits until
// the window waits and then 200 ms more (the window is between two looks, as after a real
// unplug), writes a byte on the new pair's master and points the link at its slave in one step. Timed: from that step
// (the node appears) to the window being handed the byte. Reference in the same run: the same
// window, the port closed, a byte waiting and the link pointed: from a click on the open button to
// the byte (the cost of opening itself). Target: worst under 1 s, median under 300 ms.
// Also measured: the process's CPU share over 3 s while the window waits for the device, against
// 3 s of the same window with its port open and nothing arriving.
//
// Usage: dive_reconnect_bench [cycles per round, default 20] [rounds, default 3]
// (offscreen unless QT_QPA_PLATFORM says otherwise)
#include <QAbstractButton>
#include <QApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "DialogTemplate.h"
#include "IniFile.h"
#include "MessageBox.h"
#include "StreamBench.h"
#include "TerminalDlg.h"
#include "UiProbes.h"

namespace fs = std::filesystem;

namespace {

// The window, noting when it is first handed received bytes.
class CTimedDlg : public CTerminalDlg {
public:
    using CTerminalDlg::CTerminalDlg;
    ~CTimedDlg() override { Link().Close(); }
    bool OnSerialBytes(const std::uint8_t* pBytes, std::size_t nCount) override {
        if (!m_tFirst) {
            m_tFirst = std::chrono::steady_clock::now();
        }
        return CTerminalDlg::OnSerialBytes(pBytes, nCount);
    }
    std::optional<SteadyTime> m_tFirst;
};

void PointLink(const std::string& strLink, const std::string& strTarget) {
    const fs::path temp = strLink + ".new";
    fs::remove(temp);
    fs::create_symlink(strTarget, temp);
    fs::rename(temp, strLink);
}

struct SCycleFigures {
    double dMedianMs = 0;
    double dWorstMs = 0;
    int nCycles = 0;
    double dCpuShare = 0;  // over kShareMs, waiting or (the reference) open and idle
};

constexpr int kShareMs = 3000;

double CpuShareOver(int nMs) {
    const double dCpu0 = ProcessCpuSeconds();
    const SteadyTime t0 = std::chrono::steady_clock::now();
    RunEventsUntil([] { return false; }, nMs);
    const double dWall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    return (ProcessCpuSeconds() - dCpu0) / dWall;
}

SCycleFigures Figures(std::vector<double> arrMs) {
    std::sort(arrMs.begin(), arrMs.end());
    SCycleFigures figures;
    figures.nCycles = static_cast<int>(arrMs.size());
    if (!arrMs.empty()) {
        figures.dMedianMs = arrMs[arrMs.size() / 2];
        figures.dWorstMs = arrMs.back();
    }
    return figures;
}

double MsSince(SteadyTime t0, SteadyTime t1) {
    return std::chrono::duration<double, std::milli>(t1 - t0).count();
}

// One round: nCycles reconnections, then nCycles opens by click (the reference).
std::pair<SCycleFigures, SCycleFigures> RunRound(int nCycles) {
    const CBenchFolder folder("reconnect-bench");
    const std::string strLink = folder.Path() + "/ttyBoard";
    CIniFile ini(folder.IniPath());
    ini.WriteString("DEVICES", "COM1", strLink);
    ini.WriteInt("PORT", "AUTORECONNECT", 1);
    auto pPty = std::make_unique<CPtyPair>();
    PointLink(strLink, pPty->SlavePath());

    CTimedDlg dlg(folder.IniPath());
    folder.Confine(dlg.Link());
    dlg.show();
    RunEventsUntil([&] { return dlg.IsDressed(); }, 10000);
    auto* pOpen = static_cast<QAbstractButton*>(dlg.Control(IDC_OPEN));
    pOpen->click();
    const std::uint8_t by = 'x';

    const double dIdleShare = CpuShareOver(kShareMs);
    double dWaitShare = 0;
    std::vector<double> arrBack;
    for (int i = 0; i < nCycles; ++i) {
        // Unplugged: the link goes first, as udev removes it with the node, so that another
        // program's new pseudo-terminal cannot take the old number under it; then the node.
        fs::remove(strLink);
        pPty = std::make_unique<CPtyPair>();
        if (!RunEventsUntil([&] { return dlg.IsWaitingForDevice(); }, 10000)) {
            std::fprintf(stderr, "the window did not notice the loss\n");
            break;
        }
        if (i == 0) {
            dWaitShare = CpuShareOver(kShareMs);
        }
        RunEventsUntil([] { return false; }, 200);
        dlg.m_tFirst.reset();
        pPty->WriteMaster(&by, 1);
        const SteadyTime t0 = std::chrono::steady_clock::now();
        PointLink(strLink, pPty->SlavePath());
        if (!RunEventsUntil([&] { return dlg.m_tFirst.has_value(); }, 10000)) {
            std::fprintf(stderr, "no byte after the device came back\n");
            break;
        }
        arrBack.push_back(MsSince(t0, *dlg.m_tFirst));
    }

    std::vector<double> arrOpen;
    for (int i = 0; i < nCycles && dlg.IsPortOpen(); ++i) {
        pOpen->click();  // closed
        auto pNext = std::make_unique<CPtyPair>();
        pPty = std::move(pNext);
        PointLink(strLink, pPty->SlavePath());
        pPty->WriteMaster(&by, 1);
        dlg.m_tFirst.reset();
        const SteadyTime t0 = std::chrono::steady_clock::now();
        pOpen->click();
        if (!RunEventsUntil([&] { return dlg.m_tFirst.has_value(); }, 10000)) {
            std::fprintf(stderr, "no byte after the open\n");
            break;
        }
        arrOpen.push_back(MsSince(t0, *dlg.m_tFirst));
    }
    dlg.close();
    std::pair<SCycleFigures, SCycleFigures> figures{Figures(arrBack), Figures(arrOpen)};
    figures.first.dCpuShare = dWaitShare;
    figures.second.dCpuShare = dIdleShare;
    return figures;
}

}  // namespace

int main(int argc, char** argv) {
    const auto pApp = MakeBenchApp(argc, argv);
    const int nCycles = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const int nRounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    CMessageBox::SetInterceptor([](const SMessage& message) {
        std::fprintf(stderr, "message box: %s\n", message.strText.toUtf8().constData());
    });
    std::printf("%d cycles per round, %d rounds, load average at start: ", nCycles, nRounds);
    PrintLoadAverage();
    std::vector<SCycleFigures> arrBack;
    std::vector<SCycleFigures> arrOpen;
    for (int nRound = 1; nRound <= nRounds; ++nRound) {
        const auto [back, open] = RunRound(nCycles);
        arrBack.push_back(back);
        arrOpen.push_back(open);
        std::printf(
            "%d node appears to first byte: median %6.2f ms, worst %6.2f ms (%d); "
            "open click to first byte (reference): median %6.2f ms, worst %6.2f ms (%d); CPU "
            "waiting %.3f %%, open and idle (reference) %.3f %%\n",
            nRound, back.dMedianMs, back.dWorstMs, back.nCycles, open.dMedianMs, open.dWorstMs,
            open.nCycles, back.dCpuShare * 100, open.dCpuShare * 100);
        std::fflush(stdout);
    }
    const auto fnMedian = [](const SCycleFigures& f) { return f.dMedianMs; };
    const auto fnWorst = [](const SCycleFigures& f) { return f.dWorstMs; };
    const SSpread backMedian = SpreadOf(arrBack, fnMedian);
    const SSpread backWorst = SpreadOf(arrBack, fnWorst);
    const SSpread openMedian = SpreadOf(arrOpen, fnMedian);
    const SSpread openWorst = SpreadOf(arrOpen, fnWorst);
    const auto fnShare = [](const SCycleFigures& f) { return f.dCpuShare * 100; };
    const SSpread waitShare = SpreadOf(arrBack, fnShare);
    const SSpread idleShare = SpreadOf(arrOpen, fnShare);
    std::printf("\nmedians of %d rounds (lowest-highest)\n", nRounds);
    std::printf("CPU waiting  %.3f %% (%.3f-%.3f)   open and idle (ref.) %.3f %% (%.3f-%.3f)\n",
                waitShare.dMedian, waitShare.dMin, waitShare.dMax, idleShare.dMedian,
                idleShare.dMin, idleShare.dMax);
    std::printf(
        "reconnect    median %6.2f ms (%.2f-%.2f) (< 300)  worst %6.2f ms (%.2f-%.2f) (< 1000)\n",
        backMedian.dMedian, backMedian.dMin, backMedian.dMax, backWorst.dMedian, backWorst.dMin,
        backWorst.dMax);
    std::printf("open (ref.)  median %6.2f ms (%.2f-%.2f)          worst %6.2f ms (%.2f-%.2f)\n",
                openMedian.dMedian, openMedian.dMin, openMedian.dMax, openWorst.dMedian,
                openWorst.dMin, openWorst.dMax);
    return 0;
}
