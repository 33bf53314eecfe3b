#include "WarmUp.h"

#include <dlfcn.h>
#include <fontconfig/fontconfig.h>

#include <QByteArray>
#include <QFile>
#include <QLibraryInfo>
#include <QString>

namespace {

// The platform plugin that QGuiApplication will load: the one QT_QPA_PLATFORM names, else the
// X11 one, unless the session is Wayland's (where the choice is left to Qt); empty for none.
QString PlatformPluginPath() {
    QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform.isEmpty()) {
        if (qgetenv("XDG_SESSION_TYPE") == "wayland") {
            return {};
        }
        platform = "xcb";
    }
    platform = platform.split(';').first().split(':').first();
    return QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms/libq") +
           QString::fromLocal8Bit(platform) + QStringLiteral(".so");
}

}  // namespace

CWarmUp::CWarmUp() {
    m_thread = std::thread([] {
        const QString strPlugin = PlatformPluginPath();
        if (!strPlugin.isEmpty()) {
            // Kept loaded: Qt's own load of the plugin then finds it mapped and relocated.
            dlopen(QFile::encodeName(strPlugin).constData(), RTLD_LAZY);
        }
        FcInit();
    });
}

CWarmUp::~CWarmUp() {
    Finish();
}

void CWarmUp::Finish() {
    if (m_thread.joinable()) {
        m_thread.join();
    }
}
