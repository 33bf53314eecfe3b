// The port list's refresh with a huge settings file. Every drop-down of the list renames the tips
// of its 32 entries after the devices they open, which reads section "DEVICES" of Vexor.ini. A
// real CTerminalDlg, shown, runs on a settings file of about 50 MiB (a foreign section of short
// lines, then DEVICES at the end, so the whole file is scanned); the reference is one plain read
// of the same file in the same run. Rounds are interleaved; CPU seconds of the process (user +
// system) and wall time are reported, with medians at the end. Target: a refresh costs no more
// than twice the plain read. The window's start-up (which reads its own settings too) is timed
// once for information.
//
// Usage: dive_port_list_bench [MiB, default 50] [rounds, default 5]
// (offscreen unless QT_QPA_PLATFORM says otherwise)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "DialogTemplate.h"
#include "StreamBench.h"
#include "TerminalDlg.h"
#include "UiProbes.h"

namespace {
struct STimes {
    double dCpu = 0;
    double dWall = 0;
};

template <class TFn>
STimes Measure(TFn fn) {
    const double dCpu = ProcessCpuSeconds();
    const auto tStart = std::chrono::steady_clock::now();
    fn();
    return {ProcessCpuSeconds() - dCpu,
            std::chrono::duration<double>(std::chrono::steady_clock::now() - tStart).count()};
}

// The settings file: about nMiB of a foreign section, then the window's own keys.
std::size_t WriteSettings(const std::string& strPath, std::size_t nMiB) {
    std::string strText = "[FOREIGN]\n";
    for (std::size_t n = 0; strText.size() < (nMiB << 20); ++n) {
        strText += "k" + std::to_string(n) + "=v\n";
    }
    strText += "[DEVICES]\nCOM1=/dev/ttyUSB9\n";
    std::ofstream(strPath, std::ios::binary) << strText;
    return strText.size();
}

// One plain read of the whole file into memory, as a reference.
std::size_t PlainRead(const std::string& strPath) {
    const int nFd = open(strPath.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (nFd < 0 || fstat(nFd, &st) != 0) {
        return 0;
    }
    std::string strContent(static_cast<std::size_t>(st.st_size), '\0');
    std::size_t nDone = 0;
    ssize_t n = 0;
    while (nDone < strContent.size() &&
           (n = read(nFd, strContent.data() + nDone, strContent.size() - nDone)) > 0) {
        nDone += static_cast<std::size_t>(n);
    }
    close(nFd);
    return nDone;
}
}  // namespace

int main(int argc, char** argv) {
    const auto pApp = MakeBenchApp(argc, argv);
    const SBenchArgs args = ParseBenchArgs(argc, argv, 50);
    const int nRounds = argc > 2 ? args.nRounds : 5;
    const CBenchFolder folder("port-list-bench");
    const std::string strIni = folder.IniPath();
    const std::size_t nBytes = WriteSettings(strIni, args.nMiB);
    PlainRead(strIni);  // into the page cache, for both sides alike
    std::printf("settings file: %.1f MiB\n", static_cast<double>(nBytes) / (1 << 20));

    CTerminalDlg* pDlg = nullptr;
    const STimes startUp = Measure([&] {
        pDlg = new CTerminalDlg(strIni);
        pDlg->show();
        QCoreApplication::processEvents();
    });
    std::printf("window start-up: CPU %.3f s, wall %.3f s\n", startUp.dCpu, startUp.dWall);
    auto* pPort = qobject_cast<QComboBox*>(pDlg->Control(IDC_PORT));
    const QString strTip = pPort->itemData(0, Qt::ToolTipRole).toString();
    std::printf("COM1 tip: %s\n", strTip.toUtf8().constData());

    std::vector<STimes> arrReads, arrRefreshes;
    for (int nRound = 1; nRound <= nRounds; ++nRound) {
        std::size_t nRead = 0;
        arrReads.push_back(Measure([&] { nRead = PlainRead(strIni); }));
        arrRefreshes.push_back(Measure([&] {
            pPort->showPopup();  // the refresh runs before the list drops down
            pPort->hidePopup();
        }));
        std::printf(
            "round %d: plain read CPU %.4f s wall %.4f s (%zu bytes); "
            "refresh CPU %.4f s wall %.4f s\n",
            nRound, arrReads.back().dCpu, arrReads.back().dWall, nRead, arrRefreshes.back().dCpu,
            arrRefreshes.back().dWall);
    }
    const auto cpu = [](const STimes& t) { return t.dCpu; };
    const auto wall = [](const STimes& t) { return t.dWall; };
    const double dReadCpu = SpreadOf(arrReads, cpu).dMedian;
    const double dReadWall = SpreadOf(arrReads, wall).dMedian;
    const double dRefreshCpu = SpreadOf(arrRefreshes, cpu).dMedian;
    const double dRefreshWall = SpreadOf(arrRefreshes, wall).dMedian;
    std::printf(
        "\nmedians of %d rounds\nplain read: CPU %.4f s, wall %.4f s\n"
        "refresh:    CPU %.4f s, wall %.4f s\n"
        "refresh / plain read (<= 2): CPU %.2f, wall %.2f\n",
        nRounds, dReadCpu, dReadWall, dRefreshCpu, dRefreshWall,
        dReadCpu > 0 ? dRefreshCpu / dReadCpu : 0, dReadWall > 0 ? dRefreshWall / dReadWall : 0);
    delete pDlg;
    return 0;
}
