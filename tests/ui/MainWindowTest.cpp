#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFontInfo>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTableWidget>
#include <QTest>
#include <fstream>
#include <map>
#include <sstream>

#include "ChartCtrl.h"
#include "DialogTemplate.h"
#include "IniFile.h"
#include "ListCtrlEx.h"
#include "RecordTestSupport.h"
#include "StringTable.h"
#include "TiltwiseDlg.h"
#include "UiFakes.h"
#include "WindowFixture.h"

// Rectangles in failure messages as x,y width x height.
void PrintTo(const QRect& r, std::ostream* os) {
    *os << r.x() << "," << r.y() << " " << r.width() << "x" << r.height();
}

namespace {

using record_test::ReadFile;

class MainWindowTest : public WindowFixture, public ::testing::WithParamInterface<Language> {};

bool KindMatches(ControlKind kind, QWidget* w) {
    switch (kind) {
        case ControlKind::Chart:
            return qobject_cast<CChartCtrl*>(w) != nullptr;
        case ControlKind::PushButton:
            return qobject_cast<QPushButton*>(w) != nullptr;
        case ControlKind::StaticText:
            return qobject_cast<QLabel*>(w) != nullptr;
        case ControlKind::DropDownList:
            return qobject_cast<QComboBox*>(w) != nullptr;
        case ControlKind::Edit:
            return qobject_cast<QLineEdit*>(w) != nullptr;
        case ControlKind::TrafficPane:
            return qobject_cast<QPlainTextEdit*>(w) != nullptr;
        case ControlKind::Slider:
            return qobject_cast<QSlider*>(w) != nullptr;
        case ControlKind::RadioButton:
            return qobject_cast<QRadioButton*>(w) != nullptr;
        case ControlKind::ListView:
            return qobject_cast<QAbstractItemView*>(w) != nullptr;
        case ControlKind::Placeholder:
            return w != nullptr;
    }
    return false;
}

TEST_P(MainWindowTest, EveryControlHasItsKindTextVisibilityAndPlace) {
    const Language lang = GetParam();
    auto dlg = Make(lang, false);  // before any resize rule can move them
    EXPECT_EQ(DialogControls().size(), 66u);
    EXPECT_EQ(dlg->windowTitle(), QStringLiteral("Tiltscope_V2.0"));
    for (const ControlSpec& spec : DialogControls()) {
        QWidget* w = dlg->findChild<QWidget*>(QString::number(spec.id));
        ASSERT_NE(w, nullptr) << spec.id;
        EXPECT_TRUE(KindMatches(spec.kind, w)) << spec.id;
        EXPECT_EQ(w->isVisibleTo(dlg.get()), spec.shown) << spec.id;
        EXPECT_EQ(w->geometry(), ControlGeometry(dlg->Units(), spec, lang)) << spec.id;
        const QString text = QString::fromUtf8(ControlText(spec, lang));
        if (auto* l = qobject_cast<QLabel*>(w)) {
            EXPECT_EQ(l->text(), text) << spec.id;
        }
        if (auto* b = qobject_cast<QAbstractButton*>(w)) {
            EXPECT_EQ(b->text(), text) << spec.id;
        }
    }
    // The window is 680 x 330 dialog units of the template font.
    EXPECT_EQ(dlg->size(), QSize(dlg->Units().X(680), dlg->Units().Y(330)));
    // A few places worked out by hand from the template's dialog units: English
    // units are 8 x 16 pixels to 4 x 8 units, Chinese ones 7 x 15; a drop-down
    // list is one 12-unit line high when closed.
    struct Place {
        int id;
        QRect english;
        QRect chinese;
    };
    const Place places[] = {
        {1003, QRect(242, 100, 78, 24), QRect(217, 94, 68, 23)},      // port list
        {1001, QRect(382, 132, 68, 24), QRect(334, 124, 60, 23)},     // Open
        {1041, QRect(108, 546, 48, 16), QRect(89, 512, 58, 15)},      // "Output:"
        {1000, QRect(48, 222, 1004, 286), QRect(42, 208, 879, 268)},  // chart
        {1062, QRect(1060, 186, 250, 140), QRect(928, 174, 219, 128)},
        {1015, QRect(1062, 348, 252, 234), QRect(929, 326, 221, 219)},  // traffic pane
    };
    for (const Place& p : places)
        EXPECT_EQ(dlg->Control(p.id)->geometry(), lang == Language::English ? p.english : p.chinese)
            << p.id;
    EXPECT_EQ(dlg->size(), lang == Language::English ? QSize(1360, 660) : QSize(1190, 619));
}

TEST_P(MainWindowTest, StaticTextsAreDarkGreenOverThePicture) {
    auto dlg = Make(GetParam());
    auto* label = qobject_cast<QLabel*>(dlg->Control(1041));
    EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(0, 66, 0));
    EXPECT_FALSE(label->autoFillBackground());
}

