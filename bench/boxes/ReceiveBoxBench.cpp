// The receive box at full pseudo-terminal speed. A writer thread streams 16 MiB into the master
// side of a pty pair; the serial engine reads the slave side, and a dispatch on the user-interface
// thread counts each byte and hands it to a shown CReceiveView, as the main window does. Measured
// per display mode: throughput, CPU seconds per MiB (the writer thread's own CPU left out), the
// worst gap between two paints of the box during the stream, the worst delay of an event posted
// every 50 ms (how soon a click would be answered), and the peak resident memory. A plain 64 KiB
// read loop on an identical pair in the same run gives the reference rate.
//
// Each measurement runs three times, interleaved, and the medians are reported: the machine is
// shared and single runs wander.
//
// Usage: dive_receive_box_bench [MiB, default 16] [rounds, default 3]
// (offscreen unless QT_QPA_PLATFORM says otherwise)
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "IniFile.h"
#include "PtyPair.h"
#include "ReceiveView.h"
#include "SerialLink.h"

namespace {

std::uint8_t PatternByte(std::size_t i) {
    return static_cast<std::uint8_t>((i * 131 + (i >> 11)) & 0xFF);
}

double CpuSeconds(int nWho) {
    rusage usage{};
    getrusage(nWho, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double PeakRssMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024;
}

// Streams the pattern into the master side; returns its own CPU seconds through dCpu.
void StreamToMaster(int nMaster, std::size_t nTotal, std::atomic<double>* pCpu) {
    std::vector<std::uint8_t> chunk(65536);
    std::size_t nDone = 0;
    while (nDone < nTotal) {
        const std::size_t nCount = std::min(chunk.size(), nTotal - nDone);
        for (std::size_t i = 0; i < nCount; ++i) {
            chunk[i] = PatternByte(nDone + i);
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
    *pCpu = CpuSeconds(RUSAGE_THREAD);
}

struct SResult {
    double dSeconds = 0;
    double dCpu = 0;
    std::size_t nBytes = 0;
    double dWorstPaintGapMs = 0;
    int nPaints = 0;
    double dWorstLatencyMs = 0;
    bool bIntact = false;
};

SResult RunPlain(std::size_t nTotal) {
    CPtyPair pty;
    const int nSlave = open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY);
    SResult r;
    std::atomic<double> dWriterCpu{0};
    const double dCpu0 = CpuSeconds(RUSAGE_SELF);
    const auto t0 = std::chrono::steady_clock::now();
    std::thread writer(StreamToMaster, pty.MasterFd(), nTotal, &dWriterCpu);
    std::vector<std::uint8_t> buf(65536);
    std::size_t nSum = 0;
    while (r.nBytes < nTotal) {
        const ssize_t n = read(nSlave, buf.data(), buf.size());
        if (n <= 0) {
            break;
        }
        nSum += buf[0];
        r.nBytes += static_cast<std::size_t>(n);
    }
    r.dSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    writer.join();
    r.dCpu = CpuSeconds(RUSAGE_SELF) - dCpu0 - dWriterCpu;
    r.bIntact = r.nBytes == nTotal && nSum != 1;
    close(nSlave);
    return r;
}

// The window's part: count each byte and hand it to the box; deliver in batches on the
// user-interface thread, letting the event loop run in between.
class CDispatch : public ISerialOwner {
public:
    CDispatch(CSerialLink& link, CReceiveView& box, bool bToBox)
        : m_link(link), m_box(box), m_bToBox(bToBox) {}
    void OnNoticesPending() override {
        QMetaObject::invokeMethod(
            &m_box, [this] { Deliver(); }, Qt::QueuedConnection);
    }
    void OnSerialEvent(unsigned nCode, unsigned nValue) override {
        if (nCode == SN_RX_BYTE) {
            ++m_dwRxCount;
            if (m_bToBox) {
                m_box.AppendByte(static_cast<std::uint8_t>(nValue));
            }
        }
    }
    std::size_t m_dwRxCount = 0;

private:
    void Deliver() {
        if (m_link.DeliverNotices()) {
            QMetaObject::invokeMethod(
                &m_box, [this] { Deliver(); }, Qt::QueuedConnection);
        }
    }
    CSerialLink& m_link;
    CReceiveView& m_box;
    bool m_bToBox;
};

// Timestamps the paints of the box's viewport.
class CPaintClock : public QObject {
public:
    bool eventFilter(QObject* pObject, QEvent* pEvent) override {
        if (pEvent->type() == QEvent::Paint && m_bOn) {
            const double dNow = m_clock.nsecsElapsed() / 1e6;
            m_dWorstGap = std::max(m_dWorstGap, dNow - m_dLast);
            m_dLast = dNow;
            ++m_nPaints;
        }
        return QObject::eventFilter(pObject, pEvent);
    }
    void Start() {
        m_clock.start();
        m_dLast = 0;
        m_bOn = true;
    }
    void Stop() {
        m_dWorstGap = std::max(m_dWorstGap, m_clock.nsecsElapsed() / 1e6 - m_dLast);
        m_bOn = false;
    }
    QElapsedTimer m_clock;
    double m_dLast = 0;
    double m_dWorstGap = 0;
    int m_nPaints = 0;
    bool m_bOn = false;
};

// bToBox false: the same road without the box, to tell the box's share from the engine's.
SResult RunBox(std::size_t nTotal, int bHex, const std::string& strFolder, bool bToBox = true) {
    const std::string strIni = strFolder + "/Vexor.ini";
    CPtyPair pty;
    CIniFile(strIni).WriteString("DEVICES", "COM1", pty.SlavePath());
    CReceiveView box(strIni);
    box.setFont(QFont("WenQuanYi Zen Hei Mono", 12));
    box.resize(800, 500);
    box.SetMode(bHex);
    box.show();
    CPaintClock paints;
    box.viewport()->installEventFilter(&paints);

    CSerialLink link;
    link.SetDeviceMapSource(strIni, strFolder + "/root");
    link.SetLockFolder(strFolder);
    CDispatch dispatch(link, box, bToBox);
    SResult r;
    if (!link.Open(&dispatch, {}) || !link.StartWatcher()) {
        std::fprintf(stderr, "cannot open %s\n", pty.SlavePath().c_str());
        return r;
    }
    // A probe posted every 50 ms: how long until the event loop runs it.
    QElapsedTimer probeClock;
    probeClock.start();
    QTimer probe;
    probe.setInterval(50);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 nPosted = probeClock.nsecsElapsed();
        QMetaObject::invokeMethod(
            &box,
            [&, nPosted] {
                r.dWorstLatencyMs =
                    std::max(r.dWorstLatencyMs, (probeClock.nsecsElapsed() - nPosted) / 1e6);
            },
            Qt::QueuedConnection);
    });

    std::atomic<double> dWriterCpu{0};
    const double dCpu0 = CpuSeconds(RUSAGE_SELF);
    const auto t0 = std::chrono::steady_clock::now();
    paints.Start();
    probe.start();
    std::thread writer(StreamToMaster, pty.MasterFd(), nTotal, &dWriterCpu);
    while (dispatch.m_dwRxCount < nTotal) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    r.dSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    paints.Stop();
    probe.stop();
    writer.join();
    r.dCpu = CpuSeconds(RUSAGE_SELF) - dCpu0 - dWriterCpu;
    r.nBytes = dispatch.m_dwRxCount;
    r.dWorstPaintGapMs = paints.m_dWorstGap;
    r.nPaints = paints.m_nPaints;
    std::vector<std::uint8_t> expected;
    for (std::size_t i = nTotal - box.GetLength(); i < nTotal; ++i) {
        expected.push_back(PatternByte(i));
    }
    r.bIntact = !bToBox || (box.GetBytes() == expected && box.GetLength() == 65536);
    link.Close();
    return r;
}

// The box alone: 64 KiB pieces through AppendByte with the event loop running in between, so its
// refreshes and paints happen as in the stream.
SResult RunBoxOnly(std::size_t nTotal, int bHex, const std::string& strFolder) {
    CReceiveView box(strFolder + "/Vexor.ini");
    box.setFont(QFont("WenQuanYi Zen Hei Mono", 12));
    box.resize(800, 500);
    box.SetMode(bHex);
    box.show();
    CPaintClock paints;
    box.viewport()->installEventFilter(&paints);
    SResult r;
    const double dCpu0 = CpuSeconds(RUSAGE_SELF);
    const auto t0 = std::chrono::steady_clock::now();
    paints.Start();
    constexpr std::size_t kPiece = 65536;
    for (std::size_t nDone = 0; nDone < nTotal; nDone += kPiece) {
        for (std::size_t i = nDone; i < nDone + kPiece; ++i) {
            box.AppendByte(PatternByte(i));
        }
        QApplication::processEvents();
    }
    box.Refresh();
    r.dSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    paints.Stop();
    r.dCpu = CpuSeconds(RUSAGE_SELF) - dCpu0;
    r.nBytes = nTotal;
    r.nPaints = paints.m_nPaints;
    r.dWorstPaintGapMs = paints.m_dWorstGap;
    r.bIntact = box.GetLength() == 65536;
    return r;
}

void Report(const char* pszName, const SResult& r) {
    const double dMiB = static_cast<double>(r.nBytes) / (1 << 20);
    std::printf("%-6s %7.1f MiB/s  %.4f CPU s/MiB", pszName, dMiB / r.dSeconds, r.dCpu / dMiB);
    if (r.nPaints > 0) {
        std::printf("  %4.1f paints/s, worst gap %5.1f ms  worst posted-event delay %5.1f ms",
                    r.nPaints / r.dSeconds, r.dWorstPaintGapMs, r.dWorstLatencyMs);
    }
    std::printf("  peak RSS %.1f MiB  %s\n", PeakRssMiB(), r.bIntact ? "intact" : "BYTES WRONG");
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const std::size_t nMiB = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 16;
    const std::size_t nTotal = nMiB << 20;
    const std::string strFolder =
        (std::filesystem::temp_directory_path() / ("dive-box-bench-" + std::to_string(getpid())))
            .string();
    std::filesystem::create_directories(strFolder + "/root");

    const int nRounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    std::vector<SResult> arrPlain, arrText, arrHex, arrEngine;
    for (int nRound = 0; nRound < nRounds; ++nRound) {
        arrPlain.push_back(RunPlain(nTotal));
        Report("plain", arrPlain.back());
        arrEngine.push_back(RunBox(nTotal, 0, strFolder, false));
        Report("nobox", arrEngine.back());
        arrText.push_back(RunBox(nTotal, 0, strFolder));
        Report("text", arrText.back());
        arrHex.push_back(RunBox(nTotal, 1, strFolder));
        Report("hex", arrHex.back());
    }
    const SResult boxText = RunBoxOnly(nTotal, 0, strFolder);
    const SResult boxHex = RunBoxOnly(nTotal, 1, strFolder);
    std::filesystem::remove_all(strFolder);

    // Each figure's median on its own.
    const auto median = [](std::vector<SResult> arr, auto key) {
        std::sort(arr.begin(), arr.end(),
                  [&](const SResult& a, const SResult& b) { return key(a) < key(b); });
        return key(arr[arr.size() / 2]);
    };
    const auto rate = [](const SResult& r) { return r.nBytes / 1048576.0 / r.dSeconds; };
    const auto cpu = [](const SResult& r) { return r.dCpu / (r.nBytes / 1048576.0); };
    const auto gap = [](const SResult& r) { return r.dWorstPaintGapMs; };
    const auto paintRate = [](const SResult& r) { return r.nPaints / r.dSeconds; };
    const auto delay = [](const SResult& r) { return r.dWorstLatencyMs; };
    const double dPlain = median(arrPlain, rate);
    std::printf(
        "medians of %d rounds of %zu MiB (targets: >= 50%% of plain, <= 0.02 CPU s/MiB, "
        ">= 20 paints/s, posted event < 100 ms, RSS < 80 MiB):\n",
        nRounds, nMiB);
    std::printf("plain %6.1f MiB/s  %.4f CPU s/MiB\n", dPlain, median(arrPlain, cpu));
    for (const auto* pRun : {&arrText, &arrHex}) {
        std::printf(
            "%-5s %6.1f MiB/s (%3.0f%% of plain)  %.4f CPU s/MiB  %4.1f paints/s  "
            "worst paint gap %5.1f ms  worst posted-event delay %5.1f ms\n",
            pRun == &arrText ? "text" : "hex", median(*pRun, rate),
            100 * median(*pRun, rate) / dPlain, median(*pRun, cpu), median(*pRun, paintRate),
            median(*pRun, gap), median(*pRun, delay));
    }
    std::printf("engine and dispatch without the box: %6.1f MiB/s  %.4f CPU s/MiB\n",
                median(arrEngine, rate), median(arrEngine, cpu));
    for (const SResult* pBox : {&boxText, &boxHex}) {
        std::printf(
            "the box alone, %-4s: %.4f CPU s/MiB  %4.1f paints/s  worst paint gap %.1f ms\n",
            pBox == &boxText ? "text" : "hex", cpu(*pBox), paintRate(*pBox), gap(*pBox));
    }
    std::printf("peak RSS of the whole run %.1f MiB\n", PeakRssMiB());
    return 0;
}
