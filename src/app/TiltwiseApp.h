#pragma once

#include <QStringList>
#include <string>

#include "DialogTemplate.h"

// The application object: starts the skin, decides the language once, runs the
// main window modally and ends with it.
class CTiltwiseApp {
public:
    explicit CTiltwiseApp(QStringList arguments);
    // The whole life of the process after QApplication exists; returns the exit code.
    int Run();

    // 2052 when the desktop's language is Chinese (China), else 1033.
    static int SystemLanguageId();

private:
    QStringList arguments_;
};

// The language table: flag 0 Chinese / picture 197, flag 1 English / picture 199.
Language LanguageForFlag(int languageFlag);
int BackgroundPictureForFlag(int languageFlag);
