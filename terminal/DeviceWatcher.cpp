#include "DeviceWatcher.h"

#include <QDir>

namespace {
constexpr int kSettleMs = 300;
}

CDeviceWatcher::CDeviceWatcher(const QString& strRoot, QObject* pParent)
    : QObject(pParent), m_strRoot(strRoot) {
    m_timerSettle.setSingleShot(true);
    m_timerSettle.setInterval(kSettleMs);
    connect(&m_timerSettle, &QTimer::timeout, this, [this] {
        WatchFolders();
        emit DevicesChanged();
    });
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this,
            [this] { m_timerSettle.start(); });
    WatchFolders();
}

void CDeviceWatcher::WatchFolders() {
    const QDir root(m_strRoot);
    for (const char* pszFolder : {"dev", "dev/serial", "dev/serial/by-id"}) {
        const QString strPath = root.filePath(QString::fromLatin1(pszFolder));
        if (!m_watcher.directories().contains(strPath) && QDir(strPath).exists()) {
            m_watcher.addPath(strPath);
        }
    }
}
