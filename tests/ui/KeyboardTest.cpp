#include <gtest/gtest.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

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

// Presses Tab (or Shift+Tab) until the focus is back where it started; the
// names of the controls it stopped at, the start last.
std::string Walk(CTiltwiseDlg& dlg, Qt::Key key) {
    QWidget* const first = dlg.focusWidget();
    QStringList seen;
    for (int i = 0; i < 100; ++i) {
        QTest::keyClick(dlg.focusWidget(), key);
        seen << dlg.focusWidget()->objectName();
        if (dlg.focusWidget() == first) break;
    }
    return seen.join(' ').toStdString();
}

// Reading order, panel by panel: connection, device settings, saving with the
// language buttons above it (one stop: the checked one), the chart's command
// bar and time span, the parameter list, the traffic pane; the walk starts at Open.
QStringList Chain(Language checked) {
    return {"1026",
            "1028",
            "1079",
            "1013",
            "1005",
            "1009",
            "1031",
            "1010",
            "1011",
            "1007",
            checked == Language::English ? "1055" : "1056",
            "1073",
            "1016",
            "1008",
            "32771",
            "32772",
            "32781",
            "32773",
            "32774",
            "32780",
            "32775",
            "32776",
            "32782",
            "32777",
            "32778",
            "1052",
            "1062",
            "1015",
            "1003",
            "1017",
            "1080",
            "1004",
            "1001"};
}

TEST_P(KeyboardTest, TabVisitsEveryControlOnceInReadingOrderAndShiftTabGoesBack) {
    auto dlg = Shown();
    const QStringList kChain = Chain(GetParam());
    ASSERT_EQ(dlg->focusWidget(), dlg->Control(1001));
    EXPECT_EQ(Walk(*dlg, Qt::Key_Tab), kChain.join(' ').toStdString());
    QStringList back(kChain.rbegin() + 1, kChain.rend());
    back << "1001";
    EXPECT_EQ(Walk(*dlg, Qt::Key_Backtab), back.join(' ').toStdString());

    // A control shown later takes its place: the protocol list heads the connection panel.
    dlg->Control(1025)->show();
    QStringList withProtocol = kChain;
    withProtocol.insert(withProtocol.indexOf("1003"), "1025");
    EXPECT_EQ(Walk(*dlg, Qt::Key_Tab), withProtocol.join(' ').toStdString());
}

TEST_P(KeyboardTest, EnterAndSpacePressTheFocusedButtonAndNeverCloseTheWindow) {
    auto dlg = Shown();
    auto* polling = qobject_cast<QPushButton*>(dlg->Control(1026));
    const std::string caption = polling->text().toStdString();
    polling->setFocus();
    QTest::keyClick(polling, Qt::Key_Return);
    EXPECT_NE(polling->text().toStdString(), caption);
    QTest::keyClick(polling, Qt::Key_Space);
    EXPECT_EQ(polling->text().toStdString(), caption);

    auto* crossHair = dlg->Toolbar()->findChild<QToolButton*>("32773");
    const std::string tip = dlg->Toolbar()->TipFor(32773).toStdString();
    crossHair->setFocus();
    ASSERT_EQ(dlg->focusWidget(), crossHair);
    QTest::keyClick(crossHair, Qt::Key_Enter);
    EXPECT_NE(dlg->Toolbar()->TipFor(32773).toStdString(), tip);
    QTest::keyClick(crossHair, Qt::Key_Space);
    EXPECT_EQ(dlg->Toolbar()->TipFor(32773).toStdString(), tip);
    EXPECT_TRUE(dlg->isVisible());
}

// The picture 2 px above the middle of a control's top edge.
QColor Above(CTiltwiseDlg& dlg, QWidget* control) {
    const QPoint at = control->mapTo(&dlg, QPoint(control->width() / 2, -2));
    return dlg.grab().toImage().pixelColor(at);
}

int Distance(const QColor& a, const QColor& b) {
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
           std::abs(a.blue() - b.blue());
}

TEST_P(KeyboardTest, TheFocusedControlIsFramedPlainly) {
    auto dlg = Shown();
    for (QWidget* control : {dlg->Control(1016), dlg->Toolbar()->Buttons().front()}) {
        dlg->Control(1001)->setFocus();
        const QColor unfocused = Above(*dlg, control);
        control->setFocus(Qt::TabFocusReason);
        EXPECT_GT(Distance(Above(*dlg, control), unfocused), 200)
            << control->objectName().toStdString();
    }
}

TEST_P(KeyboardTest, TrafficPaneIsReadOnlyButItsSelectionSurvivesNewTraffic) {
    auto dlg = Shown();
    auto* pane = qobject_cast<QPlainTextEdit*>(dlg->Control(1015));
    pane->setFocus();
    pane->setPlainText("TX: 68 04 00 04 08");
    QTest::keyClicks(pane, "ab");
    QTest::keyClick(pane, Qt::Key_Delete);
    EXPECT_EQ(pane->toPlainText().toStdString(), "TX: 68 04 00 04 08");
    QTest::keyClick(pane, Qt::Key_A, Qt::ControlModifier);
    static_cast<TrafficPane*>(pane)->AppendAtEnd("\r\nRX: 68 04 00 84 88");
    EXPECT_EQ(pane->textCursor().selectedText().toStdString(), "TX: 68 04 00 04 08");
    EXPECT_EQ(pane->toPlainText().toStdString(), "TX: 68 04 00 04 08\nRX: 68 04 00 84 88");
}

INSTANTIATE_TEST_SUITE_P(BothTemplates, KeyboardTest,
                         ::testing::Values(Language::English, Language::Chinese),
                         [](const ::testing::TestParamInfo<Language>& param) {
                             return param.param == Language::English ? "English" : "Chinese";
                         });

}  // namespace
