#include <QApplication>

#include "TiltwiseApp.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    CTiltwiseApp app(QApplication::arguments());
    return app.Run();
}
