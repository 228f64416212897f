#pragma once

#include <QLocale>
#include <QString>
#include <QTranslator>

#include "BackgroundArt.h"
#include "DialogTemplate.h"

class CIniFile;

// 2052 when the desktop speaks Chinese, in any of its forms (zh_CN, zh_TW,
// zh_HK, zh_SG, ...): the Chinese interface is the only Chinese one, and it
// reads far better than the English one to a reader of either script.
// 1033 for every other desktop, "C" included.
int DesktopLanguageId(const QLocale& desktop);

// The language table: flag 0 Chinese / picture 197, flag 1 English / picture 199.
Language LanguageForFlag(int languageFlag);
int BackgroundPictureForFlag(int languageFlag);

// What a start decides before the window exists.
struct StartLanguage {
    int flag = 1;  // LanguageFlag: 0 Chinese, 1 English
    Language language = Language::English;
    int backgroundPicture = kEnglishBackgroundId;
};

// The settings file's LANGUAGE when it has one, otherwise the desktop's language.
StartLanguage ChooseStartLanguage(const CIniFile& ini, const QLocale& desktop);

// Qt's own texts (standard buttons of message boxes, the folder picker) in the
// interface language, for as long as the object lives. English needs nothing;
// for Chinese qtbase_zh_CN.qm is taken from `folder`. Without that file Qt
// keeps its English texts and the program runs on; that is said once on stderr.
class CQtTranslations {
public:
    explicit CQtTranslations(Language language, const QString& folder = DefaultFolder());
    ~CQtTranslations();
    CQtTranslations(const CQtTranslations&) = delete;
    CQtTranslations& operator=(const CQtTranslations&) = delete;

    bool Installed() const { return installed_; }
    static QString DefaultFolder();
    static QString ChineseFile() { return QStringLiteral("qtbase_zh_CN.qm"); }

private:
    QTranslator translator_;
    bool installed_ = false;
};
