#include "UiProbes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QMouseEvent>
#include <algorithm>
#include <cstdlib>

namespace {
double Ms(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}
}  // namespace

std::unique_ptr<QApplication> MakeBenchApp(int& argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    return std::make_unique<QApplication>(argc, argv);
}

bool RunEventsUntil(const std::function<bool()>& fnDone, int nLimitMs) {
    QTimer limit;  // its expiry also wakes the loop
    limit.setSingleShot(true);
    limit.start(nLimitMs);
    while (!fnDone()) {
        if (!limit.isActive()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

bool CPaintClock::eventFilter(QObject* pObject, QEvent* pEvent) {
    if (m_bOn && pEvent->type() == QEvent::Paint) {
        m_arrPaints.push_back(std::chrono::steady_clock::now());
    }
    return QObject::eventFilter(pObject, pEvent);
}

void CPaintClock::Start() {
    m_arrPaints.clear();
    m_arrPaints.reserve(4096);
    m_tStart = std::chrono::steady_clock::now();
    m_bOn = true;
}

void CPaintClock::Stop(SteadyTime tEnd) {
    m_bOn = false;
    m_nPaints = 0;
    m_dWorstGapMs = 0;
    SteadyTime tLast = m_tStart;
    for (const SteadyTime& t : m_arrPaints) {
        if (t > tEnd) {
            break;
        }
        m_dWorstGapMs = std::max(m_dWorstGapMs, Ms(t - tLast));
        tLast = t;
        ++m_nPaints;
    }
    // The wait since the last paint counts too: a box that stopped painting has a long gap.
    m_dWorstGapMs = std::max(m_dWorstGapMs, Ms(tEnd - tLast));
}

CLatencyProbe::CLatencyProbe(QAbstractButton* pButton) : m_pButton(pButton) {
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &CLatencyProbe::OnTimer);
    if (m_pButton != nullptr) {
        connect(m_pButton, &QAbstractButton::clicked, this, &CLatencyProbe::Answered);
    }
}

void CLatencyProbe::Start() {
    m_dWorstTimerLateMs = 0;
    m_dWorstAnswerMs = 0;
    m_nAnswers = 0;
    m_bPosted = false;
    m_bOn = true;
    m_tArmed = std::chrono::steady_clock::now();
    m_timer.start(kPeriodMs);
}

void CLatencyProbe::Stop() {
    m_bOn = false;
    m_timer.stop();
    // A click still on its way when the stream ends has waited at least this long.
    if (m_bPosted) {
        m_dWorstAnswerMs =
            std::max(m_dWorstAnswerMs, Ms(std::chrono::steady_clock::now() - m_tPosted));
    }
}

void CLatencyProbe::OnTimer() {
    if (!m_bOn) {
        return;
    }
    const SteadyTime tNow = std::chrono::steady_clock::now();
    m_dWorstTimerLateMs = std::max(m_dWorstTimerLateMs, Ms(tNow - m_tArmed) - kPeriodMs);
    if (!m_bPosted) {
        m_bPosted = true;
        m_tPosted = tNow;
        if (m_pButton != nullptr) {
            const QPointF pos = QRectF(m_pButton->rect()).center();
            const QPointF global = m_pButton->mapToGlobal(pos);
            for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
                const Qt::MouseButtons buttons =
                    type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
                QCoreApplication::postEvent(
                    m_pButton,
                    new QMouseEvent(type, pos, global, Qt::LeftButton, buttons, Qt::NoModifier));
            }
        } else {
            QMetaObject::invokeMethod(
                this, [this] { Answered(); }, Qt::QueuedConnection);
        }
    }
    m_tArmed = std::chrono::steady_clock::now();
    m_timer.start(kPeriodMs);
}

void CLatencyProbe::Answered() {
    if (!m_bPosted) {
        return;
    }
    m_dWorstAnswerMs = std::max(m_dWorstAnswerMs, Ms(std::chrono::steady_clock::now() - m_tPosted));
    m_bPosted = false;
    ++m_nAnswers;
}

SUiFigures TakeUiFigures(const CPaintClock& paints, const CLatencyProbe* pProbe) {
    SUiFigures figures;
    figures.nPaints = paints.Paints();
    figures.dWorstPaintGapMs = paints.WorstGapMs();
    if (pProbe != nullptr) {
        figures.dWorstAnswerMs = pProbe->WorstAnswerMs();
        figures.dWorstTimerLateMs = pProbe->WorstTimerLateMs();
        figures.nAnswers = pProbe->Answers();
    }
    return figures;
}
