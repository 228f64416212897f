// The review window over recordings written here in the window's own format.

#include <gtest/gtest.h>

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QImage>
#include <QMimeData>
#include <QProcess>
#include <QTest>
#include <QUrl>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "ChartAxis.h"
#include "ChartClockAxis.h"
#include "ChartCtrl.h"
#include "ChartLabel.h"
#include "ChartLineSerie.h"
#include "ChartStandardAxis.h"
#include "DialogTemplate.h"
#include "ReviewChart.h"
#include "ReviewWnd.h"
#include "WindowFixture.h"

namespace {

const QRgb kXRed = qRgb(220, 0, 0);
const QRgb kYGreen = qRgb(0, 139, 0);

// Rows every 200 ms from 13:50:00.000: X 1.00 and Y 2.00 for ten seconds,
// nothing for twenty, then X 3.00 and Y 2.00 for ten more; no temperature.
std::string WriteRecording(const std::string& folder, bool withBadLine = false) {
    const std::string path = folder + "/Tiltscope_20261210135000.csv";
    std::ofstream out(path, std::ios::binary);
    out << "X(deg),Y(deg),Temperature, Time\r\n";
    for (int t = 0; t < 40000; t += 200) {
        if (t >= 10000 && t < 30000) continue;
        out << (t < 10000 ? "1.00" : "3.00") << ",2.00,,2026-12-10 13:50:" << t / 1000 << "'"
            << t % 1000 << " \r\n";
        if (withBadLine && t == 400) out << "1.00,2.00\r\n";
    }
    return path;
}

bool WaitLoaded(CReviewWnd& review) {
    return ProcessUntil([&review] { return review.IsLoaded(); }, std::chrono::seconds(30));
}

class ReviewWindowTest : public WindowFixture {};

TEST_F(ReviewWindowTest, GapLeavesNoTraceAndTracesLieWhereTheValuesSay) {
    CReviewWnd review({WriteRecording(scratch.Root())}, Language::English, scratch.Root());
    review.resize(1000, 640);
    review.show();
    review.StartLoading();
    ASSERT_TRUE(WaitLoaded(review));
    const int64_t t0 = review.Loaded()->traces.at(0).utcMs.at(0);
    ReviewChart& chart = review.Traces();
    chart.Bottom()->SetVisibleRange(static_cast<double>(t0), static_cast<double>(t0 + 40000));
    chart.Left()->SetVisibleRange(0, 4);
    review.Chart()->Refresh();
    const QImage image = review.Chart()->grab().toImage();

    const int xs = chart.Bottom()->GetStartPixel(), xe = chart.Bottom()->GetEndPixel();
    const int ys = chart.Left()->GetStartPixel(), ye = chart.Left()->GetEndPixel();
    auto x = [&](int ms) { return xs + static_cast<int>(std::floor((xe - xs) * ms / 40000.0)); };
    auto y = [&](double v) { return ys - static_cast<int>(std::floor((ys - ye) * v / 4.0)); };
    for (int ms : {1000, 5000, 9000}) {
        EXPECT_EQ(image.pixel(x(ms), y(1.0)), kXRed) << ms;
        EXPECT_EQ(image.pixel(x(ms), y(2.0)), kYGreen) << ms;
    }
    for (int ms : {31000, 35000, 39000}) {
        EXPECT_EQ(image.pixel(x(ms), y(3.0)), kXRed) << ms;
        EXPECT_EQ(image.pixel(x(ms), y(2.0)), kYGreen) << ms;
    }
    // The last sample before the gap (9.8 s) ends its line; the first after it starts one.
    int traced = 0;
    for (int column = x(9800); column < x(30000); ++column) {
        for (int row = ye; row <= ys; ++row) {
            const QRgb p = image.pixel(column, row);
            if (p == kXRed || p == kYGreen) ++traced;
        }
    }
    EXPECT_EQ(traced, 0);
}

TEST_F(ReviewWindowTest, ReadoutIsInClockTimeAndDegrees) {
    CReviewWnd review({WriteRecording(scratch.Root())}, Language::English, scratch.Root());
    review.resize(1000, 640);
    review.show();
    review.StartLoading();
    ASSERT_TRUE(WaitLoaded(review));
    const int64_t t0 = review.Loaded()->traces.at(0).utcMs.at(0);
    ReviewChart& chart = review.Traces();
    // Ranges of 100 ms and 0.01° per pixel, set until the layout holds still.
    int width = 0, height = 0;
    for (int i = 0; i < 3; ++i) {
        width = chart.Bottom()->GetEndPixel() - chart.Bottom()->GetStartPixel();
        height = chart.Left()->GetStartPixel() - chart.Left()->GetEndPixel();
        chart.Bottom()->SetVisibleRange(t0, t0 + width * 100.0);
        chart.Left()->SetVisibleRange(0, height * 0.01);
        review.Chart()->Refresh();
    }
    review.OnChartCommand(cmd::kCrossHair);
    review.OnChartCommand(cmd::kYAxisRuler);  // in the middle of the time shown
    review.Chart()->OnMouseMove(chart.Bottom()->GetStartPixel() + 50,
                                chart.Left()->GetStartPixel() - 100);
    review.UpdateReadout();
    const QStringList r = review.ReadoutTexts();
    // 50 pixels in is 5 s after the first row's stamp, 13:50:0'0.
    EXPECT_EQ(r[0], "xPos:2026-12-10 13:50:05.000");
    EXPECT_EQ(r[1], QStringLiteral("yPos:1.000°"));
    char diff[32];
    std::snprintf(diff, sizeof diff, "xDiff:%d.%03d s", (width * 50 - 5000) / 1000,
                  (width * 50 - 5000) % 1000);
    EXPECT_EQ(r[2], diff);
    EXPECT_EQ(r[3], "");  // no horizontal ruler, no distance to it

    // The cross-hair stands on the X row of 5 s: a click shows it as recorded.
    review.OnChartCommand(cmd::kCrossHair);
    review.Chart()->OnLButtonDown(chart.Bottom()->GetStartPixel() + 50,
                                  chart.Left()->GetStartPixel() - 100);
    ASSERT_NE(chart.BalloonHolder(), nullptr);
    EXPECT_EQ(chart.BalloonHolder()->GetLabel(0)->GetText(),
              QStringLiteral("X=1.00°  13:50:05.000").toStdString());
}

TEST_F(ReviewWindowTest, SaysWhatCouldNotBeReadInEitherLanguageAndExportsTheTimeShown) {
    const std::vector<std::string> files = {WriteRecording(scratch.Root(), true),
                                            scratch.Root() + "/missing.csv"};
    CReviewWnd english(files, Language::English, scratch.Root());
    CReviewWnd chinese(files, Language::Chinese, scratch.Root());
    english.StartLoading();
    chinese.StartLoading();
    ASSERT_TRUE(WaitLoaded(english));
    ASSERT_TRUE(WaitLoaded(chinese));
    EXPECT_TRUE(english.SummaryText().contains("100 rows from 1 sensor; 1 row could not be read"))
        << english.SummaryText().toStdString();
    EXPECT_TRUE(english.SummaryText().contains("/missing.csv"));
    EXPECT_TRUE(
        chinese.SummaryText().contains(QStringLiteral("已读取 100 行，1 个传感器；1 行无法读取")))
        << chinese.SummaryText().toStdString();
    EXPECT_TRUE(chinese.SummaryText().contains("/missing.csv"));

    // The last ten seconds shown: their 50 rows and the header.
    const int64_t t0 = english.Loaded()->traces.at(0).utcMs.at(0);
    english.Traces().Bottom()->SetVisibleRange(static_cast<double>(t0 + 30000),
                                               static_cast<double>(t0 + 39800));
    std::string error;
    const std::string out = scratch.Root() + "/visible.csv";
    ASSERT_TRUE(english.ExportVisibleRange(out, error)) << error;
    std::ifstream in(out);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), 51u);
    // The first row shown is the first after the gap, its values as recorded.
    const std::string first = lines[1].substr(0, lines[1].find_last_not_of('\r') + 1);
    EXPECT_EQ(first.substr(first.size() - 11), ",3.00,2.00,") << first;
}