TEST_P(MainWindowTest, HelpAreasCarryTheirStringsAndNothingElseHasATip) {
    auto dlg = Make(GetParam());
    const std::pair<int, int> areas[] = {{1088, 107}, {1090, 108}, {1089, 109}, {1091, 110},
                                         {1094, 111}, {1092, 112}, {1093, 113}};
    for (const auto& [id, string] : areas) {
        const QString text = QString::fromUtf8(LoadResourceString(string, GetParam()));
        EXPECT_EQ(dlg->HelpText(id), text);
        EXPECT_TRUE(dlg->Control(id)->toolTip().contains(text.toHtmlEscaped())) << id;
        EXPECT_TRUE(dlg->Control(id)->toolTip().contains(QStringLiteral("159"))) << id;
    }
    EXPECT_TRUE(dlg->Control(1001)->toolTip().isEmpty());
}

TEST_P(MainWindowTest, InitialisationStartsTheDisplayTimersAndLimitsThePane) {
    auto dlg = Make(GetParam());
    EXPECT_TRUE(dlg->Initialised());
    EXPECT_TRUE(timers.IsRunning(0));
    EXPECT_EQ(timers.Period(0), 250);
    EXPECT_TRUE(timers.IsRunning(2));
    EXPECT_EQ(timers.Period(2), 1000);
    EXPECT_EQ(qobject_cast<QSlider*>(dlg->Control(1052))->value(), 100);
    EXPECT_EQ(qobject_cast<QLineEdit*>(dlg->Control(1079))->text(), QStringLiteral("0"));
    EXPECT_TRUE(dlg->minimumSize().width() < dlg->StartClientSize().width() &&
                dlg->minimumSize().height() < dlg->StartClientSize().height());
    EXPECT_EQ(dlg->maximumSize(), QSize(1920, 1080));
    EXPECT_EQ(dlg->LogoArea(), dlg->Control(1058)->geometry());
}

TEST_P(MainWindowTest, AddressTextIsCentredOnlyInTheChineseLayout) {
    auto dlg = Make(GetParam());
    auto* field = qobject_cast<QLineEdit*>(dlg->Control(1080));
    auto* newAddress = qobject_cast<QLineEdit*>(dlg->Control(1079));
    if (GetParam() == Language::English) {
        EXPECT_EQ(field->textMargins().top(), 0);
        EXPECT_EQ(newAddress->textMargins().top(), 0);
    } else {
        // 15 px text in a 26 px and a 30 px field: (26 - 15) / 2 - 2 and (30 - 15) / 2 - 2.
        EXPECT_EQ(field->textMargins().top(), 3);
        EXPECT_EQ(newAddress->textMargins().top(), 5);
    }
}

TEST_P(MainWindowTest, EveryLabelShowsItsWholeTextClearOfTheControlItNames) {
    auto dlg = Make(GetParam());
    dlg->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
    for (const ControlSpec& spec : DialogControls()) {
        auto* label = qobject_cast<QLabel*>(dlg->Control(spec.id));
        if (!label || !label->isVisible() || label->text().isEmpty()) continue;
        const QFontMetrics fm = label->fontMetrics();
        const QRect room = label->contentsRect();
        EXPECT_LE(fm.horizontalAdvance(label->text()), room.width()) << spec.id;
        EXPECT_LE(fm.height(), room.height()) << spec.id;
        const QWidget* named = label->buddy();
        if (named && named->x() > label->x()) {
            EXPECT_LE(label->x() + fm.horizontalAdvance(label->text()), named->x()) << spec.id;
        }
    }
}

