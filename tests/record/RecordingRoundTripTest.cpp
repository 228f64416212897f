// Files the recorder wrote, read back: a continued file, a Browse switch and
// values never sent give the rows that went in, and export to them.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "CsvRecorder.h"
#include "RecordTestSupport.h"
#include "Recording.h"
#include "RecordingExport.h"

using record_test::At;

namespace {

constexpr std::chrono::seconds kWait{10};

struct Sent {
    std::string x, y, t;
};

// A number text as a test reads it: NaN where empty.
double Number(const std::string& text) {
    return text.empty() ? std::nan("") : std::strtod(text.c_str(), nullptr);
}

}  // namespace

using RecordingRoundTrip = record_test::TempFolderTest;

TEST_F(RecordingRoundTrip, ContinuedAndBrowsedFilesReadBackAsTheRowsRecordedAndExportThem) {
    record_test::InZone utc("UTC");
    // 2024-03-05 09:07:03.045 UTC, then a row every 200 ms.
    record_test::FakeClock clock(At(2024, 3, 5, 9, 7, 3, 45));
    const int64_t firstMs = 1709629623045;
    RecorderOptions options;
    options.writePeriod = std::chrono::hours(1);
    options.rotateAboveBytes = 200;  // a few rows per file, then a file without header
    CsvRecorder recorder(clock, options);
    const std::string first = PathOf("first"), second = PathOf("second");
    record_test::fs::create_directories(first);
    record_test::fs::create_directories(second);
    ASSERT_TRUE(recorder.Start(first, "Tiltscope"));

    std::vector<Sent> sent;
    for (int i = 0; i < 30; ++i) {
        // The temperature is never sent at first; the resolution changes midway.
        const Sent s{i < 15 ? std::to_string(i) + ".25" : std::to_string(i) + ".1250",
                     "-0." + std::to_string(10 + i), i < 5 ? "" : "23.50"};
        recorder.AppendRow(s.x, s.y, s.t);
        sent.push_back(s);
        clock.AdvanceMs(200);
        if (i % 4 == 3) {
            ASSERT_TRUE(recorder.WriteNow(kWait));
        }
        if (i == 17) recorder.ChangeFolder(second, "Tiltscope");  // Browse
    }
    recorder.Stop();

    std::vector<std::string> files;
    for (const std::string& folder : {first, second}) {
        for (const std::string& name : CsvFilesIn(folder)) files.push_back(folder + "/" + name);
    }
    ASSERT_GE(files.size(), 4u);
    const Recording r = ReadRecordings(files);
    EXPECT_TRUE(r.problems.empty());
    EXPECT_EQ(r.unreadableRows, 0u);
    ASSERT_EQ(r.traces.size(), 1u);
    const RecordedTrace& t = r.traces[0];
    ASSERT_EQ(t.Size(), sent.size());
    std::vector<std::string> exported;
    const std::string text = ExportText(r, INT64_MIN, INT64_MAX);
    for (size_t at = 0, nl; (nl = text.find('\n', at)) != std::string::npos; at = nl + 1)
        exported.push_back(text.substr(at, nl - at));
    ASSERT_EQ(exported.size(), sent.size() + 1);
    for (size_t i = 0; i < sent.size(); ++i) {
        SCOPED_TRACE("row " + std::to_string(i));
        EXPECT_EQ(t.utcMs[i], firstMs + 200 * static_cast<int64_t>(i));
        EXPECT_EQ(t.x[i], Number(sent[i].x));
        EXPECT_EQ(t.y[i], Number(sent[i].y));
        EXPECT_EQ(std::isnan(t.temperature[i]), sent[i].t.empty());
        const std::string tail = "," + sent[i].x + "," + sent[i].y + "," + sent[i].t;
        EXPECT_EQ(exported[i + 1].substr(exported[i + 1].size() - tail.size()), tail);
    }
    EXPECT_EQ(exported[1], ",2024-03-05T09:07:03.045+00:00,0.25,-0.10,");
}
