#include <gtest/gtest.h>

#include <QFontInfo>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "DialogTemplate.h"
#include "ToolbarDlg.h"
#include "WindowFixture.h"

namespace {

class WindowFitTest : public WindowFixture, public ::testing::WithParamInterface<Language> {};

// Every control the operator can see, in the window's client coordinates.
std::vector<std::pair<QString, QRect>> ShownControls(CTiltwiseDlg& dlg) {
    std::vector<std::pair<QString, QRect>> shown;
    std::vector<QWidget*> widgets;
    for (const ControlSpec& spec : DialogControls()) widgets.push_back(dlg.Control(spec.id));
    for (QToolButton* b : dlg.Toolbar()->findChildren<QToolButton*>()) widgets.push_back(b);
    for (QWidget* w : widgets) {
        if (w->isVisible())
            shown.push_back({w->objectName(), QRect(w->mapTo(&dlg, QPoint()), w->size())});
    }
    return shown;
}

// Controls whose caption is cut off: wider than the room the control has.
std::string CutCaptions(CTiltwiseDlg& dlg) {
    std::string cut;
    for (const ControlSpec& spec : DialogControls()) {
        QWidget* w = dlg.Control(spec.id);
        QString text;
        int room = w->width();
        if (auto* l = qobject_cast<QLabel*>(w)) {
            text = l->text();
            room = l->contentsRect().width();
        }
        if (auto* b = qobject_cast<QPushButton*>(w)) text = b->text();
        if (w->isVisible() && w->fontMetrics().horizontalAdvance(text) > room)
            cut += std::to_string(spec.id) + " ";
    }
    return cut;
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
        const QRect area(QPoint(0, 0), screen);
        EXPECT_TRUE(area.contains(dlg.frameGeometry())) << screen.height();
        // A window manager's title bar of 30 px still fits above it.
        EXPECT_LE(dlg.height() + 30, screen.height());
        for (const auto& [name, place] : ShownControls(dlg))
            EXPECT_TRUE(dlg.rect().contains(place)) << name.toStdString() << " " << screen.height();
        EXPECT_EQ(CutCaptions(dlg), "");

        const QSize smallest = dlg.minimumSize();
        EXPECT_LT(smallest.width(), dlg.width());
        EXPECT_LT(smallest.height(), dlg.height());
        dlg.resize(smallest);
        QApplication::processEvents();
        for (const auto& [name, place] : ShownControls(dlg))
            EXPECT_TRUE(dlg.rect().contains(place)) << name.toStdString() << " smallest";
        EXPECT_EQ(CutCaptions(dlg), "") << "smallest";
        // Still a window to read: its text no smaller than 11 px.
        EXPECT_GE(QFontInfo(dlg.Control(1001)->font()).pixelSize(), 11);
    }
}

std::string Where(QWidget* w) {
    const QRect g = w->geometry();
    return std::to_string(g.x()) + "," + std::to_string(g.y()) + " " + std::to_string(g.width()) +
           "x" + std::to_string(g.height());
}

TEST_P(WindowFitTest, DraggingTheFrameInSmallStepsPlacesEveryControlAsOneStepDoes) {
    auto dragged = Make(GetParam());
    auto direct = Make(GetParam());
    for (CTiltwiseDlg* dlg : {dragged.get(), direct.get()}) {
        dlg->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg));
    }
    const QSize start = dragged->size();
    const QSize target = start * 1.3;
    for (int step = 1; step <= 40; ++step) {
        dragged->resize(start + (target - start) * step / 40);
        QApplication::processEvents();
    }
    direct->resize(target);
    QApplication::processEvents();
    ASSERT_EQ(dragged->size(), direct->size());
    for (const ControlSpec& spec : DialogControls())
        EXPECT_EQ(Where(dragged->Control(spec.id)), Where(direct->Control(spec.id))) << spec.id;
}

INSTANTIATE_TEST_SUITE_P(BothTemplates, WindowFitTest,
                         ::testing::Values(Language::English, Language::Chinese),
                         [](const ::testing::TestParamInfo<Language>& param) {
                             return param.param == Language::English ? "English" : "Chinese";
                         });

}  // namespace
