// diVE: a serial-port debugging terminal.
#include "TerminalApp.h"

int main(int argc, char** argv) {
    CTerminalApp app(argc, argv);
    app.InitInstance();
    return 0;
}
