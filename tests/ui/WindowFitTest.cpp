#include <gtest/gtest.h>

#include <QFontInfo>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "ToolbarDlg.h"
#include "WindowFixture.h"

namespace {

class WindowFitTest : public WindowFixture, public ::testing::WithParamInterface<Language> {};

// The shown controls that lie partly outside the window or whose caption is cut off.
std::string OutOfReach(CTiltwiseDlg& dlg) {
    std::vector<QWidget*> widgets = dlg.Toolbar()->Buttons();
    for (const ControlSpec& spec : DialogControls()) widgets.push_back(dlg.Control(spec.id));
    std::string bad;
    for (QWidget* w : widgets) {
        auto* label = qobject_cast<QLabel*>(w);
        auto* button = qobject_cast<QPushButton*>(w);
        const QString text = label ? label->text() : button ? button->text() : QString();
        const int room = label ? label->contentsRect().width() : w->width();
        if (w->isVisible() && (!dlg.rect().contains(QRect(w->mapTo(&dlg, QPoint()), w->size())) ||
                               w->fontMetrics().horizontalAdvance(text) > room))
            bad += w->objectName().toStdString() + " ";
    }
    return bad;
}

TEST_P(WindowFitTest, TheWholeWindowFitsThe1280x720ScreenAndCanBeMadeSmaller) {
    // The whole screen, and what a 40 px panel leaves of it.
    for (const QSize screen : {QSize(1280, 720), QSize(1280, 680)}) {
        DialogContext c = Context(GetParam());
        c.screenSize = screen;
        CTiltwiseDlg dlg(c);
        dlg.InitWindow();
        dlg.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
        EXPECT_TRUE(QRect(QPoint(0, 0), screen).contains(dlg.frameGeometry()));
        // A window manager's title bar of 30 px still fits above it.
        EXPECT_LE(dlg.height() + 30, screen.height());
        EXPECT_EQ(OutOfReach(dlg), "") << screen.height();

        const QSize smallest = dlg.minimumSize();
        EXPECT_TRUE(smallest.width() < dlg.width() && smallest.height() < dlg.height());
        dlg.resize(smallest);
        QApplication::processEvents();
        EXPECT_EQ(OutOfReach(dlg), "") << "smallest";
        EXPECT_GE(QFontInfo(dlg.Control(1001)->font()).pixelSize(), 11);
    }
}

TEST_P(WindowFitTest, DraggingTheFrameInSmallStepsPlacesEveryControlAsOneStepDoes) {
    auto dragged = Make(GetParam());
    auto direct = Make(GetParam());
    for (CTiltwiseDlg* dlg : {dragged.get(), direct.get()}) {
        dlg->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg));
    }
    const QSize start = dragged->size();
    for (int step = 1; step <= 40; ++step) {
        dragged->resize(start + start * 0.3 * step / 40);
        QApplication::processEvents();
    }
    direct->resize(dragged->size());
    QApplication::processEvents();
    for (const ControlSpec& spec : DialogControls())
        EXPECT_TRUE(dragged->Control(spec.id)->geometry() == direct->Control(spec.id)->geometry())
            << spec.id;
}

INSTANTIATE_TEST_SUITE_P(BothTemplates, WindowFitTest,
                         ::testing::Values(Language::English, Language::Chinese),
                         [](const ::testing::TestParamInfo<Language>& param) {
                             return param.param == Language::English ? "English" : "Chinese";
                         });

}  // namespace
