#include "RxDelivery.h"

#include "SerialLink.h"

CRxDelivery::CRxDelivery(CSerialLink& link, std::function<void()> fnAfterBatch, QObject* pParent)
    : QObject(pParent), m_link(link), m_fnAfterBatch(std::move(fnAfterBatch)) {
    m_link.SetGatherMs(kIntervalMs);
    connect(&m_notifier, &QSocketNotifier::activated, this, &CRxDelivery::OnWake);
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &CRxDelivery::OnTimer);
}

void CRxDelivery::OnWake() {
    m_notifier.setEnabled(false);
    // The box shows received bytes at most every kIntervalMs: taking them more often would only
    // wake the window more often.
    const qint64 nSince = m_clkDelivered.isValid() ? m_clkDelivered.elapsed() : kIntervalMs;
    if (nSince >= kIntervalMs) {
        DeliverPending();
    } else {
        m_timer.start(static_cast<int>(kIntervalMs - nSince));
    }
}

void CRxDelivery::OnTimer() {
    if (m_wake.Clear()) {
        DeliverPending();
    } else {
        m_notifier.setEnabled(true);  // a quiet period: the next notice wakes the window again
    }
}

void CRxDelivery::DeliverPending() {
    // Cleared before taking: a notice queued from now on signals it again.
    m_wake.Clear();
    m_clkDelivered.start();
    const bool bMore = m_link.DeliverNotices(kBudgetBytes);
    m_fnAfterBatch();
    if (bMore) {
        QMetaObject::invokeMethod(
            this, [this] { DeliverPending(); }, Qt::QueuedConnection);
    } else {
        m_timer.start(kIntervalMs);
    }
}
