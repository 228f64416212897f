// Renders the program icon, as the window draws it, to PNG files for the
// desktop's icon theme: tiltscope_icon SIZE FILE [SIZE FILE]...
#include <QGuiApplication>
#include <QImage>
#include <QString>
#include <cstdio>

#include "BackgroundArt.h"

int main(int argc, char** argv) {
    if (argc < 3 || argc % 2 == 0) {
        std::fprintf(stderr, "usage: tiltscope_icon SIZE FILE [SIZE FILE]...\n");
        return 2;
    }
    // A build machine has no display; drawing into an image needs none.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    for (int i = 1; i + 1 < argc; i += 2) {
        bool ok = false;
        const int size = QString::fromLocal8Bit(argv[i]).toInt(&ok);
        if (!ok || size < 16 || size > 1024) {
            std::fprintf(stderr, "tiltscope_icon: bad size '%s'\n", argv[i]);
            return 2;
        }
        if (!DrawProgramIcon(size).save(QString::fromLocal8Bit(argv[i + 1]), "PNG")) {
            std::fprintf(stderr, "tiltscope_icon: cannot write %s\n", argv[i + 1]);
            return 1;
        }
    }
    return 0;
}
