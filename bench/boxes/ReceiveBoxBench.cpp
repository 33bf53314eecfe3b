// The receive box's share of a stream, for finding where the time goes (the whole window is
// measured by dive_window_stream_bench). A feeder thread streams 16 MiB into the master side of a
// pty pair; the serial engine reads the slave side, and a minimal dispatch on the user-interface
// thread counts each byte and hands it to a shown CReceiveView. Per display mode: throughput, CPU
// seconds per MiB (the feeder's own CPU left out), the worst gap between two paints of the box,
// the worst delay of an event posted every 50 ms, the peak resident memory. Also the same road
// without the box and the box alone, and a plain 64 KiB read loop on an identical pair.
//
// Usage: dive_receive_box_bench [MiB, default 16] [rounds, default 3]
// (offscreen unless QT_QPA_PLATFORM says otherwise)
#include <QApplication>
#include <cstdio>
#include <memory>

#include "ReceiveView.h"
#include "SerialLink.h"
#include "StreamBench.h"
#include "UiProbes.h"

namespace {
constexpr std::size_t kChunk = 65536;
constexpr int kLimitMs = 120000;

struct SBoxRun : SStreamRun {
    SUiFigures ui;
    double WorstDelayMs() const { return std::max(ui.dWorstAnswerMs, ui.dWorstTimerLateMs); }
};

// Counts each byte and hands it to the box, delivering in batches on the user-interface thread
// with the event loop running in between.
class CDispatch : public ISerialOwner {
public:
    CDispatch(CSerialLink& link, CReceiveView* pBox) : m_link(link), m_pBox(pBox) {}
    void OnNoticesPending() override {
        QMetaObject::invokeMethod(
            &m_context, [this] { Deliver(); }, Qt::QueuedConnection);
    }
    void OnSerialEvent(unsigned nCode, unsigned nValue) override {
        if (nCode == SN_RX_BYTE) {
            ++m_dwRxCount;
            if (m_pBox != nullptr) {
                m_pBox->AppendByte(static_cast<std::uint8_t>(nValue));
            }
        }
    }
    std::size_t m_dwRxCount = 0;

private:
    void Deliver() {
        if (m_link.DeliverNotices()) {
            QMetaObject::invokeMethod(
                &m_context, [this] { Deliver(); }, Qt::QueuedConnection);
        }
    }
    CSerialLink& m_link;
    CReceiveView* m_pBox;
    QObject m_context;  // lives on the user-interface thread
};

// A shown box of the window's size in the given mode, its paints watched.
std::unique_ptr<CReceiveView> ShowBox(const CBenchFolder& folder, int bHex, CPaintClock& paints) {
    auto pBox = std::make_unique<CReceiveView>(folder.IniPath());
    pBox->setFont(QFont("WenQuanYi Zen Hei Mono", 12));
    pBox->resize(800, 500);
    pBox->SetMode(bHex);
    pBox->show();
    pBox->viewport()->installEventFilter(&paints);
    return pBox;
}

// bToBox false: the same road without the box, to tell the box's share from the engine's.
SBoxRun RunBox(std::size_t nTotal, int bHex, const CBenchFolder& folder, bool bToBox) {
    CPtyPair pty;
    folder.MapComOne(pty);
    CPaintClock paints;
    const auto pBox = ShowBox(folder, bHex, paints);
    CSerialLink link;
    folder.Confine(link);
    CDispatch dispatch(link, bToBox ? pBox.get() : nullptr);
    SBoxRun r;
    if (!link.Open(&dispatch, {}) || !link.StartWatcher()) {
        std::fprintf(stderr, "cannot open %s\n", pty.SlavePath().c_str());
        return r;
    }
    CLatencyProbe probe;
    const double dCpu0 = ProcessCpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    paints.Start();
    probe.Start();
    CStreamFeeder feeder(pty.MasterFd(), nTotal, kChunk);
    RunEventsUntil([&] { return dispatch.m_dwRxCount >= nTotal; }, kLimitMs);
    r.dSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    paints.Stop();
    probe.Stop();
    feeder.Join();
    r.dCpu = ProcessCpuSeconds() - dCpu0;
    r.dFeederCpu = feeder.CpuSeconds();
    r.nBytes = dispatch.m_dwRxCount;
    r.ui = TakeUiFigures(paints, &probe);
    r.bIntact = !bToBox || pBox->GetBytes() == PatternTail(nTotal, 65536);
    link.Close();
    return r;
}

// The box alone: 64 KiB pieces through AppendByte with the event loop running in between, so its
// refreshes and paints happen as in the stream.
SBoxRun RunBoxOnly(std::size_t nTotal, int bHex, const CBenchFolder& folder) {
    CPaintClock paints;
    const auto pBox = ShowBox(folder, bHex, paints);
    SBoxRun r;
    const double dCpu0 = ProcessCpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    paints.Start();
    for (std::size_t nDone = 0; nDone < nTotal; nDone += kChunk) {
        for (std::size_t i = nDone; i < nDone + kChunk; ++i) {
            pBox->AppendByte(PatternByte(i));
        }
        QApplication::processEvents();
    }
    pBox->Refresh();
    r.dSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    paints.Stop();
    r.dCpu = ProcessCpuSeconds() - dCpu0;
    r.nBytes = nTotal;
    r.ui = TakeUiFigures(paints, nullptr);
    r.bIntact = pBox->GetLength() == 65536;
    return r;
}

void Report(const char* pszName, const SBoxRun& r) {
    std::printf("%-6s %7.1f MiB/s  %.4f CPU s/MiB", pszName, r.MiBPerSecond(),
                r.CpuPerMiBWithoutFeeder());
    if (r.ui.nPaints > 0) {
        std::printf("  %4.1f paints/s, worst gap %5.1f ms  worst posted-event delay %5.1f ms",
                    r.ui.nPaints / r.dSeconds, r.ui.dWorstPaintGapMs, r.WorstDelayMs());
    }
    std::printf("  peak RSS %.1f MiB  %s\n", PeakRssMiB(), r.bIntact ? "intact" : "BYTES WRONG");
}
}  // namespace

