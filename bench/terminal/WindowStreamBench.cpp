// The main window at full pseudo-terminal speed. A real CTerminalDlg, shown, opens COM1 (mapped
// to the slave side of a pty pair) with its own open button; a feeder thread streams 16 MiB into
// the master side; the engine, the window's dispatch and its receive box take it. Four streams:
// printable text lines, Chinese text in GBK and random bytes in text mode, random bytes in
// hexadecimal mode. A plain 64 KiB read loop on an identical pair, in the same run, gives the
// reference rate.
//
// Measured per run: throughput and its ratio to the plain loop; CPU seconds per MiB of the whole
// process (getrusage deltas), with and without the feeder thread (it plays the far device); the
// repaints of the receive box and the worst gap between two; how late a 50 ms timer fires and how
// long a click posted to a button waits for its answer; resident memory before and after and the
// peak. Checked: the window's RX counter shows every byte, and the box holds the stream's last
// 65,536 bytes. Rounds are interleaved; medians and the spread close the report.
//
// --record: each stream runs twice, interleaved, without and with a raw recording to a file
// ("开始记录..." with a name ending in ".bin"); the recording must equal the stream byte for byte
// and its throughput is reported as a share of the run without (>= 90%).
//
// --net: the port is on another machine: ser2net (started on 127.0.0.1 for each run) in front of
// the pair, COM1 mapped to its RFC 2217 port, the window connecting on its own; the reference is
// a plain TCP reader of ser2net's raw port in front of an identical pair (NetReference.h).
//
// Usage: dive_window_stream_bench [--at] [--record | --net] [MiB, default 16] [rounds, default 3]
// (offscreen unless QT_QPA_PLATFORM says otherwise). --at: with assistive technology active
// (AtSession.h; it needs QT_QPA_PLATFORM=xcb, for instance under Xvfb).
#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <memory>

#include "AtSession.h"
#include "DialogTemplate.h"
#include "IniFile.h"
#include "MessageBox.h"
#include "NetReference.h"
#include "ReceiveView.h"
#include "RecordControl.h"
#include "RxDelivery.h"
#include "Ser2NetServer.h"
#include "StreamBench.h"
#include "TerminalDlg.h"
#include "UiProbes.h"

