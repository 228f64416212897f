#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "ChunkSink.h"
#include "CsvFormat.h"
#include "LocalClock.h"

// What the recorder is doing, as the window may show it. Rows go to the
// buffer named here; the writer takes the other one.
enum class RecorderState : uint8_t { Idle = 0, FillingA = 1, FillingB = 2 };

struct RecorderOptions {
    // How often the writer thread takes the filled buffer and writes it.
    std::chrono::milliseconds writePeriod{3000};
    // A file larger than this is continued in a new one (exactly this size is not).
    uint64_t rotateAboveBytes = 40ull * 1024 * 1024;
    // Rows kept while the disk refuses them; past this the oldest go first.
    uint64_t heldBytesLimit = 64ull * 1024 * 1024;
    // A buffer that has collected this much is written at once, not at the end
    // of the period: on a fast line the buffers stay this small.
    uint64_t earlyWriteBytes = 8ull * 1024 * 1024;
    // A column before the header's first, with its comma ("Address"); rows then
    // carry their own first field in front of x. Empty: the header as it always was.
    std::string leadColumn;
    // Where chunks go; null means the real disk. Not owned; must outlive the recorder.
    ChunkSink* sink = nullptr;
};

// Why the disk does not take the rows.
enum class WriteTrouble : uint8_t {
    None,
    DiskFull,  // no space or quota left: passes by itself; the rows are held meanwhile
    Refused,   // permission, read-only file system, a folder that cannot be made, ...
};

// The recording's latest write failure, for the operator.
struct WriteFault {
    WriteTrouble trouble = WriteTrouble::None;  // None once a write succeeds again
    int error = 0;                              // the system's reason, an errno value
    std::string path;                           // the file that could not be written
    bool fileMade = false;  // this recording has put its header on the disk already
    uint64_t number = 0;    // counts the faults of this recording; a new number is a new fault
};

// Counters of the current (or last) recording; Start resets them.
struct RecorderStats {
    uint64_t rowsWritten = 0;    // on the disk
    uint64_t rowsDropped = 0;    // given up, oldest first, past heldBytesLimit
    uint64_t rowsAbandoned = 0;  // still refused by the disk when the recording stopped
    uint64_t rowsHeld = 0;       // refused by the disk, kept in memory for the next write
    uint64_t rowsCollected = 0;  // waiting for the next write
    uint64_t bytesHeld = 0;      // in memory, not yet on the disk
    uint64_t failedWrites = 0;   // chunk attempts the disk refused (each is retried)
    uint64_t chunksWritten = 0;
};

// The CSV recorder: rows are appended to memory on the caller's thread (the
// measurement path never waits for the disk) and one writer thread per
// recording puts them into the file every writePeriod.
//
// Start, Stop and ChangeFolder are meant for one controlling thread (the UI);
// AppendRow and the accessors may be called from any thread.
class CsvRecorder {
public:
    explicit CsvRecorder(Clock& clock, RecorderOptions options = {});
    ~CsvRecorder();  // stops, writing what is collected

    CsvRecorder(const CsvRecorder&) = delete;
    CsvRecorder& operator=(const CsvRecorder&) = delete;

    // Begins a recording in a new file named from the current time; the header
    // is its first line, written at once so that a folder that takes no files is
    // known at the start (see Fault). A recording in progress is stopped first.
    // False when the writer thread cannot be started (the recorder stays idle).
    // The folder is created when missing.
    bool Start(const std::string& folder, const std::string& prefix);

    // Writes every row collected so far, then ends the writer. Returns once the
    // rows are on the disk (or the disk refused them, see rowsAbandoned).
    void Stop();

    // Browse, chosen or cancelled: a new file name in `folder` from the current
    // time, returned for display. During a recording the rows continue in that
    // file from the next write on, without a header; the old file stays as
    // written. While idle it only names the file the display shows (also the
    // first name at start-up).
    std::string ChangeFolder(const std::string& folder, const std::string& prefix);

    // The file names made from now on (rotation, Browse) use this prefix.
    void SetPrefix(const std::string& prefix);

    // One row made from the readout's value texts and the current time. Does
    // nothing while idle.
    void AppendRow(const std::string& x, const std::string& y, const std::string& temperature);
    // The same, stamped `at`: a row that is also published elsewhere carries
    // one time in both places.
    void AppendRow(const std::string& x, const std::string& y, const std::string& temperature,
                   const LocalTime& at);

    // Wakes the writer for a cycle at once and waits until a cycle that began
    // after this call has finished. False when idle or on time-out.
    bool WriteNow(std::chrono::milliseconds timeout);

    bool IsRecording() const { return recording_.load(std::memory_order_relaxed); }
    RecorderState State() const;
    // The file being written; rotation on the writer thread changes it too.
    std::string CurrentPath() const;
    std::string Folder() const;
    RecorderStats Stats() const;
    WriteFault Fault() const;
    uint64_t HeldBytesLimit() const { return options_.heldBytesLimit; }

private:
    void StopLocked();  // controlMutex_ held
    void WriterMain();
    uint64_t TakeFilledBuffer();  // mutex_ held; returns the rows taken
    void WriteHeld(uint64_t takenRows);
    void NoteFault(const std::string& path);
    std::string PathForChunk();
    AppendResult AppendWithFallbacks(const std::string& path);
    // The held rows in fresh files no larger than the file-size limit; the rows
    // of each piece written are counted, the rest stay held.
    AppendResult WriteInPieces();
    // Append to the recording's own file, Create any other.
    AppendResult Put(const std::string& path);
    AppendResult PutUnderOwnName(const std::string& path);
    void TrimHeld();
    void MakeRoomFor(std::string& incoming);
    std::string FreshName();
    void Count(uint64_t RecorderStats::*counter, uint64_t amount);

    Clock& clock_;
    const RecorderOptions options_;
    std::unique_ptr<ChunkSink> ownSink_;
    ChunkSink& sink_;

    std::mutex controlMutex_;  // one Start/Stop/ChangeFolder at a time
    std::thread writer_;       // under controlMutex_: at most one per recording

    mutable std::mutex mutex_;  // guards the state shared with the writer, down to stats_
    std::condition_variable wake_;
    std::condition_variable cycleDone_;
    // Written under mutex_; read without it too, for a cheap idle check.
    std::atomic<bool> recording_{false};
    bool stopping_ = false;
    std::string buffers_[2];
    int front_ = 0;  // the buffer AppendRow fills
    uint64_t frontRows_ = 0;
    bool earlyWriteAsked_ = false;
    std::string folder_;
    std::string prefix_;
    std::string path_;
    uint64_t writeRequested_ = 0;
    uint64_t writeServed_ = 0;
    RecorderStats stats_;  // bytesHeld counts held_ only; Stats() adds the filling buffer
    WriteFault fault_;

    // The writer thread's own: taken rows not yet on the disk.
    std::string held_;
    // The file this recording has written to: only it may be appended to.
    std::string ownFile_;
    uint64_t heldRows_ = 0;
    size_t heldHeaderBytes_ = 0;  // a header at the front of held_, never dropped
    bool headerDue_ = false;
    bool backlog_ = false;  // held_ holds rows a write has refused
    std::string spare_;     // an empty buffer handed to AppendRow at each take
};
