#include <gtest/gtest.h>

#include <QTest>

#include "DialogTemplate.h"
#include "WindowFixture.h"

namespace {

class WindowFitTest : public WindowFixture, public ::testing::WithParamInterface<Language> {};

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
