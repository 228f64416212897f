#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <sstream>

#include "IniFile.h"
#include "InterfaceLanguage.h"
#include "QtPlatform.h"
#include "RecordTestSupport.h"
#include "WindowFixture.h"

namespace {

using record_test::ReadFile;

// A start of the window as the application makes it, on a desktop of the given locale.
class FirstStartTest : public WindowFixture {
protected:
    std::unique_ptr<CTiltwiseDlg> StartOn(const QLocale& desktop) {
        start = ChooseStartLanguage(*ini, desktop);
        DialogContext c = Context(start.language);
        languageFlag = start.flag;
        c.backgroundPicture = start.backgroundPicture;
        auto dlg = std::make_unique<CTiltwiseDlg>(c);
        dlg->InitWindow();
        return dlg;
    }
    QString OpenCaption(CTiltwiseDlg& dlg) const {
        return qobject_cast<QPushButton*>(dlg.Control(1001))->text();
    }
    StartLanguage start;
};

TEST(DesktopLanguage, EveryChineseLocaleCountsAsChinese) {
    for (const char* name : {"zh_CN", "zh_TW", "zh_HK", "zh_SG", "zh_MO", "zh"}) {
        EXPECT_EQ(DesktopLanguageId(QLocale(QString::fromLatin1(name))), 2052) << name;
    }
    EXPECT_EQ(DesktopLanguageId(
                  QLocale(QLocale::Chinese, QLocale::TraditionalChineseScript, QLocale::Taiwan)),
              2052);
}

TEST(DesktopLanguage, EveryOtherLocaleCountsAsEnglish) {
    for (const char* name : {"en_US", "en_GB", "de_DE", "ja_JP", "ko_KR", "C"}) {
        EXPECT_EQ(DesktopLanguageId(QLocale(QString::fromLatin1(name))), 1033) << name;
    }
}

TEST_F(FirstStartTest, FirstStartOnAnEnglishDesktopStoresEnglish) {
    ASSERT_FALSE(ini->Exists());
    auto dlg = StartOn(QLocale(QStringLiteral("en_US")));
    EXPECT_EQ(start.language, Language::English);
    EXPECT_EQ(start.backgroundPicture, 199);
    EXPECT_EQ(OpenCaption(*dlg), QStringLiteral("Open"));
    EXPECT_EQ(ini->ReadString("LANGUAGE"), "EN") << ReadFile(scratch.Config());
    // And the next start is English as well.
    EXPECT_EQ(ChooseStartLanguage(*ini, QLocale(QStringLiteral("en_US"))).language,
              Language::English);
}

TEST_F(FirstStartTest, FirstStartOnAChineseDesktopStoresChinese) {
    ASSERT_FALSE(ini->Exists());
    auto dlg = StartOn(QLocale(QStringLiteral("zh_TW")));
    EXPECT_EQ(start.language, Language::Chinese);
    EXPECT_EQ(start.flag, 0);
    EXPECT_EQ(start.backgroundPicture, 197);
    EXPECT_EQ(OpenCaption(*dlg), QStringLiteral("打开"));
    EXPECT_EQ(ini->ReadString("LANGUAGE"), "CH") << ReadFile(scratch.Config());
    EXPECT_EQ(ChooseStartLanguage(*ini, QLocale(QStringLiteral("zh_TW"))).language,
              Language::Chinese);
}

TEST_F(FirstStartTest, StoredLanguageIsKeptWhateverTheDesktop) {
    ini->WriteString("LANGUAGE", "EN");
    auto english = StartOn(QLocale(QStringLiteral("zh_CN")));
    EXPECT_EQ(start.language, Language::English);
    EXPECT_EQ(OpenCaption(*english), QStringLiteral("Open"));
    EXPECT_EQ(ini->ReadString("LANGUAGE"), "EN");
    english.reset();

    ini->WriteString("LANGUAGE", "CH");
    auto chinese = StartOn(QLocale(QStringLiteral("en_US")));
    EXPECT_EQ(start.language, Language::Chinese);
    EXPECT_EQ(OpenCaption(*chinese), QStringLiteral("打开"));
    EXPECT_EQ(ini->ReadString("LANGUAGE"), "CH");
}

TEST_F(FirstStartTest, FileWithoutLanguageFollowsTheDesktopAndIsNotRewritten) {
    ini->WriteString("MODEL", "Tiltscope");
    auto dlg = StartOn(QLocale(QStringLiteral("en_US")));
    EXPECT_EQ(start.language, Language::English);
    EXPECT_EQ(ini->ReadString("LANGUAGE", "none"), "none");
}

// Runs `body` while the next modal dialog is open, then closes it: a box's
// exec() holds its own event loop. Polls, with a deadline, for the dialog to show.
class WhileModal {
public:
    explicit WhileModal(std::function<void(QDialog&)> body) : body_(std::move(body)) {
        deadline_ = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        QObject::connect(&poll_, &QTimer::timeout, [this] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog && std::chrono::steady_clock::now() < deadline_) return;
            poll_.stop();
            if (!dialog) return;
            seen_ = true;
            body_(*dialog);
            dialog->reject();
        });
        poll_.start(10);
    }
    bool Seen() const { return seen_; }

