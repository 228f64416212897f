#include <signal.h>

#include <QApplication>

#include "TiltwiseApp.h"

int main(int argc, char** argv) {
    // A recording that reaches the file-size limit must see EFBIG and go on in
    // a new file; the default action would end the program with its rows.
    ::signal(SIGXFSZ, SIG_IGN);
    QApplication application(argc, argv);
    CTiltwiseApp app(QApplication::arguments());
    return app.Run();
}
