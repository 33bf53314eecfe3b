// diVE: a serial-port debugging terminal.
#include <cstdio>

#include "CommandLine.h"
#include "IniFile.h"
#include "TerminalApp.h"
#include "WarmUp.h"

namespace {

void Print(std::FILE* pStream, const QString& strText) {
    const QByteArray text = strText.toUtf8();
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), pStream);
}

}  // namespace

int main(int argc, char** argv) {
    // The command line is answered before any window system is asked for: --help, --version,
    // --list and bad arguments work without a display.
    QStringList arrArgs;
    for (int i = 1; i < argc; ++i) {
        arrArgs << QString::fromLocal8Bit(argv[i]);
    }
    const SCommandLine cmd = ParseCommandLine(arrArgs);
    switch (cmd.action) {
        case SCommandLine::EAction::Help:
            Print(stdout, CommandLineHelp());
            return 0;
        case SCommandLine::EAction::Version:
            Print(stdout, CommandLineVersion() + QLatin1Char('\n'));
            return 0;
        case SCommandLine::EAction::Error:
            Print(stderr, QStringLiteral("dive: ") +
                              QString(cmd.strError).replace('\n', QStringLiteral("\ndive: ")) +
                              QStringLiteral("\n用法见 / see: dive --help\n"));
            return kBadArgumentsExit;
        case SCommandLine::EAction::List:
            Print(stdout, FormatPortList(CPortInfo().DescribePorts(
                              CIniFile::SettingsPathFor(argc > 0 ? argv[0] : nullptr))));
            return 0;
        case SCommandLine::EAction::Run:
            break;
    }
    CWarmUp warmUp(CIniFile::SettingsPathFor(argc > 0 ? argv[0] : nullptr));
    CTerminalApp app(argc, argv, &warmUp);
    app.InitInstance(cmd);
    return 0;
}
