#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Where the writer thread puts its chunks. An interface so that tests can make
// the disk fail on demand; PosixChunkSink is the real one.

enum class AppendResult {
    Written,       // every byte is in the file and on the disk
    OpenFailed,    // the file could not be opened or created
    WriteFailed,   // opened, but writing or flushing failed (disk full, I/O error)
    FileTooLarge,  // the process's file-size limit stops this file; a new one may take it
    NameTaken,     // a link, or (Create) another's file, has the name; never written through
};

class ChunkSink {
public:
    virtual ~ChunkSink() = default;

    // False when the file does not exist or cannot be examined.
    virtual bool FileSize(const std::string& path, uint64_t& size) = 0;

    // Appends `data` at the end of the file, creating the file when missing.
    // All or nothing: unless the result is Written, the file is left as it was
    // (a file this call created is removed again), so a retry cannot repeat or
    // tear rows.
    virtual AppendResult Append(const std::string& path, std::string_view data) = 0;

    // As Append, for a file the recording has not written yet: a link at the
    // name, or a file that is not a plain file of our own, is NameTaken, so that
    // nobody else's file is ever written through. Sinks without names take it
    // as Append.
    virtual AppendResult Create(const std::string& path, std::string_view data) {
        return Append(path, data);
    }

    // Creates the folder and any missing parents; true when it exists afterwards.
    virtual bool MakeFolder(const std::string& folder) = 0;

    // The system's reason (an errno value) why the last Append, Create or
    // MakeFolder did not succeed; 0 when the sink cannot tell.
    virtual int LastError() const { return 0; }
};

// open/write/fsync/close per chunk: the file is never held open between
// chunks, so a user can copy or remove it while a recording runs, and a power
// cut loses at most the rows of the chunk being written.
class PosixChunkSink : public ChunkSink {
public:
    bool FileSize(const std::string& path, uint64_t& size) override;
    AppendResult Append(const std::string& path, std::string_view data) override;
    AppendResult Create(const std::string& path, std::string_view data) override;
    bool MakeFolder(const std::string& folder) override;
    int LastError() const override { return lastError_; }

private:
    AppendResult Write(const std::string& path, std::string_view data, bool mustCreate);
    bool MakeFolders(const std::string& folder);

    int lastError_ = 0;
};
