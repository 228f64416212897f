#include "TiltwiseApp.h"

#include <QApplication>
#include <QEventLoop>
#include <QLocale>
#include <QTimer>
#include <cstdio>

#include "BackgroundArt.h"
#include "DialogUnits.h"
#include "IniFile.h"
#include "QtPlatform.h"
#include "Serialport.h"
#include "Settings.h"
#include "SkinAdapter.h"
#include "TiltwiseDlg.h"

Language LanguageForFlag(int languageFlag) {
    return languageFlag == 0 ? Language::Chinese : Language::English;
}

int BackgroundPictureForFlag(int languageFlag) {
    return languageFlag == 0 ? kChineseBackgroundId : kEnglishBackgroundId;
}

CTiltwiseApp::CTiltwiseApp(QStringList arguments) : arguments_(std::move(arguments)) {}

int CTiltwiseApp::SystemLanguageId() {
    return QLocale::system().name() == QStringLiteral("zh_CN") ? 2052 : 1033;
}

int CTiltwiseApp::Run() {
    // The one serial channel lives from start to end of the process.
    CSerialPort serialPort;

    CSkinAdapter skin;
    skin.Start(nullptr, "SCRIBBLE", nullptr, nullptr);
    skin.LoadSkinFile("../config/QVR.smf");
    InstallFontSubstitutions();

    const CIniFile ini;
    int languageFlag = LanguageFlagFromConfig(ini, SystemLanguageId());

    QtMessageSink messages;
    QtUrlOpener urls;
    DialogContext context;
    context.language = LanguageForFlag(languageFlag);
    context.languageFlag = &languageFlag;
    context.backgroundPicture = BackgroundPictureForFlag(languageFlag);
    context.ini = &ini;
    context.messages = &messages;
    context.urls = &urls;
    context.skin = &skin;
    context.executablePath = QCoreApplication::applicationFilePath().toStdString();
    QtFolderPicker folders;
    context.folders = &folders;
    context.port = &serialPort;
    context.discoverPorts = [] { return PortMap().Discover(PosixPortFileSystem()); };

    const int shot = arguments_.indexOf(QStringLiteral("--screenshot"));
    {
        CTiltwiseDlg dialog(context);
        dialog.InitWindow();
        if (shot >= 0) {
            if (shot + 1 >= arguments_.size()) {
                std::fprintf(stderr, "tiltscope: --screenshot needs a file name\n");
                return 2;
            }
            dialog.show();
            // --screenshot-delay MS lets the window run (and the sensor talk) first.
            const int delayAt = arguments_.indexOf(QStringLiteral("--screenshot-delay"));
            const int delayMs = delayAt >= 0 && delayAt + 1 < arguments_.size()
                                    ? arguments_.at(delayAt + 1).toInt()
                                    : 0;
            if (delayMs > 0) {
                QEventLoop wait;
                QTimer::singleShot(delayMs, &wait, &QEventLoop::quit);
                wait.exec();
            }
            QApplication::processEvents();
            const QString file = arguments_.at(shot + 1);
            if (!dialog.grab().save(file, "PNG")) {
                std::fprintf(stderr, "tiltscope: cannot write %s\n", qPrintable(file));
                return 1;
            }
        } else {
            dialog.exec();
        }
    }
    skin.Shutdown();
    return 0;
}
