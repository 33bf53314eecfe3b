// The CPU a user pays at real line rates. A real CTerminalDlg, shown, opens COM1 (mapped to the
// slave side of a pty pair); a feeder thread writes into the master side at 11.5 kB/s (115200
// baud) and at 300 kB/s (3 Mbaud), in 100 slices a second, for 10 s each: printable text lines
// (ended by CR LF, by CR alone, or not at all) and random bytes in text mode, random bytes in
// hexadecimal mode. Measured: the process's CPU time
// (feeder thread left out) as a share of one core, and the box's paints a second; also the share
// with the port open and nothing arriving, and the wake-ups a second of all threads (the feeder's
// left out).
//
// Reference, in the same run at the same pace: a minimal Qt window that reads the same pty with a
// socket notifier, decodes the bytes (GBK, as the box does; or "%02X " pairs, 16 to a line) and
// appends the text to a QPlainTextEdit with the box's font, keeping its last 2,000 lines, scrolled
// to the end. For the lines ended by CR alone or not at all, the reference shows the same text
// in lines ended by CR LF (its edit cannot keep up with one endless line).
//
// --marks: instead of the reference window, diVE itself with "时间戳" and "分帧" off is the
// reference of diVE with timestamps on and frames split at 20 ms (same rows, same run).
//
// Usage: dive_paced_window_bench [--at] [--marks] [seconds per run, default 10] [rounds, default 3]
// [rows]
// rows, if given, keeps only the rows whose "<data shown as> <rate>" contains it, e.g.
// "random, text 300000", "hex" or "idle". --at: with assistive technology active, diVE and the
// reference alike (AtSession.h).
// Run it on a real display (QT_QPA_PLATFORM=xcb under Xvfb) to count the drawing as a user's
// screen needs it; the X server's own CPU is not included.
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSocketNotifier>
#include <QStringDecoder>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "AtSession.h"
#include "DialogTemplate.h"
#include "Fonts.h"
#include "IniFile.h"
#include "MessageBox.h"
#include "ReceiveView.h"
#include "StreamBench.h"
#include "TerminalDlg.h"
#include "UiProbes.h"

