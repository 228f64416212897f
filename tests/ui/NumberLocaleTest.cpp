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

class NumberLocaleTest : public WindowFixture, public ::testing::WithParamInterface<const char*> {
protected:
    static void SetUpTestSuite() {
        char pattern[] = "/tmp/tiltscope-locales-XXXXXX";
        if (!::mkdtemp(pattern)) return;
        folder_ = pattern;
        // localedef's warnings give it a non-zero status: whether setlocale takes the result says.
        for (const std::string name : {"de_DE", "ru_RU"}) {
            const std::string make =
                "localedef -i " + name + " -f UTF-8 " + folder_ + "/" + name + ".UTF-8";
            ::system((make + " >/dev/null 2>&1").c_str());
        }
    }
    static void TearDownTestSuite() {
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }
    void SetUp() override {
        WindowFixture::SetUp();
        previous_ = ::setlocale(LC_ALL, nullptr);
    }
    void TearDown() override { ::setlocale(LC_ALL, previous_.c_str()); }

    static std::string folder_;
    std::string previous_;
};
std::string NumberLocaleTest::folder_;

TEST_P(NumberLocaleTest, NumberTextsAreTheSameAsUnderC) {
    ::setenv("LOCPATH", folder_.c_str(), 1);
    const bool made = ::setlocale(LC_ALL, GetParam()) != nullptr;
    ::unsetenv("LOCPATH");
    if (!made)
        GTEST_SKIP() << GetParam() << " cannot be made: needs localedef and "
                     << "/usr/share/i18n/locales (Debian: apt-get install locales)";
    ASSERT_STRNE(::localeconv()->decimal_point, ".");

    auto dlg = Make(Language::English);
    std::filesystem::create_directories(scratch.Root() + "/data");
    RecordButton(*dlg)->click();
    const std::string file = dlg->Recorder().CurrentPath();
    dlg->DeliverMeasurement(Measurement{-55.97, 86.52, -29.67});
    emit dlg->ParameterList()->WM_LISTEX_ENDEDIT(1, 1, QStringLiteral("0.001"));
    dlg->DeliverMeasurement(Measurement{1.23456, -0.5, 23.5});
    RecordButton(*dlg)->click();
    const std::string text = record_test::ReadFile(file);
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
