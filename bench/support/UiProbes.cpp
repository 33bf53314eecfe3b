#include "UiProbes.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QMouseEvent>
#include <algorithm>

bool CPaintClock::eventFilter(QObject* pObject, QEvent* pEvent) {
    if (m_bOn && pEvent->type() == QEvent::Paint) {
        const double dNow = static_cast<double>(m_clock.nsecsElapsed()) / 1e6;
        m_dWorstGapMs = std::max(m_dWorstGapMs, dNow - m_dLastMs);
        m_dLastMs = dNow;
        ++m_nPaints;
    }
    return QObject::eventFilter(pObject, pEvent);
}

void CPaintClock::Start() {
    m_clock.start();
    m_dLastMs = 0;
    m_dWorstGapMs = 0;
    m_nPaints = 0;
    m_bOn = true;
}

void CPaintClock::Stop() {
    // The wait since the last paint counts too: a box that stopped painting has a long gap.
    const double dNow = static_cast<double>(m_clock.nsecsElapsed()) / 1e6;
    m_dWorstGapMs = std::max(m_dWorstGapMs, dNow - m_dLastMs);
    m_bOn = false;
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
    m_clock.start();
    m_dWorstTimerLateMs = 0;
    m_dWorstAnswerMs = 0;
    m_nAnswers = 0;
    m_nPostedNs = -1;
    m_bOn = true;
    m_nArmedNs = m_clock.nsecsElapsed();
    m_timer.start(kPeriodMs);
}

void CLatencyProbe::Stop() {
    m_bOn = false;
    m_timer.stop();
    // A click still on its way when the stream ends has waited at least this long.
    if (m_nPostedNs >= 0) {
        m_dWorstAnswerMs = std::max(
            m_dWorstAnswerMs, static_cast<double>(m_clock.nsecsElapsed() - m_nPostedNs) / 1e6);
    }
}

void CLatencyProbe::OnTimer() {
    if (!m_bOn) {
        return;
    }
    const qint64 nNow = m_clock.nsecsElapsed();
    m_dWorstTimerLateMs =
        std::max(m_dWorstTimerLateMs, static_cast<double>(nNow - m_nArmedNs) / 1e6 - kPeriodMs);
    if (m_nPostedNs < 0) {
        m_nPostedNs = nNow;
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
    m_nArmedNs = m_clock.nsecsElapsed();
    m_timer.start(kPeriodMs);
}

void CLatencyProbe::Answered() {
    if (m_nPostedNs < 0) {
        return;
    }
    m_dWorstAnswerMs =
        std::max(m_dWorstAnswerMs, static_cast<double>(m_clock.nsecsElapsed() - m_nPostedNs) / 1e6);
    m_nPostedNs = -1;
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
