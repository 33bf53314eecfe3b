#include "Reconnector.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

namespace {
// Coming back and going away again within this long counts as one spell of a failing device.
constexpr int kSteadyMs = 2000;
}  // namespace

CReconnector::CReconnector(QObject* pParent) : QObject(pParent) {
    m_timerRetry.setSingleShot(true);
    connect(&m_timerRetry, &QTimer::timeout, this, &CReconnector::Look);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &CReconnector::Look);
}

void CReconnector::Start(const SDeviceIdentity& identity, const std::string& strRoot,
                         TryOpen fnTry) {
    Stop();
    m_identity = identity;
    m_strRoot = strRoot;
    m_fnTry = std::move(fnTry);
    m_bWaiting = true;
    m_bHolderNamed = false;
    // A link left dangling still tells the folder its node will come back in (/dev/pts).
    std::error_code ec;
    const fs::path path(identity.strPath);
    const fs::path target = fs::read_symlink(path, ec);
    m_strTargetFolder = ec ? std::string() : (path.parent_path() / target).parent_path().string();
    const bool bFlapping = m_clkSinceOpened.isValid() && m_clkSinceOpened.elapsed() < kSteadyMs;
    m_nDelayMs = bFlapping ? std::min(m_nDelayMs * 2, kMaxDelayMs) : kFirstDelayMs;
    WatchFolders();
    m_timerRetry.start(m_nDelayMs);
}

void CReconnector::Stop() {
    m_bWaiting = false;
    m_bPending = false;
    m_timerRetry.stop();
    const QStringList arrFolders = m_watcher.directories();
    if (!arrFolders.isEmpty()) {
        m_watcher.removePaths(arrFolders);
    }
}

void CReconnector::WatchFolders() {
    const QDir root(QString::fromStdString(m_strRoot));
    QStringList arrWanted = {root.filePath(QStringLiteral("dev")),
                             root.filePath(QStringLiteral("dev/serial")),
                             root.filePath(QStringLiteral("dev/serial/by-id")),
                             QFileInfo(QString::fromStdString(m_identity.strPath)).path()};
    if (!m_strTargetFolder.empty()) {
        arrWanted << QString::fromStdString(m_strTargetFolder);
    }
    const QStringList arrWatched = m_watcher.directories();
    for (const QString& strFolder : arrWanted) {
        // Folders that appear later (by-id with the first adapter) are added at a later look.
        if (!arrWatched.contains(strFolder) && QFileInfo(strFolder).isDir()) {
            m_watcher.addPath(strFolder);
        }
    }
}

void CReconnector::Look() {
    if (!m_bWaiting || m_bLooking || m_bPending) {
        return;
    }
    m_bLooking = true;
    WatchFolders();
    STry result;
    if (const std::string strPath = CDeviceIdentity(m_strRoot).Find(m_identity); !strPath.empty()) {
        result = m_fnTry(strPath);
    }
    m_bLooking = false;
    if (result.eResult == EResult::Pending) {
        m_bPending = m_bWaiting;
        return;
    }
    LookEnded(result);
}

void CReconnector::TryEnded(const STry& result) {
    if (m_bPending) {
        m_bPending = false;
        LookEnded(result);
    }
}

void CReconnector::LookEnded(const STry& result) {
    if (result.eResult == EResult::Opened) {
        Stop();
        m_clkSinceOpened.start();
        return;
    }
    if (!m_bWaiting) {
        return;  // stopped meanwhile
    }
    if (result.eResult == EResult::Busy && !m_bHolderNamed) {
        m_bHolderNamed = true;
        emit Held(QString::fromStdString(result.strHolder));
    }
    m_nDelayMs = std::min(m_nDelayMs * 2, kMaxDelayMs);
    m_timerRetry.start(m_nDelayMs);
}
