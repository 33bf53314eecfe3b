// The reference of the start-up benchmark: the least a Qt Widgets program does to show a window
// of the main window's size.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("plain"));
    window.resize(675, 473);
    window.show();
    return QApplication::exec();
}
