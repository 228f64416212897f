#include "RecordingAlerts.h"

void RecordingAlerts::Reset() {
    toldFault_ = 0;
    faultLasts_ = false;
    lastFault_ = WriteFault{};
    droppedBefore_ = 0;
    droppingTold_ = false;
    toldAt_ = TimePoint{};
}

std::vector<RecordingNews> RecordingAlerts::Check(const WriteFault& fault,
                                                  const RecorderStats& stats, TimePoint now) {
    // A new recording numbers its faults from one again.
    if (fault.number < toldFault_ || stats.rowsDropped < droppedBefore_) Reset();

    std::vector<RecordingNews> news;
    const bool failing = fault.trouble != WriteTrouble::None;
    if (failing && fault.number != toldFault_) {
        RecordingEvent event = RecordingEvent::DiskFull;
        if (fault.trouble == WriteTrouble::Refused)
            event = fault.fileMade ? RecordingEvent::CannotWrite : RecordingEvent::CannotCreate;
        news.push_back({event, fault, stats.rowsHeld});
        toldFault_ = fault.number;
        toldAt_ = now;
    } else if (failing && repeat_.count() > 0 && now - toldAt_ >= repeat_) {
        news.push_back({RecordingEvent::StillFailing, fault, stats.rowsHeld});
        toldAt_ = now;
    } else if (!failing && faultLasts_) {
        news.push_back({RecordingEvent::WritingAgain, lastFault_, stats.rowsHeld});
    }
    faultLasts_ = failing;
    if (failing) lastFault_ = fault;

    // Told when they start, once per fault: after that the count grows quietly.
    if (stats.rowsDropped > droppedBefore_ && !droppingTold_) {
        news.push_back({RecordingEvent::Dropping, failing ? fault : lastFault_, stats.rowsHeld});
        droppingTold_ = true;
    }
    if (!failing) {
        droppedBefore_ = stats.rowsDropped;
        droppingTold_ = false;
    }
    return news;
}