TEST_F(ReviewWindowTest, RecordingDroppedOnTheMainWindowOpensForReview) {
    auto dlg = Make(Language::English);
    const std::string file = WriteRecording(scratch.Root());
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(file))});
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(dlg.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(dlg.get(), &drop);
    const QList<CReviewWnd*> reviews = dlg->findChildren<CReviewWnd*>();
    ASSERT_EQ(reviews.size(), 1);
    EXPECT_EQ(reviews[0]->Paths(), std::vector<std::string>{file});
    ASSERT_TRUE(WaitLoaded(*reviews[0]));
    EXPECT_EQ(reviews[0]->Traces().Traces().size(), 2u);  // X and Y; no temperature was sent
}

TEST_F(ReviewWindowTest, CtrlOOnTheMainWindowOpensThePickedRecordings) {
    const std::string file = WriteRecording(scratch.Root());
    DialogContext context = Context(Language::English);
    context.pickRecordings = [&file] { return QStringList{QString::fromStdString(file)}; };
    CTiltwiseDlg dlg(context);
    dlg.InitWindow();
    dlg.show();
    dlg.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    QTest::keyClick(&dlg, Qt::Key_O, Qt::ControlModifier);
    const QList<CReviewWnd*> reviews = dlg.findChildren<CReviewWnd*>();
    ASSERT_EQ(reviews.size(), 1);
    EXPECT_EQ(reviews[0]->Paths(), std::vector<std::string>{file});
}

TEST_F(ReviewWindowTest, CommandLineScreenshotShowsTheRecording) {
    const std::string file = WriteRecording(scratch.Root());
    const QString picture = QString::fromStdString(scratch.Root() + "/shot.png");
    QProcess tiltscope;
    tiltscope.setWorkingDirectory(QString::fromStdString(scratch.Bin()));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.remove("TILTSCOPE_CALLER_DIR");
    tiltscope.setProcessEnvironment(env);
    tiltscope.start(TILTSCOPE_PATH, {QString::fromStdString(file), "--screenshot", picture});
    ASSERT_TRUE(tiltscope.waitForFinished(120000));
    EXPECT_EQ(tiltscope.exitCode(), 0) << tiltscope.readAllStandardError().toStdString();
    const QImage shot(picture);
    ASSERT_FALSE(shot.isNull());
    int red = 0;
    for (int row = 0; row < shot.height(); ++row) {
        for (int column = 0; column < shot.width(); ++column)
            red += shot.pixel(column, row) == kXRed;
    }
    EXPECT_GT(red, 100);
}

}  // namespace
