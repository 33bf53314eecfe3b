#include "TerminalApp.h"

#include <QDBusConnection>
#include <QFontMetrics>
#include <future>

#include "Fonts.h"
#include "IniFile.h"
#include "QtChinese.h"
#include "Resources.h"
#include "TerminalDlg.h"
#include "Version.h"
#include "WarmUp.h"

CTerminalApp::CTerminalApp(int& argc, char** argv, CWarmUp* pWarmUp)
    : QApplication(argc, argv),
      m_strIniPath(CIniFile::SettingsPathFor(argc > 0 ? argv[0] : nullptr)) {
    setApplicationName(QStringLiteral("diVE"));
    setApplicationVersion(QString::fromLatin1(kVersion));
    // The accessibility bridge connects to the session bus when the first control is named and
    // waits for the connection (where no bus runs yet, until one has been launched). Made here, on
    // a thread of its own, the connection overlaps the loading of the fonts below.
    m_busConnect = std::thread([] { QDBusConnection::sessionBus(); });
    // The icon and the pictures of the closed window are drawn meanwhile too, into images,
    // which needs no window system. (The warm-up has indexed the settings file.)
    auto ahead = std::async(std::launch::async, [] {
        return std::make_pair(
            AppIconImages(),
            DrawPictures({IDB_POWER_OFF, IDB_RING_OFF, IDB_CD_OFF, IDB_CTS_OFF, IDB_DSR_OFF}));
    });
    if (pWarmUp != nullptr) {
        pWarmUp->FinishFonts();
    }
    // Message boxes and the about box are windows of their own: they take the application's font.
    setFont(DialogFont());
    QFontMetrics(font()).height();  // the font database and the dialogs' font, loaded now
    auto [arrIcon, mapPictures] = ahead.get();
    setWindowIcon(AppIcon(arrIcon));
    KeepPictures(std::move(mapPictures));
    InstallQtChinese(*this);
}

CTerminalApp::~CTerminalApp() {
    m_busConnect.join();
}

bool CTerminalApp::InitInstance(const SCommandLine& cmd) {
    CTerminalDlg dlg(m_strIniPath);
    dlg.SetRunOptions(cmd);
    dlg.exec();
    return false;
}