namespace {
constexpr std::size_t kChunk = 65536;
constexpr std::size_t kBoxBytes = 65536;
constexpr int kLimitMs = 120000;
constexpr int kConnectLimitMs = 10000;

struct SWindowRun : SStreamRun {
    SUiFigures ui;  // the answer is a click's
    double dRssBeforeMiB = 0;
    double dRssAfterMiB = 0;
    double dPeakRssMiB = 0;
    bool bCounterRight = false;
    bool bRecordExact = false;  // --record: the file holds the stream
};

// Notes when the window's thread has last taken received bytes: the events that run a delivery
// (its timer, its notifier, its next batch posted to itself) are let through the filter and timed
// after. The stream's end is then timed exactly without touching the per-byte path (the RX
// counter is shown only once per refresh).
class CDeliveryClock : public QObject {
public:
    bool eventFilter(QObject* pObject, QEvent* pEvent) override {
        const bool bDelivery = qobject_cast<CRxDelivery*>(pObject) != nullptr ||
                               qobject_cast<CRxDelivery*>(pObject->parent()) != nullptr;
        if (!bDelivery || (pEvent->type() != QEvent::MetaCall && pEvent->type() != QEvent::Timer &&
                           pEvent->type() != QEvent::SockAct)) {
            return QObject::eventFilter(pObject, pEvent);
        }
        pObject->event(pEvent);
        m_tLast = std::chrono::steady_clock::now();
        return true;
    }
    SteadyTime Last() const { return m_tLast; }

private:
    SteadyTime m_tLast;
};

// One kind of stream: what it carries and how the box shows it.
struct SCase {
    const char* pszName;
    EPayload ePayload;
    int bHex;
};
constexpr SCase kCases[] = {{"text", EPayload::TextLines, 0},
                            {"gbk", EPayload::GbkText, 0},
                            {"random", EPayload::Random, 0},
                            {"randhex", EPayload::Random, 1}};

// Where a run's stream comes from: a pair whose slave COM1 names, or (--net) ser2net in front of
// one, COM1 naming its RFC 2217 port.
class CStreamSource {
public:
    CStreamSource(const CBenchFolder& folder, bool bNet) {
        if (!bNet) {
            folder.MapComOne(m_pty);
            return;
        }
        m_pServer = std::make_unique<CSer2NetServer>();
        if (!m_pServer->Start()) {
            std::fprintf(stderr, "ser2net did not come up\n");
        }
        CIniFile(folder.IniPath()).WriteString("DEVICES", "COM1", m_pServer->ComAddress());
    }
    int FeedFd() { return m_pServer ? m_pServer->Pty().MasterFd() : m_pty.MasterFd(); }

private:
    CPtyPair m_pty;
    std::unique_ptr<CSer2NetServer> m_pServer;
};

SWindowRun RunWindow(std::size_t nTotal, const SCase& c, const CBenchFolder& folder,
                     bool bRecord = false, bool bNet = false) {
    const CPayload payload(c.ePayload);
    const int bHex = c.bHex;
    SWindowRun r;
    CStreamSource source(folder, bNet);
    {
        CIniFile ini(folder.IniPath());
        ini.WriteInt("PORT", "COM", 0);
        ini.WriteInt("PORT", "BAUD", 14);
        ini.WriteInt("RX", "MODE", bHex);
    }
    CTerminalDlg dlg(folder.IniPath());
    folder.Confine(dlg.Link());
    dlg.show();
    QApplication::processEvents();

    auto* pBox = qobject_cast<CReceiveView*>(dlg.Control(IDC_RECEIVE));
    auto* pOpen = qobject_cast<QAbstractButton*>(dlg.Control(IDC_OPEN));
    auto* pRxCount = qobject_cast<QLineEdit*>(dlg.Control(IDC_RX_COUNT));
    // Clicking the send-format radio that is already chosen changes nothing the stream touches.
    auto* pClickTarget = qobject_cast<QAbstractButton*>(dlg.Control(IDC_FORMAT_TEXT));
    if (pBox == nullptr || pOpen == nullptr || pRxCount == nullptr || pClickTarget == nullptr) {
        std::fprintf(stderr, "the window lacks a control\n");
        return r;
    }
    if (pBox->GetMode() != bHex) {
        std::fprintf(stderr, "the box did not start in mode %d from the settings file\n", bHex);
        pBox->SetMode(bHex);
    }
    const QString strRecord = QString::fromStdString(folder.Path() + "/record.bin");
    if (bRecord) {
        dlg.Record().SetAskers([strRecord] { return strRecord; },
                               [](const QString&) { return CRecordControl::EExisting::Overwrite; });
        dlg.Record().Toggle(false, true);
    }
    pOpen->click();
    // A port on another machine connects on a thread of its own while the window runs.
    if (!RunEventsUntil([&] { return dlg.IsPortOpen(); }, kConnectLimitMs)) {
        std::fprintf(stderr, "cannot open COM1\n");
        return r;
    }
    CPaintClock paints;
    pBox->viewport()->installEventFilter(&paints);
    CLatencyProbe probe(pClickTarget);
    CDeliveryClock deliveries;
    QCoreApplication::instance()->installEventFilter(&deliveries);
    // Let the opening settle: its paints are not the stream's.
    RunEventsUntil([] { return false; }, 100);

    r.dRssBeforeMiB = CurrentRssMiB();
    const QString strTotal = QString::number(nTotal);
    const double dCpu0 = ProcessCpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    paints.Start();
    probe.Start();
    CStreamFeeder feeder(source.FeedFd(), nTotal, kChunk, payload);
    r.bCounterRight = RunEventsUntil([&] { return pRxCount->text() == strTotal; }, kLimitMs);
    const SteadyTime tEnd = deliveries.Last();
    paints.Stop(tEnd);
    probe.Stop();
    feeder.Join();
    r.dCpu = ProcessCpuSeconds() - dCpu0;
    r.dSeconds = std::chrono::duration<double>(tEnd - t0).count();
    r.dFeederCpu = feeder.CpuSeconds();
    r.dRssAfterMiB = CurrentRssMiB();
    r.dPeakRssMiB = PeakRssMiB();
    r.nBytes = nTotal;
    r.ui = TakeUiFigures(paints, &probe);
    r.bIntact = r.bCounterRight && pBox->GetBytes() == payload.Tail(nTotal, kBoxBytes);
    pOpen->click();
    if (bRecord) {
        dlg.Record().Stop();
        QFile file(strRecord);
        const std::vector<std::uint8_t> whole = payload.Tail(nTotal, nTotal);
        const QByteArray recorded = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        r.bRecordExact = static_cast<std::size_t>(recorded.size()) == whole.size() &&
                         std::memcmp(recorded.constData(), whole.data(), whole.size()) == 0;
    }
    return r;
}

void ReportRow(const char* pszName, int nRound, const SStreamRun& r, double dPlainRate) {
    std::printf("%-7s %d  %6.1f MiB/s %4.0f%%  CPU s/MiB %.4f (%.4f w/o feeder)", pszName, nRound,
                r.MiBPerSecond(), 100 * r.MiBPerSecond() / dPlainRate, r.CpuPerMiB(),
                r.CpuPerMiBWithoutFeeder());
}

void ReportWindow(const char* pszName, int nRound, const SWindowRun& r, double dPlainRate) {
    ReportRow(pszName, nRound, r, dPlainRate);
    std::printf(
        "  %3d paints %4.1f/s worst gap %5.1f ms  click %5.1f ms (%d)  timer late %5.1f ms  "
        "RSS %.1f -> %.1f, peak %.1f MiB  %s\n",
        r.ui.nPaints, r.ui.nPaints / r.dSeconds, r.ui.dWorstPaintGapMs, r.ui.dWorstAnswerMs,
        r.ui.nAnswers, r.ui.dWorstTimerLateMs, r.dRssBeforeMiB, r.dRssAfterMiB, r.dPeakRssMiB,
        r.bIntact ? "RX count and tail right" : (r.bCounterRight ? "TAIL WRONG" : "COUNT WRONG"));
}

template <class TRun, class TKey>
void ReportSpread(const char* pszFigure, const std::vector<TRun>& arrRuns, TKey key,
                  const char* pszFormat) {
    const SSpread spread = SpreadOf(arrRuns, key);
    std::printf("  %-26s", pszFigure);
    for (double dValue : {spread.dMedian, spread.dMin, spread.dMax}) {
        std::printf(pszFormat, dValue);
    }
    std::printf("\n");
}
}  // namespace

