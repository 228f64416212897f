#include "ExportCommand.h"

#include <sys/stat.h>

#include <cstdint>

#include "Options.h"
#include "Recording.h"
#include "RecordingExport.h"

namespace {

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa {
    }, sb{};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

}  // namespace

int RunExport(const std::string& outPath, const std::vector<std::string>& files, Console& console) {
    // Written over, a recording would be gone before it was read whole.
    for (const std::string& f : files) {
        if (SameFile(outPath, f)) {
            console.Message("--export: '" + outPath + "' is one of the recordings to read");
            return kExitUsage;
        }
    }
    const Recording recording = ReadRecordings(files);
    for (const std::string& problem : recording.problems) console.Message("cannot read " + problem);
    // Part of the rows would look like all of them.
    if (!recording.problems.empty()) {
        console.Message("nothing written to " + outPath);
        return kExitFailure;
    }
    std::string error;
    if (!ExportRecording(recording, INT64_MIN, INT64_MAX, outPath, error)) {
        console.Message("cannot write " + error);
        return kExitFailure;
    }
    size_t rows = 0;
    for (const RecordedTrace& t : recording.traces) rows += t.Size();
    console.Message(std::to_string(rows) + (rows == 1 ? " row of " : " rows of ") +
                    std::to_string(recording.traces.size()) +
                    (recording.traces.size() == 1 ? " sensor" : " sensors") + " written to " +
                    outPath + "; " + std::to_string(recording.unreadableRows) +
                    (recording.unreadableRows == 1 ? " row" : " rows") + " could not be read");
    return kExitOk;
}
