#pragma once
// CRxDelivery: brings the engine's notices to the window's thread. The engine's threads call
// Wake() (from ISerialOwner::OnNoticesPending), which only signals an eventfd that a socket
// notifier on this thread watches: nothing made on their side is handed over, and a burst of
// wakes costs one delivery. The notices are then taken with CSerialLink::DeliverNotices() in
// batches, posting the next batch so that the event loop runs in between; after a batch that
// emptied the queue the next one waits until kIntervalMs have passed since it (the receive box's
// refresh period), so a paced stream wakes the window about 30 times a second, not once per read.
#include <QElapsedTimer>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <cstddef>
#include <functional>

#include "WakeEvent.h"

class CSerialLink;

class CRxDelivery : public QObject {
    Q_OBJECT
public:
    // A received-bytes budget per batch: small enough that the event loop runs (and a click is
    // answered) between batches even at the highest rates, large enough to keep the overhead low.
    static constexpr std::size_t kBudgetBytes = 64 * 1024;
    // A paced stream is taken at most this often; a backlog is taken batch after batch.
    static constexpr int kIntervalMs = 33;

    // fnAfterBatch runs on the window's thread after each batch.
    CRxDelivery(CSerialLink& link, std::function<void()> fnAfterBatch, QObject* pParent = nullptr);

    void Wake() { m_wake.Signal(); }  // any thread; never blocks

private:
    void DeliverSoon();
    void DeliverPending();

    CSerialLink& m_link;
    std::function<void()> m_fnAfterBatch;
    QTimer m_timer;  // the next batch of a paced stream
    QElapsedTimer m_clkDelivered;
    CWakeEvent m_wake;
    QSocketNotifier m_notifier{m_wake.Fd(), QSocketNotifier::Read};
};
