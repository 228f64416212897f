#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>

#include "ToolbarDlg.h"
#include "TrafficPane.h"
#include "WindowFixture.h"

namespace {

class KeyboardTest : public WindowFixture, public ::testing::WithParamInterface<Language> {
protected:
    std::unique_ptr<CTiltwiseDlg> Shown() {
        auto dlg = Make(GetParam());
        dlg->show();
        dlg->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(dlg.get()));
        return dlg;
    }
};

// Presses Tab (or Shift+Tab) until the focus is back where it started: the
// controls it stopped at, the start last.
QStringList Walk(CTiltwiseDlg& dlg, Qt::Key key) {
    QWidget* const first = dlg.focusWidget();
    QStringList seen;
    do {
        QTest::keyClick(dlg.focusWidget(), key);
        seen << dlg.focusWidget()->objectName();
    } while (dlg.focusWidget() != first && seen.size() < 100);
    return seen;
}

// Reading order, panel by panel: connection, device settings, saving with the
// language buttons above it (one stop: the checked one), the chart's command
// bar and time span, the parameter list, the traffic pane; from Open on.
const char* const kChain =
    "1026 1028 1079 1013 1005 1009 1031 1010 1011 1007 %1 1073 1016 1008 32771 32772 32781 "
    "32773 32774 32780 32775 32776 32782 32777 32778 1052 1062 1015 1003 1017 1080 1025 1004 1001";

TEST_P(KeyboardTest, TabVisitsEveryControlOnceInReadingOrderAndShiftTabGoesBack) {
    auto dlg = Shown();
    const QString chain = QString(kChain).arg(GetParam() == Language::English ? 1055 : 1056);
    ASSERT_EQ(dlg->focusWidget(), dlg->Control(1001));
    EXPECT_EQ(Walk(*dlg, Qt::Key_Tab).join(' ').toStdString(), chain.toStdString());
    QStringList back = Walk(*dlg, Qt::Key_Backtab);
    std::reverse(back.begin(), back.end() - 1);
    EXPECT_EQ(back.join(' ').toStdString(), chain.toStdString());
    // A control hidden leaves the chain and takes its place again when shown.
    dlg->Control(1025)->hide();
    EXPECT_EQ(Walk(*dlg, Qt::Key_Tab).join(' ').toStdString(),
              QString(chain).remove(" 1025").toStdString());
    dlg->Control(1025)->show();
    EXPECT_EQ(Walk(*dlg, Qt::Key_Tab).join(' ').toStdString(), chain.toStdString());
}

TEST_P(KeyboardTest, EnterAndSpacePressTheFocusedButtonAndNeverCloseTheWindow) {
    auto dlg = Shown();
    auto* polling = qobject_cast<QPushButton*>(dlg->Control(1026));
    const QString caption = polling->text();
    QWidget* crossHair = dlg->Toolbar()->Buttons()[3];
    const QString tip = dlg->Toolbar()->TipFor(32773);
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Space, Qt::Key_Enter}) {
        polling->setFocus();
        QTest::keyClick(polling, key);
        crossHair->setFocus();
        QTest::keyClick(crossHair, key);
        EXPECT_EQ(polling->text() == caption, key == Qt::Key_Space) << key;
        EXPECT_EQ(dlg->Toolbar()->TipFor(32773) == tip, key == Qt::Key_Space) << key;
    }
    EXPECT_TRUE(dlg->isVisible());
}

TEST_P(KeyboardTest, TheFocusedControlIsFramedPlainly) {
    auto dlg = Shown();
    for (QWidget* control : {dlg->Control(1016), dlg->Toolbar()->Buttons().front()}) {
        // The picture 2 px above the middle of the control's top edge.
        auto above = [&] {
            const QPoint at = control->mapTo(dlg.get(), QPoint(control->width() / 2, -2));
            return dlg->grab().toImage().pixelColor(at);
        };
        dlg->Control(1001)->setFocus();
        const QColor before = above();
        control->setFocus(Qt::TabFocusReason);
        const QColor after = above();
        EXPECT_GT(std::abs(after.red() - before.red()) + std::abs(after.green() - before.green()) +
                      std::abs(after.blue() - before.blue()),
                  200)
            << control->objectName().toStdString();
    }
}

TEST_P(KeyboardTest, TrafficPaneIsReadOnlyButItsSelectionSurvivesNewTraffic) {
    auto dlg = Shown();
    auto* pane = static_cast<TrafficPane*>(dlg->Control(1015));
    pane->setFocus();
    pane->ReplaceText("TX: 68 04 00 04 08");
    QTest::keyClicks(pane, "ab");
    QTest::keyClick(pane, Qt::Key_Delete);
    QTest::keyClick(pane, Qt::Key_A, Qt::ControlModifier);
    pane->AppendAtEnd("\r\nRX: 68 04 00 84 88");
    EXPECT_EQ(pane->textCursor().selectedText().toStdString(), "TX: 68 04 00 04 08");
    EXPECT_EQ(pane->toPlainText().toStdString(), "TX: 68 04 00 04 08\nRX: 68 04 00 84 88");
}

INSTANTIATE_TEST_SUITE_P(BothTemplates, KeyboardTest,
                         ::testing::Values(Language::English, Language::Chinese),
                         [](const ::testing::TestParamInfo<Language>& param) {
                             return param.param == Language::English ? "English" : "Chinese";
                         });

}  // namespace