private:
    std::function<void(QDialog&)> body_;
    QTimer poll_;
    std::chrono::steady_clock::time_point deadline_;
    bool seen_ = false;
};

QString OkButtonOfAMessageBox() {
    QString text;
    WhileModal answer([&text](QDialog& dialog) {
        if (auto* box = qobject_cast<QMessageBox*>(&dialog))
            text = box->button(QMessageBox::Ok)->text();
    });
    QtMessageSink().ShowMessage("Text", "Caption", MessageIcon::Information);
    EXPECT_TRUE(answer.Seen());
    return text;
}

bool ChineseQtTextsInstalled() {
    return QFileInfo::exists(CQtTranslations::DefaultFolder() + QLatin1Char('/') +
                             CQtTranslations::ChineseFile());
}

#define SKIP_WITHOUT_CHINESE_QT_TEXTS()                                           \
    if (!ChineseQtTextsInstalled())                                               \
    GTEST_SKIP() << CQtTranslations::ChineseFile().toStdString() << " is not in " \
                 << CQtTranslations::DefaultFolder().toStdString()                \
                 << ": Debian's qt6-translations-l10n is missing (./test.sh installs it)"

TEST(QtTexts, ChineseInterfaceShowsQtsChineseOkButton) {
    SKIP_WITHOUT_CHINESE_QT_TEXTS();
    CQtTranslations qt(Language::Chinese);
    EXPECT_TRUE(qt.Installed());
    EXPECT_EQ(OkButtonOfAMessageBox(), QStringLiteral("确定"));
}

TEST(QtTexts, EnglishInterfaceKeepsQtsEnglishOkButton) {
    CQtTranslations qt(Language::English);
    EXPECT_EQ(OkButtonOfAMessageBox(), QStringLiteral("OK"));
}

TEST(QtTexts, QtsChineseTextsLastAsLongAsTheirOwner) {
    SKIP_WITHOUT_CHINESE_QT_TEXTS();
    { CQtTranslations qt(Language::Chinese); }
    EXPECT_EQ(OkButtonOfAMessageBox(), QStringLiteral("OK"));
}

TEST(QtTexts, MissingChineseQtTextsLeaveEnglishAndAreToldOnce) {
    ::testing::internal::CaptureStderr();
    CQtTranslations qt(Language::Chinese, QStringLiteral("/nonexistent/translations"));
    const std::string told = ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(qt.Installed());
    EXPECT_NE(told.find("qtbase_zh_CN.qm"), std::string::npos) << told;
    EXPECT_NE(told.find("/nonexistent/translations"), std::string::npos) << told;
    EXPECT_EQ(std::count(told.begin(), told.end(), '\n'), 1) << told;
    EXPECT_EQ(OkButtonOfAMessageBox(), QStringLiteral("OK"));
}

TEST(QtTexts, ChineseFolderPickerShowsQtsChineseTexts) {
    SKIP_WITHOUT_CHINESE_QT_TEXTS();
    CQtTranslations qt(Language::Chinese);
    QStringList buttons;
    WhileModal answer([&buttons](QDialog& dialog) {
        EXPECT_NE(qobject_cast<QFileDialog*>(&dialog), nullptr);
        for (QPushButton* b : dialog.findChildren<QPushButton*>()) buttons << b->text();
    });
    EXPECT_EQ(QtFolderPicker().PickFolder("Please select the data storage path", ""), "");
    ASSERT_TRUE(answer.Seen());
    EXPECT_TRUE(buttons.contains(QStringLiteral("取消"))) << buttons.join('|').toStdString();
    EXPECT_TRUE(buttons.contains(QStringLiteral("选择(&C)"))) << buttons.join('|').toStdString();
}

TEST(QtFolderPickerStart, OpensInTheGivenFolderOrTheNearestOneAboveThatExists) {
    ScratchFolder scratch;
    const std::string data = scratch.Root() + "/data";
    std::filesystem::create_directories(data);
    auto openedIn = [](const std::string& start) {
        std::string folder;
        WhileModal answer([&folder](QDialog& dialog) {
            if (auto* picker = qobject_cast<QFileDialog*>(&dialog))
                folder = picker->directory().absolutePath().toStdString();
        });
        QtFolderPicker().PickFolder("Please select the data storage path", start);
        EXPECT_TRUE(answer.Seen());
        return folder;
    };
    EXPECT_EQ(openedIn(data), data);
    EXPECT_EQ(openedIn(data + "/not/made/yet"), data);
}

using NoticeLanguage = WindowFixture;

TEST_F(NoticeLanguage, ANoticeAboutTheServerIsShownInTheLanguageChosen) {
    for (Language lang : {Language::English, Language::Chinese}) {
        messages.shown.clear();
        auto dlg = Make(lang);
        dlg->ShowLineNotice({"this server speaks telnet", "此服务器使用 telnet 协议"});
        ASSERT_TRUE(ProcessUntil([&] { return !messages.shown.empty(); }));
        EXPECT_EQ(messages.shown[0].text, lang == Language::Chinese ? "此服务器使用 telnet 协议"
                                                                    : "this server speaks telnet");
    }
}

}  // namespace
