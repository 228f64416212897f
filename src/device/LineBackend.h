#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "LineCodec.h"
#include "LineSettings.h"

// One way of reaching a serial line: a tty, or a TCP connection to a device
// server (raw, telnet with the COM port option, Modbus TCP). The channel runs
// every backend alike; what differs is how the descriptor is opened, what is
// purged, which errors end the line and how its bytes are coded on the wire.
class LineBackend {
public:
    // A configuration step of an open line that failed: its call's name and errno.
    using Report = std::function<void(const char* call, int err)>;

    virtual ~LineBackend() = default;

    // False when the line cannot be opened, errno telling why. Settings that
    // cannot be applied are reported and leave the line open.
    virtual bool Open(const LineSettings& line, const Report& report) = 0;
    // Releases the descriptor; the object stays until the channel drops it.
    virtual void Close() = 0;
    int Fd() const { return fd_; }
    LineCodec& Codec() { return *codec_; }

    // Whatever arrived before anyone listened (a tty's driver buffers).
    virtual void DiscardStale() {}
    // A request the line has not sent yet is stale once a newer one is queued.
    virtual void DiscardUnsent() {}
    // Bytes the far end has not taken yet: a newer request waits for them.
    virtual int Unsent() const { return 0; }
    // With nothing queued, a read still tells whether the far end has closed.
    virtual bool ReadTellsEnd() const { return false; }
    // Called after each read that took bytes.
    virtual void AfterRead() {}
    virtual ssize_t Write(const uint8_t* bytes, size_t count);
    // Errors after which the line is of no further use.
    virtual bool Gone(int err) const = 0;
    // A connection to a device server rather than a tty.
    virtual bool Network() const { return false; }
    // Something the operator should know about the far end, said once.
    virtual LineNotice TakeNotice() { return codec_->TakeNotice(); }
    // Why the last Open failed, when errno alone does not say it ("cannot
    // resolve HOST: ..."); empty otherwise.
    const std::string& OpenFailure() const { return openFailure_; }

protected:
    explicit LineBackend(std::unique_ptr<LineCodec> codec) : codec_(std::move(codec)) {}
    int fd_ = -1;
    std::string openFailure_;

private:
    std::unique_ptr<LineCodec> codec_;
};

// The backend for a port: a device server when `server` holds an address,
// else the tty at `devicePath`.
std::unique_ptr<LineBackend> MakeLineBackend(const std::string& devicePath,
                                             const std::string& server,
                                             std::chrono::milliseconds connectTimeout);
