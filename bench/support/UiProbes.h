#pragma once
// Clocks that watch a shown window while a stream runs through it, and an event loop that sleeps
// while idle, as the program's own does.
//
// CPaintClock timestamps the paint events of a widget (install it on a scroll area's viewport);
// the worst gap between two of them counts the start and the end of the watch as paints.
//
// CLatencyProbe measures how soon the event loop answers while the stream runs: a single-shot
// timer armed for 50 ms again and again (how late it fires), and, with each firing, a mouse press
// and release posted to a button (the time until its clicked() signal), or a posted call when no
// button is given.
#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

class QAbstractButton;
class QApplication;

using SteadyTime = std::chrono::steady_clock::time_point;

// The application object, on the offscreen platform unless QT_QPA_PLATFORM names another.
std::unique_ptr<QApplication> MakeBenchApp(int& argc, char** argv);

// Runs the event loop until fnDone() or nLimitMs have passed (false then). Unlike
// processEvents(flags, ms), which spins, it sleeps while there is nothing to do.
bool RunEventsUntil(const std::function<bool()>& fnDone, int nLimitMs);

class CPaintClock : public QObject {
public:
    bool eventFilter(QObject* pObject, QEvent* pEvent) override;
    void Start();
    // Paints after tEnd (the stream's end) are left out.
    void Stop(SteadyTime tEnd = std::chrono::steady_clock::now());

    int Paints() const { return m_nPaints; }
    double WorstGapMs() const { return m_dWorstGapMs; }

private:
    SteadyTime m_tStart;
    std::vector<SteadyTime> m_arrPaints;
    double m_dWorstGapMs = 0;
    int m_nPaints = 0;
    bool m_bOn = false;
};

class CLatencyProbe : public QObject {
public:
    explicit CLatencyProbe(QAbstractButton* pButton = nullptr);
    void Start();
    void Stop();

    double WorstTimerLateMs() const { return m_dWorstTimerLateMs; }
    double WorstAnswerMs() const { return m_dWorstAnswerMs; }  // click, or posted call
    int Answers() const { return m_nAnswers; }

private:
    void OnTimer();
    void Answered();

    static constexpr int kPeriodMs = 50;
    QAbstractButton* m_pButton;
    QTimer m_timer;
    SteadyTime m_tArmed;
    SteadyTime m_tPosted;
    bool m_bPosted = false;  // a click on its way
    double m_dWorstTimerLateMs = 0;
    double m_dWorstAnswerMs = 0;
    int m_nAnswers = 0;
    bool m_bOn = false;
};

// What the clocks saw during one stream.
struct SUiFigures {
    int nPaints = 0;
    double dWorstPaintGapMs = 0;
    double dWorstAnswerMs = 0;  // click, or posted call
    double dWorstTimerLateMs = 0;
    int nAnswers = 0;
};
SUiFigures TakeUiFigures(const CPaintClock& paints, const CLatencyProbe* pProbe);