TEST_P(MainWindowTest, EveryTextOfTheParameterListShowsWhole) {
    auto dlg = Make(GetParam());
    dlg->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
    ListCtrlEx::CListCtrlEx* list = dlg->ParameterList();
    // The widest values it shows in use: five decimals near zero, four on a
    // full swing of the sensor's range.
    list->SetItemText(2, 1, QStringLiteral("-0.00291deg"));
    list->SetItemText(2, 2, QStringLiteral("-89.9999deg"));
    list->SetItemText(3, 1, QStringLiteral("180.0000deg"));
    list->SetItemText(3, 2, QStringLiteral("10.0000deg"));
    // Room is found in the columns first; the text gets at most a pixel smaller
    // than the window's own.
    EXPECT_GE(QFontInfo(list->font()).pixelSize(), QFontInfo(dlg->font()).pixelSize() - 1);
    const QFontMetrics fm(list->font());
    for (int column = 0; column < list->columnCount(); ++column) {
        EXPECT_LE(list->horizontalHeader()->sectionSizeHint(column),
                  list->horizontalHeader()->sectionSize(column))
            << column;
        for (int row = 0; row < list->rowCount(); ++row) {
            const QRect cell = list->visualRect(list->model()->index(row, column));
            EXPECT_TRUE(list->viewport()->rect().contains(cell)) << row << "," << column;
            // Cell texts are drawn 5 px in from the left and 1 px from the right.
            const QString text = list->GetItemText(row, column);
            EXPECT_LE(fm.horizontalAdvance(text), cell.width() - 6)
                << row << "," << column << " " << text.toStdString();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(BothTemplates, MainWindowTest,
                         ::testing::Values(Language::English, Language::Chinese),
                         [](const ::testing::TestParamInfo<Language>& param) {
                             return param.param == Language::English ? "English" : "Chinese";
                         });

using MainWindowBehaviour = WindowFixture;

TEST_F(MainWindowBehaviour, FirstStartWritesTheDefaultFile) {
    auto dlg = Make(Language::English);
    const std::string file = ReadFile(scratch.Config());
    EXPECT_EQ(file.rfind("[Config]\r\nLANGUAGE=EN\r\nMODEL=Tiltscope\r\nPROTOCOL=0\r\n", 0), 0u)
        << file;
    EXPECT_NE(file.find("PATH=" + scratch.Root() + "/data\r\n"), std::string::npos) << file;
}

TEST_F(MainWindowBehaviour, SetLabelTextRepaintsOnlyOnChange) {
    auto dlg = Make(Language::English);
    dlg->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
    const int before = dlg->LabelRepaints();
    dlg->SetLabelText(1022, QStringLiteral("50HZ"));
    dlg->SetLabelText(1022, QStringLiteral("50HZ"));
    EXPECT_EQ(dlg->LabelRepaints(), before + 1);
    EXPECT_EQ(qobject_cast<QLabel*>(dlg->Control(1022))->text(), QStringLiteral("50HZ"));
    dlg->SetLabelText(1026, QStringLiteral("Connect"));  // button captions too
    EXPECT_EQ(qobject_cast<QPushButton*>(dlg->Control(1026))->text(), QStringLiteral("Connect"));
}

TEST_F(MainWindowBehaviour, EnterDoesNothingAndEscapeCloses) {
    auto dlg = Make(Language::English);
    dlg->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
    int clicks = 0;
    QObject::connect(qobject_cast<QPushButton*>(dlg->Control(1001)), &QPushButton::clicked,
                     [&] { ++clicks; });
    QTest::keyClick(dlg->Control(1080), Qt::Key_Enter);
    EXPECT_EQ(clicks, 0);
    EXPECT_TRUE(dlg->isVisible());
    QTest::keyClick(dlg->Control(1080), Qt::Key_Escape);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(dlg->result(), QDialog::Rejected);
}

TEST_F(MainWindowBehaviour, LanguageButtonsWriteAndTellOnlyWhenTheFileExists) {
    auto dlg = Make(Language::Chinese);  // creates the file
    qobject_cast<QRadioButton*>(dlg->Control(1055))->click();
    EXPECT_EQ(languageFlag, 1);
    EXPECT_EQ(ini->ReadString("LANGUAGE"), "EN");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Restart to take effect!!");
    EXPECT_EQ(messages.shown[0].caption, "Message");
    // Captions stay in the language chosen at start.
    EXPECT_EQ(qobject_cast<QPushButton*>(dlg->Control(1001))->text(), QStringLiteral("打开"));

    qobject_cast<QRadioButton*>(dlg->Control(1056))->click();
    EXPECT_EQ(languageFlag, 0);
    EXPECT_EQ(ini->ReadString("LANGUAGE"), "CH");
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[1].text, "重启软件生效!!");
    EXPECT_EQ(messages.shown[1].caption, "提示");

    std::filesystem::remove(scratch.Config());
    qobject_cast<QRadioButton*>(dlg->Control(1055))->click();
    EXPECT_EQ(languageFlag, 1);
    EXPECT_EQ(messages.shown.size(), 2u);
    EXPECT_FALSE(std::filesystem::exists(scratch.Config()));
}

TEST_F(MainWindowBehaviour, LogoAreaOpensThePageOfTheSelectedLanguageButton) {
    auto dlg = Make(Language::English);
    dlg->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
    QWidget* logo = dlg->Control(1058);
    const QPoint centre = logo->rect().center();
    QTest::mouseMove(logo, centre);
    EXPECT_EQ(logo->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseClick(logo, Qt::LeftButton, Qt::NoModifier, centre);
    qobject_cast<QRadioButton*>(dlg->Control(1056))->click();
    QTest::mouseClick(logo, Qt::LeftButton, Qt::NoModifier, centre);
    // The very edge is outside: every comparison is strict.
    QTest::mouseClick(logo, Qt::LeftButton, Qt::NoModifier, QPoint(0, centre.y()));
    ASSERT_EQ(urls.opened.size(), 2u);
    EXPECT_EQ(urls.opened[0], kEnglishPageUrl);
    EXPECT_EQ(urls.opened[1], kChinesePageUrl);
}

TEST_F(MainWindowBehaviour, EnlargingWidensButtonsButKeepsTheirHeight) {
    auto dlg = Make(Language::English);
    dlg->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
    const QRect button = dlg->Control(1001)->geometry();
    const QRect chart = dlg->Control(1000)->geometry();
    dlg->resize(dlg->width() * 3 / 2, dlg->height() * 3 / 2);
    QApplication::processEvents();
    EXPECT_EQ(dlg->Control(1001)->height(), button.height());
    EXPECT_GT(dlg->Control(1001)->width(), button.width());
    EXPECT_GT(dlg->Control(1000)->height(), chart.height());
    EXPECT_GT(dlg->Control(1000)->width(), chart.width());
    EXPECT_EQ(dlg->LayoutState().referenceWidth, dlg->width());
}

// The connection and device-settings labels, where they are now.
std::map<int, QRect> LabelPlaces(const CTiltwiseDlg& dlg) {
    std::map<int, QRect> places;
    for (int id : {1035, 1036, 1037, 1040, 1085, 1086, 1087})
        places[id] = dlg.Control(id)->geometry();
    return places;
}

TEST_F(MainWindowBehaviour, LabelsSitAlikeAfterEveryMaximiseRestoreCycle) {
    for (Language lang : {Language::English, Language::Chinese}) {
        auto dlg = Make(lang);
        const QSize start = dlg->size();
        // The rule itself, on the hidden window: sizes change without events.
        std::map<int, QRect> maximised, restored;
        for (int cycle = 1; cycle <= 5; ++cycle) {
            dlg->resize(1920, 1080);
            dlg->ScaleLayoutNow(ResizeKind::Maximise);
            if (cycle == 1) maximised = LabelPlaces(*dlg);
            EXPECT_EQ(LabelPlaces(*dlg), maximised) << "cycle " << cycle;
            dlg->resize(start);
            dlg->ScaleLayoutNow(ResizeKind::Restore);
            if (cycle == 1) restored = LabelPlaces(*dlg);
            EXPECT_EQ(LabelPlaces(*dlg), restored) << "cycle " << cycle;
        }
        // The same through the window system's own maximise and restore. The
        // headless screen is smaller than the window, so the first cycle rounds
        // every place once (as it does any control's); from then on nothing moves.
        dlg->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
        for (int cycle = 1; cycle <= 5; ++cycle) {
            dlg->showMaximized();
            QApplication::processEvents();
            if (cycle == 2) maximised = LabelPlaces(*dlg);
            if (cycle >= 2) {
                EXPECT_EQ(LabelPlaces(*dlg), maximised) << "cycle " << cycle;
            }
            dlg->showNormal();
            QApplication::processEvents();
            if (cycle == 1) restored = LabelPlaces(*dlg);
            EXPECT_EQ(LabelPlaces(*dlg), restored) << "cycle " << cycle;
        }
    }
}

TEST_F(MainWindowBehaviour, DropDownListsAreAsTallAsTheButtonsAtStartAndAfterMaximiseRestore) {
    for (Language lang : {Language::English, Language::Chinese}) {
        auto dlg = Make(lang);
        dlg->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
        const auto expectListsAsTallAsOpen = [&](const char* when) {
            const int button = dlg->Control(1001)->height();
            for (const ControlSpec& spec : DialogControls()) {
                if (spec.kind == ControlKind::DropDownList && dlg->Control(spec.id)->isVisible()) {
                    EXPECT_EQ(dlg->Control(spec.id)->height(), button) << spec.id << " " << when;
                }
            }
        };
        expectListsAsTallAsOpen("at start");
        dlg->showMaximized();
        QApplication::processEvents();
        expectListsAsTallAsOpen("maximised");
        dlg->showNormal();
        QApplication::processEvents();
        expectListsAsTallAsOpen("restored");
    }
}

TEST_F(MainWindowBehaviour, ResizeRuleWaitsForInitialisation) {
    auto dlg = Make(Language::English, false);
    const QRect chart = dlg->Control(1000)->geometry();
    dlg->resize(dlg->width() * 2, dlg->height() * 2);
    EXPECT_EQ(dlg->Control(1000)->geometry(), chart);
}

}  // namespace
