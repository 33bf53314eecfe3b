#include "RxDelivery.h"

#include <QElapsedTimer>

#include "SerialLink.h"

CRxDelivery::CRxDelivery(CSerialLink& link, std::function<void()> fnAfterBatch, QObject* pParent)
    : QObject(pParent), m_link(link), m_fnAfterBatch(std::move(fnAfterBatch)) {
    m_fnNowMs = [clk = std::make_shared<QElapsedTimer>()] {
        if (!clk->isValid()) {
            clk->start();
        }
        return clk->elapsed();
    };
    m_link.SetGatherMs(kIntervalMs);
    connect(&m_notifier, &QSocketNotifier::activated, this, &CRxDelivery::OnWake);
    connect(&m_notifierPrompt, &QSocketNotifier::activated, this, &CRxDelivery::OnPromptWake);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &CRxDelivery::OnTimer);
}

qint64 CRxDelivery::MsSinceDelivered() const {
    return m_nDeliveredAt >= 0 ? m_fnNowMs() - m_nDeliveredAt : kIntervalMs;
}

void CRxDelivery::OnWake() {
    m_notifier.setEnabled(false);
    // The box shows received bytes at most every kIntervalMs: taking them more often would only
    // wake the window more often.
    const qint64 nSince = MsSinceDelivered();
    if (nSince >= kIntervalMs) {
        DeliverPending();
    } else {
        m_timer.start(static_cast<int>(kIntervalMs - nSince));
    }
}

void CRxDelivery::OnTimer() {
    // The pace is the clock's; Qt's coarse timers may fire up to 5 % early.
    const qint64 nSince = MsSinceDelivered();
    if (nSince < kIntervalMs * 19 / 20) {
        m_timer.start(static_cast<int>(kIntervalMs - nSince));
    } else if (m_wake.Clear()) {
        DeliverPending();
    } else {
        m_notifier.setEnabled(true);  // a quiet period: the next notice wakes the window again
    }
}

void CRxDelivery::OnPromptWake() {
    m_wakePrompt.Clear();
    m_link.DeliverPromptNotices();
}

void CRxDelivery::DeliverPending() {
    // Cleared before taking: a notice queued from now on signals it again.
    m_wake.Clear();
    m_nDeliveredAt = m_fnNowMs();
    const bool bMore = m_link.DeliverNotices(kBudgetBytes);
    m_fnAfterBatch();
    if (bMore) {
        QMetaObject::invokeMethod(
            this, [this] { DeliverPending(); }, Qt::QueuedConnection);
    } else {
        m_timer.start(kIntervalMs);
    }
}
