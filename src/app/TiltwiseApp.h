#pragma once

#include <QLocale>
#include <QStringList>
#include <string>

#include "DialogTemplate.h"

// The application object: starts the skin, decides the language once, runs the
// main window modally and ends with it.
class CTiltwiseApp {
public:
    // `desktop` is the desktop's locale, which decides the language while the
    // settings file names none.
    explicit CTiltwiseApp(QStringList arguments, QLocale desktop = QLocale::system());
    // The whole life of the process after QApplication exists; returns the exit code.
    int Run();

    // 2052 when the desktop's language is Chinese, else 1033.
    int SystemLanguageId() const;

private:
    QStringList arguments_;
    QLocale desktop_;
};
