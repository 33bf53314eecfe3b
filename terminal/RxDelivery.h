#pragma once
// CRxDelivery: brings the engine's notices to the window's thread. The engine's threads call
// Wake() (from ISerialOwner::OnNoticesPending), which only signals an eventfd: nothing made on
// their side is handed over, and a burst of wakes costs one delivery. The notices are taken with
// CSerialLink::DeliverNotices() in batches, posting the next batch so that the event loop runs in
// between.
//
// Pacing. The first notices after a quiet spell are taken as soon as the socket notifier sees the
// eventfd (unless a batch was taken less than kIntervalMs ago). From then on, while bytes stream,
// the notifier is off and a timer looks at the eventfd every kIntervalMs (the receive box's
// refresh period): the window's thread wakes once a period whatever the rate, not once per read.
// A period without notices turns the notifier back on. The engine is told that the bytes are
// taken that often, so that its watcher gathers a paced stream into as few reads.
//
// Prompt notices. The pace is for received bytes and what paints them. The transmit-empty notice
// and the status-line changes (the auto-send timer, the send buttons and the lamps follow them)
// come through a second eventfd, WakePrompt(), whose notifier is always on: they are taken at
// once with CSerialLink::DeliverPromptNotices(), ahead of the bytes.
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <cstddef>
#include <functional>

#include "ReceiveView.h"
#include "WakeEvent.h"

class CSerialLink;

class CRxDelivery : public QObject {
    Q_OBJECT
public:
    // A received-bytes budget per batch: small enough that the event loop runs (and a click is
    // answered) between batches even at the highest rates, large enough to keep the overhead low.
    static constexpr std::size_t kBudgetBytes = 64 * 1024;
    // A paced stream is taken at most this often, once per refresh of the receive box; a backlog
    // is taken batch after batch.
    static constexpr int kIntervalMs = CReceiveView::kRefreshMs;

    // Milliseconds on a monotonic clock.
    using Clock = std::function<qint64()>;

    // fnAfterBatch runs on the window's thread after each batch of received bytes.
    CRxDelivery(CSerialLink& link, std::function<void()> fnAfterBatch, QObject* pParent = nullptr);

    void Wake() { m_wake.Signal(); }              // any thread; never blocks
    void WakePrompt() { m_wakePrompt.Signal(); }  // any thread; never blocks
    // The clock that paces received bytes (tests hold it still or move it on).
    void SetClock(Clock fnNowMs) { m_fnNowMs = std::move(fnNowMs); }

private:
    void OnWake();
    void OnTimer();
    void OnPromptWake();
    void DeliverPending();
    qint64 MsSinceDelivered() const;

    CSerialLink& m_link;
    std::function<void()> m_fnAfterBatch;
    Clock m_fnNowMs;
    QTimer m_timer{this};        // the next look while bytes stream
    qint64 m_nDeliveredAt = -1;  // m_fnNowMs() at the last batch; -1: none yet
    CWakeEvent m_wake;
    QSocketNotifier m_notifier{m_wake.Fd(), QSocketNotifier::Read, this};  // on while quiet
    CWakeEvent m_wakePrompt;
    QSocketNotifier m_notifierPrompt{m_wakePrompt.Fd(), QSocketNotifier::Read, this};
};
