#include "RxDelivery.h"

#include "SerialLink.h"

CRxDelivery::CRxDelivery(CSerialLink& link, std::function<void()> fnAfterBatch, QObject* pParent)
    : QObject(pParent), m_link(link), m_fnAfterBatch(std::move(fnAfterBatch)) {
    connect(&m_notifier, &QSocketNotifier::activated, this, [this] {
        m_wake.Clear();
        DeliverSoon();
    });
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &CRxDelivery::DeliverPending);
}

void CRxDelivery::DeliverSoon() {
    // The box shows received bytes at most every kIntervalMs: taking them more often would only
    // wake the window more often.
    const qint64 nSince = m_clkDelivered.isValid() ? m_clkDelivered.elapsed() : kIntervalMs;
    if (nSince >= kIntervalMs) {
        DeliverPending();
    } else if (!m_timer.isActive()) {
        m_timer.start(static_cast<int>(kIntervalMs - nSince));
    }
}

void CRxDelivery::DeliverPending() {
    m_clkDelivered.start();
    const bool bMore = m_link.DeliverNotices(kBudgetBytes);
    m_fnAfterBatch();
    if (bMore) {
        QMetaObject::invokeMethod(
            this, [this] { DeliverPending(); }, Qt::QueuedConnection);
    }
}
