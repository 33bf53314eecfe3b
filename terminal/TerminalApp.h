#pragma once
// CTerminalApp: the application. It finds the settings file beside the program, runs the main
// window, and the program ends when that window has closed.
#include <QApplication>
#include <string>
#include <thread>

#include "CommandLine.h"

class CWarmUp;

class CTerminalApp : public QApplication {
    Q_OBJECT
public:
    // argc is kept by reference, as QApplication requires. A warm-up begun before is waited for
    // before the fonts are loaded.
    CTerminalApp(int& argc, char** argv, CWarmUp* pWarmUp = nullptr);
    ~CTerminalApp() override;

    // Runs the main window, with what the command line sets for this run, until it closes;
    // false: there is no further event loop to run.
    bool InitInstance(const SCommandLine& cmd = {});
    const std::string& IniPath() const { return m_strIniPath; }

private:
    std::string m_strIniPath;
    std::thread m_busConnect;  // connects to the session bus early (see the constructor)
};
