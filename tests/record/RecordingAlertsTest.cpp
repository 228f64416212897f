#include <gtest/gtest.h>

#include <cerrno>

#include "RecordingAlerts.h"

namespace {

using namespace std::chrono_literals;

class RecordingAlertsTest : public ::testing::Test {
protected:
    std::vector<RecordingEvent> Look(std::chrono::seconds at) {
        std::vector<RecordingEvent> events;
        for (const RecordingNews& n : alerts.Check(fault, stats, start + at)) {
            events.push_back(n.event);
            lastNews = n;
        }
        return events;
    }
    void Fail(WriteTrouble trouble, int error, bool fileMade = true) {
        if (fault.trouble != trouble) ++fault.number;
        fault.trouble = trouble;
        fault.error = error;
        fault.fileMade = fileMade;
        fault.path = "/data/Tiltscope_20240305090703.csv";
    }
    void Recover() { fault.trouble = WriteTrouble::None; }

    RecordingAlerts alerts;
    WriteFault fault;
    RecorderStats stats;
    RecordingNews lastNews{RecordingEvent::WritingAgain, {}, 0};
    const RecordingAlerts::TimePoint start{};
    using Events = std::vector<RecordingEvent>;
};

TEST_F(RecordingAlertsTest, AFaultIsToldOnceWithItsKind) {
    EXPECT_EQ(Look(0s), Events{});
    Fail(WriteTrouble::Refused, EACCES, false);
    EXPECT_EQ(Look(1s), Events{RecordingEvent::CannotCreate});
    EXPECT_EQ(lastNews.fault.error, EACCES);
    EXPECT_EQ(Look(2s), Events{});
    EXPECT_EQ(Look(3600s), Events{});  // no repeat period: a box is enough

    Recover();
    EXPECT_EQ(Look(3601s), Events{RecordingEvent::WritingAgain});
    Fail(WriteTrouble::Refused, EROFS);
    EXPECT_EQ(Look(3602s), Events{RecordingEvent::CannotWrite});
    Fail(WriteTrouble::DiskFull, ENOSPC);
    EXPECT_EQ(Look(3603s), Events{RecordingEvent::DiskFull});
}

TEST_F(RecordingAlertsTest, ALastingFaultIsToldAgainAtTheRepeatPeriod) {
    alerts = RecordingAlerts(60s);
    Fail(WriteTrouble::DiskFull, ENOSPC);
    EXPECT_EQ(Look(0s), Events{RecordingEvent::DiskFull});
    EXPECT_EQ(Look(59s), Events{});
    stats.rowsHeld = 1200;
    EXPECT_EQ(Look(60s), Events{RecordingEvent::StillFailing});
    EXPECT_EQ(lastNews.rowsHeld, 1200u);
    EXPECT_EQ(Look(119s), Events{});
    EXPECT_EQ(Look(120s), Events{RecordingEvent::StillFailing});
    Recover();
    EXPECT_EQ(Look(121s), Events{RecordingEvent::WritingAgain});
    EXPECT_EQ(lastNews.fault.error, ENOSPC);  // what it was that ended
    EXPECT_EQ(Look(240s), Events{});
}

TEST_F(RecordingAlertsTest, DropsAreToldWhenTheyStartOncePerFault) {
    Fail(WriteTrouble::DiskFull, ENOSPC);
    EXPECT_EQ(Look(0s), Events{RecordingEvent::DiskFull});
    stats.rowsDropped = 10;
    EXPECT_EQ(Look(1s), Events{RecordingEvent::Dropping});
    stats.rowsDropped = 500;
    EXPECT_EQ(Look(2s), Events{});
    Recover();
    EXPECT_EQ(Look(3s), Events{RecordingEvent::WritingAgain});
    Fail(WriteTrouble::DiskFull, ENOSPC);
    EXPECT_EQ(Look(4s), Events{RecordingEvent::DiskFull});  // not Dropping: none new yet
    stats.rowsDropped = 501;
    EXPECT_EQ(Look(5s), Events{RecordingEvent::Dropping});
}

TEST_F(RecordingAlertsTest, AFaultThatCameAndWentBetweenTwoLooksIsNotToldButItsDropsAre) {
    Fail(WriteTrouble::DiskFull, ENOSPC);
    Recover();
    stats.rowsDropped = 3;
    EXPECT_EQ(Look(0s), Events{RecordingEvent::Dropping});
    EXPECT_EQ(Look(1s), Events{});
}

TEST_F(RecordingAlertsTest, ANewRecordingsFirstFaultIsToldAgain) {
    Fail(WriteTrouble::Refused, EACCES, false);
    EXPECT_EQ(Look(0s), Events{RecordingEvent::CannotCreate});
    alerts.Reset();
    EXPECT_EQ(Look(1s), Events{RecordingEvent::CannotCreate});
    // Without a Reset, the recorder numbering its faults from one again says the same.
    alerts.Check(WriteFault{}, RecorderStats{}, start + 2s);  // before the new one's first write
    EXPECT_EQ(Look(3s), Events{RecordingEvent::CannotCreate});
}

}  // namespace
