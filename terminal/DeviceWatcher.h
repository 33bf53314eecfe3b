#pragma once
// CDeviceWatcher: tells when serial adapters are plugged in or out. It watches <root>/dev and
// <root>/dev/serial/by-id (inotify, through QFileSystemWatcher) and reports once a burst of
// changes has settled: udev creates the by-id links a moment after the device node.
#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

class CDeviceWatcher : public QObject {
    Q_OBJECT
public:
    explicit CDeviceWatcher(const QString& strRoot = QStringLiteral("/"),
                            QObject* pParent = nullptr);

signals:
    void DevicesChanged();

private:
    void WatchFolders();  // folders that appeared since (/dev/serial/by-id with the first adapter)

    QString m_strRoot;
    QFileSystemWatcher m_watcher;
    QTimer m_timerSettle;
};
