// From a click on the manual send button to its bytes at the far end, while 16 MiB stream in at
// full pseudo-terminal speed. A real CTerminalDlg, shown, opens COM1 (mapped to the slave side of a
// pty pair); a feeder thread fills the master side, and a reader thread on the same master side
// takes the time at which each send's last byte arrives. Every 50 ms, when the send buttons are
// enabled again, a mouse press and release are posted to the send button: the delay counts from
// the posting, so it includes the wait of the click in the window's event queue. Streams: text
// lines and random bytes in text mode. Also timed: from the bytes at the far end to the button
// enabled again (the next send possible). Reference in the same run: the same window and clicks
// with the port open and nothing arriving. Target: median under 20 ms.
//
// Usage: dive_send_latency_bench [MiB per stream, default 16] [rounds, default 3]
// (offscreen unless QT_QPA_PLATFORM says otherwise)
#include <poll.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <iterator>
#include <mutex>
#include <thread>

#include "DialogTemplate.h"
#include "IniFile.h"
#include "MessageBox.h"
#include "StreamBench.h"
#include "TerminalDlg.h"
#include "UiProbes.h"

namespace {
constexpr std::size_t kChunk = 65536;
constexpr int kPeriodMs = 50;
constexpr int kIdleClicks = 40;
const char kMessage[] = "diVE send probe";
constexpr std::size_t kMessageBytes = sizeof kMessage - 1;

// Reads what the window sends from the master side and times the end of each send.
class CFarEnd {
public:
    explicit CFarEnd(int nMasterFd) : m_thread([this, nMasterFd] { Run(nMasterFd); }) {}
    ~CFarEnd() {
        m_bStop = true;
        m_thread.join();
    }
    std::size_t Sends() {
        std::lock_guard lock(m_mtx);
        return m_arrArrivals.size();
    }
    SteadyTime Arrival(std::size_t i) {
        std::lock_guard lock(m_mtx);
        return m_arrArrivals[i];
    }

private:
    void Run(int nFd) {
        std::size_t nBytes = 0;
        char buf[4096];
        while (!m_bStop) {
            pollfd pfd{nFd, POLLIN, 0};
            if (poll(&pfd, 1, 20) <= 0) {
                continue;
            }
            const ssize_t n = read(nFd, buf, sizeof buf);
            if (n <= 0) {
                continue;
            }
            const SteadyTime tNow = std::chrono::steady_clock::now();
            nBytes += static_cast<std::size_t>(n);
            std::lock_guard lock(m_mtx);
            while (m_arrArrivals.size() < nBytes / kMessageBytes) {
                m_arrArrivals.push_back(tNow);
            }
        }
    }