// Takes the flag out of the arguments; true when it was there.
bool TakeFlag(int& argc, char** argv, const char* pszFlag) {
    const auto itEnd = std::remove_if(argv + 1, argv + argc, [pszFlag](const char* psz) {
        return std::strcmp(psz, pszFlag) == 0;
    });
    const bool bFound = itEnd != argv + argc;
    argc = static_cast<int>(itEnd - argv);
    return bFound;
}

// Each stream without and with a raw recording, rounds interleaved.
int RunRecording(const SBenchArgs& args, const CBenchFolder& folder) {
    const std::size_t nTotal = args.Total();
    std::vector<std::vector<SWindowRun>> arrWithout(std::size(kCases));
    std::vector<std::vector<SWindowRun>> arrWith(std::size(kCases));
    for (int nRound = 1; nRound <= args.nRounds; ++nRound) {
        for (std::size_t i = 0; i < std::size(kCases); ++i) {
            arrWithout[i].push_back(RunWindow(nTotal, kCases[i], folder));
            arrWith[i].push_back(RunWindow(nTotal, kCases[i], folder, true));
            const SWindowRun& rWithout = arrWithout[i].back();
            const SWindowRun& rWith = arrWith[i].back();
            std::printf("%-7s %d  without %6.1f MiB/s  recording %6.1f MiB/s (%3.0f%%)  %s %s\n",
                        kCases[i].pszName, nRound, rWithout.MiBPerSecond(), rWith.MiBPerSecond(),
                        100 * rWith.MiBPerSecond() / rWithout.MiBPerSecond(),
                        rWith.bIntact && rWithout.bIntact ? "box right" : "BOX WRONG",
                        rWith.bRecordExact ? "file byte-exact" : "FILE WRONG");
            std::fflush(stdout);
        }
    }
    const auto rate = [](const SWindowRun& r) { return r.MiBPerSecond(); };
    std::printf("\nmedians of %d rounds: MiB/s without, with recording, share (>= 90%%)\n",
                args.nRounds);
    for (std::size_t i = 0; i < std::size(kCases); ++i) {
        const double dWithout = SpreadOf(arrWithout[i], rate).dMedian;
        const double dWith = SpreadOf(arrWith[i], rate).dMedian;
        std::printf("%-7s %6.1f %6.1f %4.0f%%\n", kCases[i].pszName, dWithout, dWith,
                    100 * dWith / dWithout);
    }
    return 0;
}

