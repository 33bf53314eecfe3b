// The references of the start-up benchmark: the least a Qt Widgets program does to show a window
// of the main window's size; started under a name ending in "-label", the window also shows one
// line of Chinese text, so that the fonts are loaded as in the main window.
#include <QApplication>
#include <QLabel>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("plain"));
    window.resize(675, 473);
    if (argc > 0 && QString::fromLocal8Bit(argv[0]).endsWith(QStringLiteral("-label"))) {
        auto* pLabel = new QLabel(QStringLiteral("串口调试终端 diVE"), &window);
        pLabel->move(20, 20);
    }
    window.show();
    return QApplication::exec();
}