    std::atomic<bool> m_bStop{false};
    std::mutex m_mtx;
    std::vector<SteadyTime> m_arrArrivals;
    std::thread m_thread;
};

// Times each return of the send button to the enabled state (a send's transmit-empty notice).
class CEnableClock : public QObject {
public:
    bool eventFilter(QObject* pObject, QEvent* pEvent) override {
        if (pEvent->type() == QEvent::EnabledChange &&
            static_cast<QWidget*>(pObject)->isEnabled()) {
            m_arrEnabled.push_back(std::chrono::steady_clock::now());
        }
        return QObject::eventFilter(pObject, pEvent);
    }
    std::vector<SteadyTime> m_arrEnabled;
};

struct SLatencyRun {
    double dMedianMs = 0;
    double dWorstMs = 0;
    double dMedianBackMs = 0;  // from the bytes at the far end to the button enabled again
    int nSends = 0;
    bool bComplete = false;
};

SLatencyRun RunSends(std::size_t nTotal, const CPayload* pPayload, const CBenchFolder& folder) {
    SLatencyRun r;
    CPtyPair pty;
    folder.MapComOne(pty);
    {
        CIniFile ini(folder.IniPath());
        ini.WriteInt("PORT", "COM", 0);
        ini.WriteInt("PORT", "BAUD", 14);
        ini.WriteInt("RX", "MODE", 0);
    }
    CTerminalDlg dlg(folder.IniPath());
    folder.Confine(dlg.Link());
    dlg.show();
    auto* pOpen = qobject_cast<QAbstractButton*>(dlg.Control(IDC_OPEN));
    auto* pSend = qobject_cast<QAbstractButton*>(dlg.Control(IDC_MANUAL_SEND));
    auto* pRxCount = qobject_cast<QLineEdit*>(dlg.Control(IDC_RX_COUNT));
    qobject_cast<QAbstractButton*>(dlg.Control(IDC_FORMAT_TEXT))->click();
    qobject_cast<QPlainTextEdit*>(dlg.Control(IDC_SEND))->setPlainText(kMessage);
    pOpen->click();
    if (!dlg.IsPortOpen()) {
        std::fprintf(stderr, "cannot open %s\n", pty.SlavePath().c_str());
        return r;
    }
    RunEventsUntil([] { return false; }, 100);
    CFarEnd farEnd(pty.MasterFd());
    CEnableClock enables;
    pSend->installEventFilter(&enables);
    std::vector<SteadyTime> arrPosted;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        // One send at a time: the buttons come back with the transmit-empty notice.
        if (!pSend->isEnabled() || farEnd.Sends() < arrPosted.size()) {
            return;
        }
        const QPointF pos = QRectF(pSend->rect()).center();
        const QPointF global = pSend->mapToGlobal(pos);
        arrPosted.push_back(std::chrono::steady_clock::now());
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QCoreApplication::postEvent(
                pSend,
                new QMouseEvent(type, pos, global, Qt::LeftButton,
                                type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                                Qt::NoModifier));
        }
    });
    timer.start(kPeriodMs);
    if (pPayload != nullptr) {
        CStreamFeeder feeder(pty.MasterFd(), nTotal, kChunk, *pPayload);
        const QString strTotal = QString::number(nTotal);
        r.bComplete = RunEventsUntil([&] { return pRxCount->text() == strTotal; }, 120000);
        feeder.Join();
    } else {
        r.bComplete = RunEventsUntil([&] { return arrPosted.size() >= kIdleClicks; },
                                     kIdleClicks * kPeriodMs * 10);
    }
    timer.stop();
    // The last send is given time to arrive.
    RunEventsUntil(
        [&] {
            return farEnd.Sends() >= arrPosted.size() &&
                   enables.m_arrEnabled.size() >= arrPosted.size();
        },
        5000);
    const auto ms = [](double d) { return d; };
    std::vector<double> arrMs;
    std::vector<double> arrBackMs;
    for (std::size_t i = 0; i < arrPosted.size() && i < farEnd.Sends(); ++i) {
        arrMs.push_back(
            std::chrono::duration<double, std::milli>(farEnd.Arrival(i) - arrPosted[i]).count());
        if (i < enables.m_arrEnabled.size()) {
            arrBackMs.push_back(std::chrono::duration<double, std::milli>(enables.m_arrEnabled[i] -
                                                                          farEnd.Arrival(i))
                                    .count());
        }
    }
    r.dMedianBackMs = SpreadOf(arrBackMs, ms).dMedian;
    r.bComplete = r.bComplete && arrMs.size() == arrPosted.size() && !arrMs.empty();
    r.dMedianMs = SpreadOf(arrMs, ms).dMedian;
    r.dWorstMs = SpreadOf(arrMs, ms).dMax;
    r.nSends = static_cast<int>(arrMs.size());
    pOpen->click();
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    const auto pApp = MakeBenchApp(argc, argv);
    const SBenchArgs args = ParseBenchArgs(argc, argv, 16);
    const CBenchFolder folder("send-latency-bench");
    CMessageBox::SetInterceptor([](const SMessage& message) {
        std::fprintf(stderr, "message box: %s\n", message.strText.toUtf8().constData());
    });
    std::printf("%zu MiB per stream, %d rounds, load average at start: ", args.nMiB, args.nRounds);
    PrintLoadAverage();
    const CPayload lines(EPayload::TextLines);
    const CPayload random(EPayload::Random);
    struct SCase {
        const char* pszName;
        const CPayload* pPayload;
    };
    const SCase arrCases[] = {
        {"idle (reference)", nullptr}, {"text lines stream", &lines}, {"random stream", &random}};
    std::vector<std::vector<SLatencyRun>> arrRuns(std::size(arrCases));
    for (int nRound = 1; nRound <= args.nRounds; ++nRound) {
        for (std::size_t i = 0; i < std::size(arrCases); ++i) {
            arrRuns[i].push_back(RunSends(args.Total(), arrCases[i].pPayload, folder));
            const SLatencyRun& r = arrRuns[i].back();
            std::printf(
                "%d %-18s click to far end: median %6.2f ms, worst %6.2f ms (%d sends); button "
                "back after %6.2f ms%s\n",
                nRound, arrCases[i].pszName, r.dMedianMs, r.dWorstMs, r.nSends, r.dMedianBackMs,
                r.bComplete ? "" : "  INCOMPLETE");
            std::fflush(stdout);
        }
    }
    std::printf("\nmedians of %d rounds (lowest-highest)\n", args.nRounds);
    for (std::size_t i = 0; i < std::size(arrCases); ++i) {
        const SSpread median =
            SpreadOf(arrRuns[i], [](const SLatencyRun& r) { return r.dMedianMs; });
        const SSpread worst = SpreadOf(arrRuns[i], [](const SLatencyRun& r) { return r.dWorstMs; });
        const SSpread back =
            SpreadOf(arrRuns[i], [](const SLatencyRun& r) { return r.dMedianBackMs; });
        std::printf(
            "%-18s median %6.2f ms (%.2f-%.2f) (< 20)  worst %6.2f ms  button back %6.2f ms\n",
            arrCases[i].pszName, median.dMedian, median.dMin, median.dMax, worst.dMedian,
            back.dMedian);
    }
    return 0;
}