int main(int argc, char** argv) {
    const auto pApp = MakeAssistedBenchApp(argc, argv);
    const bool bRecord = TakeFlag(argc, argv, "--record");
    const bool bNet = TakeFlag(argc, argv, "--net");
    const SBenchArgs args = ParseBenchArgs(argc, argv, 16);
    const std::size_t nTotal = args.Total();
    const CBenchFolder folder("window-bench");
    CMessageBox::SetInterceptor([](const SMessage& message) {
        std::fprintf(stderr, "message box: %s\n", message.strText.toUtf8().constData());
    });
    std::printf("%zu MiB per stream, %d rounds, load average at start: ", args.nMiB, args.nRounds);
    PrintLoadAverage();
    if (bRecord) {
        return RunRecording(args, folder);
    }

    std::vector<SStreamRun> arrPlain;
    std::vector<std::vector<SWindowRun>> arrCases(std::size(kCases));
    for (int nRound = 1; nRound <= args.nRounds; ++nRound) {
        arrPlain.push_back(bNet ? RunPlainTcpReader(nTotal, kChunk)
                                : RunPlainReadLoop(nTotal, kChunk, kChunk, false));
        const double dPlainRate = arrPlain.back().MiBPerSecond();
        ReportRow("plain", nRound, arrPlain.back(), dPlainRate);
        std::printf("  %s\n", arrPlain.back().bIntact ? "complete" : "BYTES LOST");
        for (std::size_t i = 0; i < std::size(kCases); ++i) {
            arrCases[i].push_back(RunWindow(nTotal, kCases[i], folder, false, bNet));
            ReportWindow(kCases[i].pszName, nRound, arrCases[i].back(), dPlainRate);
        }
    }

    const auto rate = [](const SStreamRun& r) { return r.MiBPerSecond(); };
    const auto cpu = [](const SStreamRun& r) { return r.CpuPerMiB(); };
    const auto cpuOwn = [](const SStreamRun& r) { return r.CpuPerMiBWithoutFeeder(); };
    const double dPlainRate = SpreadOf(arrPlain, rate).dMedian;
    std::printf("\nmedian, lowest, highest of %d rounds\n%s\n", args.nRounds,
                bNet ? "plain TCP reader of ser2net" : "plain");
    ReportSpread("MiB/s", arrPlain, rate, " %9.1f");
    ReportSpread("CPU s/MiB", arrPlain, cpu, " %9.4f");
    ReportSpread("CPU s/MiB w/o feeder", arrPlain, cpuOwn, " %9.4f");
    for (std::size_t i = 0; i < std::size(kCases); ++i) {
        const auto& arrRuns = arrCases[i];
        std::printf("%s: %s, %s mode\n", kCases[i].pszName, CPayload(kCases[i].ePayload).Name(),
                    kCases[i].bHex ? "hexadecimal" : "text");
        ReportSpread("MiB/s", arrRuns, rate, " %9.1f");
        ReportSpread(
            "of plain (>= 50%)", arrRuns,
            [&](const SWindowRun& r) { return 100 * r.MiBPerSecond() / dPlainRate; }, " %8.0f%%");
        ReportSpread("CPU s/MiB (<= 0.02)", arrRuns, cpu, " %9.4f");
        ReportSpread("CPU s/MiB w/o feeder", arrRuns, cpuOwn, " %9.4f");
        ReportSpread(
            "paints/s (>= 20)", arrRuns,
            [](const SWindowRun& r) { return r.ui.nPaints / r.dSeconds; }, " %9.1f");
        ReportSpread(
            "worst paint gap ms (<= 50)", arrRuns,
            [](const SWindowRun& r) { return r.ui.dWorstPaintGapMs; }, " %9.1f");
        ReportSpread(
            "worst click ms (<= 100)", arrRuns,
            [](const SWindowRun& r) { return r.ui.dWorstAnswerMs; }, " %9.1f");
        ReportSpread(
            "worst timer late ms", arrRuns,
            [](const SWindowRun& r) { return r.ui.dWorstTimerLateMs; }, " %9.1f");
        ReportSpread(
            "RSS after MiB", arrRuns, [](const SWindowRun& r) { return r.dRssAfterMiB; }, " %9.1f");
    }
    std::printf("peak RSS of the whole run %.1f MiB (< 80)\n", PeakRssMiB());
    return 0;
}
