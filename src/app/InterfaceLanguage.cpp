#include "InterfaceLanguage.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <cstdio>

#include "IniFile.h"
#include "Settings.h"

Language LanguageForFlag(int languageFlag) {
    return languageFlag == 0 ? Language::Chinese : Language::English;
}

int BackgroundPictureForFlag(int languageFlag) {
    return languageFlag == 0 ? kChineseBackgroundId : kEnglishBackgroundId;
}

int DesktopLanguageId(const QLocale& desktop) {
    return desktop.language() == QLocale::Chinese ? 2052 : 1033;
}

StartLanguage ChooseStartLanguage(const CIniFile& ini, const QLocale& desktop) {
    StartLanguage start;
    start.flag = LanguageFlagFromConfig(ini, DesktopLanguageId(desktop));
    start.language = LanguageForFlag(start.flag);
    start.backgroundPicture = BackgroundPictureForFlag(start.flag);
    return start;
}

QString CQtTranslations::DefaultFolder() {
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
}

CQtTranslations::CQtTranslations(Language language, const QString& folder) {
    // Qt's built-in texts are English already.
    if (language != Language::Chinese) return;
    // Always the Simplified file: it matches the interface, whatever the desktop's script.
    if (!translator_.load(ChineseFile(), folder)) {
        std::fprintf(stderr,
                     "tiltscope: %s is not in %s (Debian package qt6-translations-l10n); "
                     "Qt's own buttons and dialogs stay in English\n",
                     qPrintable(ChineseFile()), qPrintable(QDir::toNativeSeparators(folder)));
        return;
    }
    installed_ = QCoreApplication::installTranslator(&translator_);
}

CQtTranslations::~CQtTranslations() {
    if (installed_) QCoreApplication::removeTranslator(&translator_);
}