namespace {

struct SCase {
    const char* pszName;
    EPayload ePayload;
    int bHex;
    // What the reference shows: a plain edit keeps a line without line breaks as one block,
    // laid out anew at each append, and falls behind; it shows the same text as lines.
    EPayload eReferencePayload;
};
constexpr SCase kCases[] = {{"text lines, text", EPayload::TextLines, 0, EPayload::TextLines},
                            {"CR-only lines, text", EPayload::CrLines, 0, EPayload::TextLines},
                            {"unbroken, text", EPayload::Unbroken, 0, EPayload::TextLines},
                            {"random, text", EPayload::Random, 0, EPayload::Random},
                            {"random, hex", EPayload::Random, 1, EPayload::Random}};
constexpr std::size_t kRates[] = {11500, 300000};

struct SPacedRun {
    double dShare = 0;  // CPU seconds a second, the feeder's left out
    double dPaintsPerSecond = 0;
    double dWakeUpsPerSecond = 0;  // the feeder's left out
};

// Runs the event loop while nBytes are fed at nRate and the receiver takes them all.
template <class TDone>
SPacedRun Feed(int nMasterFd, std::size_t nRate, std::size_t nBytes, const CPayload& payload,
               TDone fnDone, CPaintClock* pPaints) {
    SPacedRun r;
    const double dCpu0 = ProcessCpuSeconds();
    const long nWakeUps0 = ProcessWakeUps();
    const auto t0 = std::chrono::steady_clock::now();
    if (pPaints != nullptr) {
        pPaints->Start();
    }
    CStreamFeeder feeder(nMasterFd, nBytes, 0, payload, nRate);
    const bool bAll = RunEventsUntil(fnDone, static_cast<int>(nBytes * 1000 / nRate) + 30000);
    feeder.Join();
    const double dSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (pPaints != nullptr) {
        pPaints->Stop();
        r.dPaintsPerSecond = pPaints->Paints() / dSeconds;
    }
    r.dShare = (ProcessCpuSeconds() - dCpu0 - feeder.CpuSeconds()) / dSeconds;
    r.dWakeUpsPerSecond =
        static_cast<double>(ProcessWakeUps() - nWakeUps0 - feeder.WakeUps()) / dSeconds;
    if (!bAll) {
        std::fprintf(stderr, "not every byte arrived\n");
    }
    return r;
}

SPacedRun RunDive(const SCase& c, std::size_t nRate, double dSeconds, const CBenchFolder& folder,
                  bool bMarks = false) {
    CPtyPair pty;
    folder.MapComOne(pty);
    {
        CIniFile ini(folder.IniPath());
        ini.WriteInt("PORT", "COM", 0);
        ini.WriteInt("PORT", "BAUD", 14);
        ini.WriteInt("RX", "MODE", c.bHex);
        ini.WriteInt("RX", "TIMESTAMP", bMarks ? 1 : 0);
        ini.WriteInt("RX", "FRAMEGAP", bMarks ? 20 : 0);
    }
    CTerminalDlg dlg(folder.IniPath());
    folder.Confine(dlg.Link());
    dlg.show();
    auto* pBox = qobject_cast<CReceiveView*>(dlg.Control(IDC_RECEIVE));
    auto* pOpen = qobject_cast<QAbstractButton*>(dlg.Control(IDC_OPEN));
    pOpen->click();
    if (!dlg.IsPortOpen()) {
        std::fprintf(stderr, "cannot open %s\n", pty.SlavePath().c_str());
        return {};
    }
    RunEventsUntil([] { return false; }, 300);  // the opening's paints are not the stream's
    CPaintClock paints;
    pBox->viewport()->installEventFilter(&paints);
    const auto nBytes = static_cast<std::size_t>(dSeconds * static_cast<double>(nRate));
    const CPayload payload(c.ePayload);
    SPacedRun r;
    if (nRate == 0) {  // idle: the port open, nothing arriving
        const double dCpu0 = ProcessCpuSeconds();
        RunEventsUntil([] { return false; }, static_cast<int>(dSeconds * 1000));
        r.dShare = (ProcessCpuSeconds() - dCpu0) / dSeconds;
    } else {
        // The RX counter, shown every 33 ms, tells when all arrived at no cost to the window.
        auto* pRxCount = qobject_cast<QLineEdit*>(dlg.Control(IDC_RX_COUNT));
        const QString strTotal = QString::number(nBytes);
        r = Feed(
            pty.MasterFd(), nRate, nBytes, payload, [&] { return pRxCount->text() == strTotal; },
            &paints);
    }
    pOpen->click();
    return r;
}

// The reference: the least a Qt program does to show a stream.
class CReferenceWindow {
public:
    CReferenceWindow(const std::string& strDevice, int bHex) : m_bHex(bHex) {
        m_nFd = open(strDevice.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios tio{};
        tcgetattr(m_nFd, &tio);
        cfmakeraw(&tio);
        tcsetattr(m_nFd, TCSANOW, &tio);
        m_edit.setReadOnly(true);
        m_edit.setFont(BoxFont());
        m_edit.setMaximumBlockCount(2000);
        m_edit.resize(675, 300);
        m_edit.show();
        m_pNotifier = std::make_unique<QSocketNotifier>(m_nFd, QSocketNotifier::Read);
        QObject::connect(m_pNotifier.get(), &QSocketNotifier::activated, [this] { OnRead(); });
    }
    ~CReferenceWindow() { close(m_nFd); }
    std::size_t Received() const { return m_nReceived; }
    QWidget* Viewport() { return m_edit.viewport(); }

private:
    void OnRead() {
        char buf[4096];
        const ssize_t n = read(m_nFd, buf, sizeof buf);
        if (n <= 0) {
            return;
        }
        m_nReceived += static_cast<std::size_t>(n);
        QString strText;
        if (m_bHex) {
            for (ssize_t i = 0; i < n; ++i) {
                strText += QString::asprintf("%02X ", static_cast<unsigned char>(buf[i]));
                if (++m_nColumn % 16 == 0) {
                    strText += u'\n';
                }
            }
        } else {
            strText = m_decoder.decode(QByteArrayView(buf, n));
        }
        QTextCursor cursor(m_edit.document());
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(strText);
        m_edit.verticalScrollBar()->setValue(m_edit.verticalScrollBar()->maximum());
    }

    int m_bHex;
    int m_nFd = -1;
    std::size_t m_nReceived = 0;
    std::size_t m_nColumn = 0;
    QPlainTextEdit m_edit;
    QStringDecoder m_decoder{"GBK"};
    std::unique_ptr<QSocketNotifier> m_pNotifier;
};

SPacedRun RunReference(const SCase& c, std::size_t nRate, double dSeconds) {
    CPtyPair pty;
    CReferenceWindow window(pty.SlavePath(), c.bHex);
    RunEventsUntil([] { return false; }, 300);
    CPaintClock paints;
    window.Viewport()->installEventFilter(&paints);
    const auto nBytes = static_cast<std::size_t>(dSeconds * static_cast<double>(nRate));
    return Feed(
        pty.MasterFd(), nRate, nBytes, CPayload(c.eReferencePayload),
        [&] { return window.Received() == nBytes; }, &paints);
}

}  // namespace

int main(int argc, char** argv) {
    const auto pApp = MakeAssistedBenchApp(argc, argv);
    const auto itEnd = std::remove_if(
        argv + 1, argv + argc, [](const char* psz) { return std::strcmp(psz, "--marks") == 0; });
    const bool bMarks = itEnd != argv + argc;
    argc = static_cast<int>(itEnd - argv);
    const double dSeconds = argc > 1 ? std::max(1.0, std::atof(argv[1])) : 10.0;
    const int nRounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const QString strRows = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString();
    const auto wanted = [&](const QString& strRow) { return strRow.contains(strRows); };
    const CBenchFolder folder("paced-bench");
    CMessageBox::SetInterceptor([](const SMessage& message) {
        std::fprintf(stderr, "message box: %s\n", message.strText.toUtf8().constData());
    });
    std::printf("%.0f s per run, %d rounds, platform %s, load average at start: ", dSeconds,
                nRounds, QGuiApplication::platformName().toUtf8().constData());
    PrintLoadAverage();
    if (bMarks) {
        std::printf("diVE: timestamps on, frames split at 20 ms; reference: diVE with both off\n");
    }

    constexpr std::size_t nRows = std::size(kCases) * std::size(kRates);
    const auto rowName = [](std::size_t nRow) {
        return QStringLiteral("%1 %2")
            .arg(QString::fromLatin1(kCases[nRow / std::size(kRates)].pszName))
            .arg(kRates[nRow % std::size(kRates)]);
    };
    std::vector<std::vector<SPacedRun>> arrDive(nRows), arrRef(nRows);
    std::vector<SPacedRun> arrIdle;
    for (int nRound = 1; nRound <= nRounds; ++nRound) {
        for (std::size_t nRow = 0; nRow < nRows; ++nRow) {
            if (!wanted(rowName(nRow)))
                continue;
            const SCase& c = kCases[nRow / std::size(kRates)];
            const std::size_t nRate = kRates[nRow % std::size(kRates)];
            arrDive[nRow].push_back(RunDive(c, nRate, dSeconds, folder, bMarks));
            arrRef[nRow].push_back(bMarks ? RunDive(c, nRate, dSeconds, folder)
                                          : RunReference(c, nRate, dSeconds));
            std::printf(
                "%d %-19s %6zu B/s  diVE %5.1f%% (%4.1f paints/s, %4.0f wake-ups/s)  "
                "reference %5.1f%% (%4.1f paints/s, %4.0f wake-ups/s)\n",
                nRound, c.pszName, nRate, 100 * arrDive[nRow].back().dShare,
                arrDive[nRow].back().dPaintsPerSecond, arrDive[nRow].back().dWakeUpsPerSecond,
                100 * arrRef[nRow].back().dShare, arrRef[nRow].back().dPaintsPerSecond,
                arrRef[nRow].back().dWakeUpsPerSecond);
        }
        if (wanted(QStringLiteral("idle"))) {
            arrIdle.push_back(RunDive(kCases[0], 0, dSeconds, folder));
            std::printf("%d idle, port open: diVE %5.2f%%\n", nRound, 100 * arrIdle.back().dShare);
        }
        std::fflush(stdout);
    }

    const auto share = [](const SPacedRun& r) { return 100 * r.dShare; };
    const auto paints = [](const SPacedRun& r) { return r.dPaintsPerSecond; };
    const auto wakeups = [](const SPacedRun& r) { return r.dWakeUpsPerSecond; };
    std::printf(
        "\nmedians of %d rounds: CPU share of one core (lowest-highest), paints/s, wake-ups/s\n",
        nRounds);
    for (std::size_t nRow = 0; nRow < nRows; ++nRow) {
        if (arrDive[nRow].empty())
            continue;
        const SSpread dive = SpreadOf(arrDive[nRow], share);
        const SSpread ref = SpreadOf(arrRef[nRow], share);
        std::printf(
            "%-19s %6zu B/s  diVE %5.1f%% (%.1f-%.1f) %4.1f/s %4.0f/s  reference %5.1f%% "
            "(%.1f-%.1f) %4.1f/s %4.0f/s\n",
            kCases[nRow / std::size(kRates)].pszName, kRates[nRow % std::size(kRates)],
            dive.dMedian, dive.dMin, dive.dMax, SpreadOf(arrDive[nRow], paints).dMedian,
            SpreadOf(arrDive[nRow], wakeups).dMedian, ref.dMedian, ref.dMin, ref.dMax,
            SpreadOf(arrRef[nRow], paints).dMedian, SpreadOf(arrRef[nRow], wakeups).dMedian);
    }
    if (!arrIdle.empty())
        std::printf("idle, port open  diVE %5.2f%%\n", SpreadOf(arrIdle, share).dMedian);
    return 0;
}
