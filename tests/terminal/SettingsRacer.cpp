// A window that closes on command, for the test of two programs closing at once on one settings
// file. Arguments: the settings file and the racer's number (0 or 1). On stdin, a round number
// makes a window and sets its controls to RacerValues (answer "ready"), then "go <time>" closes it
// at that moment, in milliseconds of the system clock (answer "done"); "quit" or the end of input
// ends the program.
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>

#include "DialogTemplate.h"
#include "SettingsRacer.h"
#include "TerminalDlg.h"

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    if (argc != 3) {
        return 2;
    }
    const std::string strIni = argv[1];
    const int nId = std::atoi(argv[2]);
    std::string strLine;
    while (std::getline(std::cin, strLine) && strLine != "quit") {
        const std::array<int, 7> arrValues = RacerValues(nId, std::stoi(strLine));
        CTerminalDlg dlg(strIni);
        dlg.show();
        QCoreApplication::processEvents();
        const int arrLists[] = {IDC_PORT, IDC_DATABITS, IDC_STOPBITS, IDC_PARITY, IDC_BAUD};
        for (int n = 0; n < 5; ++n) {
            qobject_cast<QComboBox*>(dlg.Control(arrLists[n]))->setCurrentIndex(arrValues[n]);
        }
        const int nFormat = arrValues[5] == 0 ? IDC_FORMAT_TEXT : IDC_FORMAT_HEX;
        qobject_cast<QRadioButton*>(dlg.Control(nFormat))->setChecked(true);
        qobject_cast<QLineEdit*>(dlg.Control(IDC_PERIOD))->setText(QString::number(arrValues[6]));
        std::cout << "ready" << std::endl;
        if (!std::getline(std::cin, strLine) || strLine.rfind("go ", 0) != 0) {
            break;
        }
        std::this_thread::sleep_until(std::chrono::system_clock::time_point(
            std::chrono::milliseconds(std::stoll(strLine.substr(3)))));
        dlg.close();
        std::cout << "done" << std::endl;
    }
    return 0;
}