int main(int argc, char** argv) {
    const auto pApp = MakeBenchApp(argc, argv);
    const SBenchArgs args = ParseBenchArgs(argc, argv, 16);
    const std::size_t nTotal = args.Total();
    const CBenchFolder folder("box-bench");

    std::vector<SStreamRun> arrPlain;
    std::vector<SBoxRun> arrText, arrHex, arrEngine;
    for (int nRound = 0; nRound < args.nRounds; ++nRound) {
        arrPlain.push_back(RunPlainReadLoop(nTotal, kChunk, kChunk, false));
        std::printf("plain  %7.1f MiB/s  %.4f CPU s/MiB\n", arrPlain.back().MiBPerSecond(),
                    arrPlain.back().CpuPerMiBWithoutFeeder());
        arrEngine.push_back(RunBox(nTotal, 0, folder, false));
        Report("nobox", arrEngine.back());
        arrText.push_back(RunBox(nTotal, 0, folder, true));
        Report("text", arrText.back());
        arrHex.push_back(RunBox(nTotal, 1, folder, true));
        Report("hex", arrHex.back());
    }
    const SBoxRun boxText = RunBoxOnly(nTotal, 0, folder);
    const SBoxRun boxHex = RunBoxOnly(nTotal, 1, folder);

    const auto rate = [](const SStreamRun& r) { return r.MiBPerSecond(); };
    const auto cpu = [](const SStreamRun& r) { return r.CpuPerMiBWithoutFeeder(); };
    const auto gap = [](const SBoxRun& r) { return r.ui.dWorstPaintGapMs; };
    const auto paintRate = [](const SBoxRun& r) { return r.ui.nPaints / r.dSeconds; };
    const auto delay = [](const SBoxRun& r) { return r.WorstDelayMs(); };
    const double dPlain = SpreadOf(arrPlain, rate).dMedian;
    std::printf(
        "medians of %d rounds of %zu MiB (targets: >= 50%% of plain, <= 0.02 CPU s/MiB, "
        ">= 20 paints/s, posted event < 100 ms, RSS < 80 MiB):\n",
        args.nRounds, args.nMiB);
    std::printf("plain %6.1f MiB/s  %.4f CPU s/MiB\n", dPlain, SpreadOf(arrPlain, cpu).dMedian);
    for (const auto* pRun : {&arrText, &arrHex}) {
        const double dRate = SpreadOf(*pRun, rate).dMedian;
        std::printf(
            "%-5s %6.1f MiB/s (%3.0f%% of plain)  %.4f CPU s/MiB  %4.1f paints/s  "
            "worst paint gap %5.1f ms  worst posted-event delay %5.1f ms\n",
            pRun == &arrText ? "text" : "hex", dRate, 100 * dRate / dPlain,
            SpreadOf(*pRun, cpu).dMedian, SpreadOf(*pRun, paintRate).dMedian,
            SpreadOf(*pRun, gap).dMedian, SpreadOf(*pRun, delay).dMedian);
    }
    std::printf("engine and dispatch without the box: %6.1f MiB/s  %.4f CPU s/MiB\n",
                SpreadOf(arrEngine, rate).dMedian, SpreadOf(arrEngine, cpu).dMedian);
    for (const SBoxRun* pBox : {&boxText, &boxHex}) {
        std::printf(
            "the box alone, %-4s: %.4f CPU s/MiB  %4.1f paints/s  worst paint gap %.1f ms\n",
            pBox == &boxText ? "text" : "hex", cpu(*pBox), paintRate(*pBox), gap(*pBox));
    }
    std::printf("peak RSS of the whole run %.1f MiB\n", PeakRssMiB());
    return 0;
}
