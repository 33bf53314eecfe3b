# The Qt Widgets headers that nearly every file of a window library reads, compiled once per
# library: they are most of each file's compile time.
function(dive_qt_precompiled_headers target)
    target_precompile_headers(${target} PRIVATE
        <QApplication> <QPainter> <QWidget> <QString> <QTimer> <QImage> <QFont>
        <QTextDocument> <QTextCursor> <QLineEdit> <QPushButton> <QMouseEvent> <QKeyEvent>)
endfunction()
