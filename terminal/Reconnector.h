#pragma once
// CReconnector: waits for a lost device to come back (the same device, CDeviceIdentity) and hands
// its path to the window, which reopens it with the same settings.
//
// Waiting is idle: it watches the folders where the device's node and links appear (<root>/dev,
// its by-id folder, the folder of the path the port was opened by and of the node that path led
// to) and looks the moment one changes. Besides, it looks again after growing delays (100 ms,
// doubling, at most every 2 s), for what no folder tells (a device that is there but not yet
// usable: its permissions not yet set, held by another program, waking from sleep). The first
// look comes after the first delay, so the node that just died is not taken for the new one.
// A device that goes away again within 2 s of coming back (a failing adapter) is waited for
// with the delay grown on, so that it cannot make the window spin.
// A try may run on without the window waiting for it (a port on another machine connects on a
// thread of its own): it then answers Pending and reports its end through TryEnded; no other try
// starts meanwhile.
#include <QElapsedTimer>
#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <string>

#include "DeviceIdentity.h"

class CReconnector : public QObject {
    Q_OBJECT
public:
    enum class EResult { Opened, Busy, Failed, Pending };
    struct STry {
        EResult eResult = EResult::Failed;
        std::string strHolder;  // Busy: who holds the device, "" when unknown
    };
    // Opens the device at a path; runs on the window's thread.
    using TryOpen = std::function<STry(const std::string& strPath)>;

    static constexpr int kFirstDelayMs = 100;
    static constexpr int kMaxDelayMs = 2000;

    explicit CReconnector(QObject* pParent = nullptr);

    // Starts waiting for the device; strRoot stands for "/".
    void Start(const SDeviceIdentity& identity, const std::string& strRoot, TryOpen fnTry);
    void Stop();
    bool IsWaiting() const { return m_bWaiting; }
    // The end of a try that answered Pending; ignored when the wait stopped meanwhile.
    void TryEnded(const STry& result);

signals:
    // The device is back but another program holds it ("" when unknown); once per wait.
    void Held(const QString& strHolder);

private:
    void Look();
    void LookEnded(const STry& result);
    void WatchFolders();

    QFileSystemWatcher m_watcher;
    QTimer m_timerRetry;
    QElapsedTimer m_clkSinceOpened;  // since the last reopen
    SDeviceIdentity m_identity;
    std::string m_strRoot;
    std::string m_strTargetFolder;  // where the opened path's link led, when it was one
    TryOpen m_fnTry;
    int m_nDelayMs = kFirstDelayMs;
    bool m_bWaiting = false;
    bool m_bHolderNamed = false;
    bool m_bLooking = false;
    bool m_bPending = false;  // a try runs on (Pending)
};
