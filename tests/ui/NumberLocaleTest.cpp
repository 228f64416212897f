// The window's number texts under comma-decimal locales: the same as under C.
// The locales are compiled with localedef into a folder of the test's own.

#include <gtest/gtest.h>
#include <locale.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "ListCtrlEx.h"
#include "MeasuringTools.h"
#include "RecordTestSupport.h"
#include "TickMath.h"
#include "WindowFixture.h"

namespace {

namespace fs = std::filesystem;

class NumberLocaleTest : public WindowFixture, public ::testing::WithParamInterface<const char*> {
protected:
    static void SetUpTestSuite() {
        if (!fs::exists("/usr/share/i18n/locales/de_DE") ||
            ::system("command -v localedef >/dev/null") != 0)
            return;
        char pattern[] = "/tmp/tiltscope-locales-XXXXXX";
        if (!::mkdtemp(pattern)) return;
        folder_ = pattern;
        for (const char* name : {"de_DE", "ru_RU"}) {
            const std::string made = "localedef -i " + std::string(name) + " -f UTF-8 " + folder_ +
                                     "/" + name + ".UTF-8 >/dev/null 2>&1";
            ::system(made.c_str());  // warnings give a non-zero status; setlocale says
        }
    }
    static void TearDownTestSuite() {
        std::error_code ec;
        if (!folder_.empty()) fs::remove_all(folder_, ec);
    }
    void SetUp() override {
        WindowFixture::SetUp();
        previous_ = ::setlocale(LC_ALL, nullptr);
    }
    void TearDown() override { ::setlocale(LC_ALL, previous_.c_str()); }

    // Records two readings, with a resolution typed in the list between them.
    std::string RecordTwoRows(CTiltwiseDlg& dlg) {
        fs::create_directories(scratch.Root() + "/data");
        RecordButton(dlg)->click();
        const std::string file = dlg.Recorder().CurrentPath();
        dlg.DeliverMeasurement(Measurement{-55.97, 86.52, -29.67});
        emit dlg.ParameterList()->WM_LISTEX_ENDEDIT(1, 1, QStringLiteral("0.001"));
        dlg.DeliverMeasurement(Measurement{1.23456, -0.5, 23.5});
        RecordButton(dlg)->click();
        return record_test::ReadFile(file);
    }

    static std::string folder_;
    std::string previous_;
};
std::string NumberLocaleTest::folder_;

TEST_P(NumberLocaleTest, NumberTextsAreTheSameAsUnderC) {
    ::setenv("LOCPATH", folder_.c_str(), 1);
    const bool made = !folder_.empty() && ::setlocale(LC_ALL, GetParam());
    ::unsetenv("LOCPATH");
    if (!made)
        GTEST_SKIP() << GetParam() << " cannot be made: needs localedef and "
                     << "/usr/share/i18n/locales (Debian: apt-get install locales)";
    ASSERT_STRNE(::localeconv()->decimal_point, ".");  // the locale really has a comma

    auto dlg = Make(Language::English);
    const std::string text = RecordTwoRows(*dlg);
    const std::string rows = text.substr(text.find("\r\n") + 2);
    EXPECT_EQ(rows.rfind("-55.97,86.52,-29.67,", 0), 0u) << text;
    EXPECT_NE(rows.find("\r\n1.235,-0.500,23.500,"), std::string::npos) << text;
    timers.Tick(kPlotTimer);
    timers.Tick(kReadoutTimer);
    EXPECT_EQ(dlg->ParameterList()->GetItemText(2, 1), QStringLiteral("1.235deg"));
    EXPECT_EQ(dlg->ParameterList()->GetItemText(3, 1), QStringLiteral("57.2046deg"));
    EXPECT_EQ(CCustomSeriesMouseListener::BalloonText("X", 44.41), "                  X=44.41°");
    EXPECT_EQ(FormatTickLabel(-1.5, 1), "-1.5");
}

INSTANTIATE_TEST_SUITE_P(CommaDecimal, NumberLocaleTest,
                         ::testing::Values("de_DE.UTF-8", "ru_RU.UTF-8"),
                         [](const auto& test) { return std::string(test.param).substr(0, 5); });

}  // namespace
