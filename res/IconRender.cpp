// dive_icon_render OUTDIR SIZE...: renders the application icon at the given sizes into
// OUTDIR/<size>x<size>/apps/dive.png, the layout of the hicolor icon theme. Run at build time,
// so the installed icons are the program's own drawing.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <cstdio>

#include "Pictures.h"

int main(int argc, char** argv) {
    // Nothing is shown: no display is needed.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 3) {
        std::fputs("usage: dive_icon_render OUTDIR SIZE...\n", stderr);
        return 2;
    }
    const QString strOut = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i < argc; ++i) {
        const int nSize = QString::fromLatin1(argv[i]).toInt();
        const QString strDir = QStringLiteral("%1/%2x%2/apps").arg(strOut).arg(nSize);
        if (nSize <= 0 || !QDir().mkpath(strDir) ||
            !DrawAppIcon(nSize).save(strDir + QStringLiteral("/dive.png"), "PNG")) {
            std::fprintf(stderr, "dive_icon_render: cannot render %s\n", argv[i]);
            return 1;
        }
    }
    return 0;
}
