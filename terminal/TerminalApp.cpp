#include "TerminalApp.h"

#include "Fonts.h"
#include "IniFile.h"
#include "QtChinese.h"
#include "Resources.h"
#include "TerminalDlg.h"
#include "Version.h"

CTerminalApp::CTerminalApp(int& argc, char** argv)
    : QApplication(argc, argv),
      m_strIniPath(CIniFile::SettingsPathFor(argc > 0 ? argv[0] : nullptr)) {
    setApplicationName(QStringLiteral("diVE"));
    setApplicationVersion(QString::fromLatin1(kVersion));
    // Message boxes and the about box are windows of their own: they take the application's font.
    setFont(DialogFont());
    setWindowIcon(AppIcon());
    InstallQtChinese(*this);
}

bool CTerminalApp::InitInstance(const SCommandLine& cmd) {
    CTerminalDlg dlg(m_strIniPath);
    dlg.SetRunOptions(cmd);
    dlg.exec();
    return false;
}
