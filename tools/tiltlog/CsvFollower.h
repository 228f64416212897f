#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "LocalClock.h"
#include "LocalZone.h"

// Where the feed stands in a sensor's CSV files: `rows` rows of `file` (a
// name in the output folder), counted from its first row on and going on
// into the files after it, reached the broker.
struct FeedPosition {
    std::string file;
    uint64_t rows = 0;
    bool operator==(const FeedPosition& o) const { return file == o.file && rows == o.rows; }
};

// The recorder's files of `prefix` in `folder` (PREFIX_YYYYMMDDhhmmss.csv,
// numbered ...-2.csv when the name was taken), in the order they were begun.
std::vector<std::string> CsvFilesOf(const std::string& folder, const std::string& prefix);

// Reads one sensor's rows back from its CSV files, in order, from file to
// file, while the recorder is still adding to the last one. Only whole lines
// count, so a row being written is read once it is complete, and the cut
// last line of a file that another file followed (a killed run) is passed.
// Reads as it goes: memory stays one block, however long the files are.
class CsvFollower {
public:
    CsvFollower(std::string folder, std::string prefix);
    ~CsvFollower();
    CsvFollower(const CsvFollower& other);
    // A copy stands where the original does, with a descriptor of its own.
    CsvFollower& operator=(const CsvFollower& other);

    // Takes the files there are now as the ones before this run and stands at
    // `at`, never past the last of them. A file that is gone is noted and
    // the next one begins. Without a position it stands after them all.
    void Begin(const FeedPosition* at, std::string& note);

    struct Row {
        std::string x, y, temperature;
        LocalTime at;
    };
    enum class Step { Row, Waiting, Failed };
    // The next row; Waiting when none is complete yet. Failed names the file
    // and the reason in `error`; that file is then left for the next one.
    Step Next(Row& row, std::string& error);
    // Passes up to `n` rows; returns how many. With `oldOnly` it stops at the
    // end of the files Begin found.
    uint64_t Skip(uint64_t n, bool oldOnly, std::string& error);

    // Where the next row is; an empty file when no file is begun yet.
    FeedPosition Where() const { return {file_, row_}; }
    // Rows passed in the files begun after Begin.
    uint64_t RunRows() const { return runRows_; }
    bool InRun() const { return inRun_; }

private:
    enum class Line { Row, Other, None };
    Line ReadLine(std::string& line, std::string& error);
    bool Advance(bool oldOnly);
    bool Open(std::string& error);
    void Close();

    std::string folder_, prefix_;
    std::string lastOld_;  // the last file Begin found
    std::string file_;     // empty: before the first file after after_
    std::string after_;
    uint64_t offset_ = 0;  // of the next line in file_
    uint64_t row_ = 0;     // rows of file_ passed
    bool inRun_ = false;
    uint64_t runRows_ = 0;
    int fd_ = -1;
    std::string block_;  // file_'s bytes from blockAt_ on
    uint64_t blockAt_ = 0;
    LocalZone zone_;
};
