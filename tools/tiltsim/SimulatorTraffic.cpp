#include <errno.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>

#include "LineMatch.h"
#include "Simulator.h"

// How bytes move between the sensors and the client: requests in, replies and
// automatic output queued, the queue written at the line's pace.

namespace {

// A timer that fell this far behind (line blocked) restarts instead of bursting.
constexpr double kMaxAutoLagSeconds = 0.1;
// --auto-hz max: frames made per loop turn while the terminal keeps taking them.
constexpr int kMaxBurstFrames = 64;
// --standard, --auto-hz max: while the client's line differs, frames are dropped
// as soon as they are made; look at the line again this much later, not at once.
constexpr double kLineRecheckSeconds = 0.02;

}  // namespace

// Whether the client's line, as it is set now (or was when `heardOn` came),
// is the line the sensor uses; a standard device talking at other settings
// is garbage to it.
bool Simulator::ClientHears(uint32_t baud, char parity,
                            const std::optional<LineSettings>& heardOn) const {
    if (!args_.sim.standardDevice) return true;
    if (listener_.IsOpen()) return LineMatches(heardOn ? *heardOn : ClientLine(), baud, parity);
    termios tio{};
    // The master reports the slave's settings, which the client sets.
    if (tcgetattr(master_, &tio) != 0) return true;
    return LineMatches(tio, baud, parity);
}

LineSettings Simulator::ClientLine() const {
    const std::optional<LineSettings> set = transport_ ? transport_->ClientLine() : std::nullopt;
    return set ? *set : serverLine_;
}

// Puts what is due on the wire until the client would block; bytes the client
// has not taken wait there, so no frame is ever cut or lost.
void Simulator::Flush(double now) {
    while (master_ >= 0 && DrainWire() && !queue_.Empty() && queue_.FrontDue() <= now) {
        Piece& p = queue_.Front();
        if (p.written == 0 && !ClientHears(p.baud, p.parity)) {
            queue_.DropFrontFrame();
            lineRecheckAt_ = now + kLineRecheckSeconds;
            continue;
        }
        if (p.written == 0 && p.notBefore > now) {
            queue_.WaitFront(p.notBefore);
            return;
        }
        size_t want = p.bytes.size() - p.written;
        if (pacer_) {
            if (!p.paced && !p.pauseBefore)
                pacer_->BeginFrame(now, queue_.FrontFrameBytes(), p.notBefore);
            p.paced = true;
            want = std::min(want, pacer_->Allowance(now));
            if (want == 0) {
                queue_.WaitFront(pacer_->NextByteDone());
                return;
            }
            pacer_->Sent(want);
        }
        const bool frameEnd = p.last && p.written + want == p.bytes.size();
        transport_->Encode(p.bytes.data() + p.written, want, p.tag, frameEnd, wire_);
        wireEndsFrame_ = queue_.Took(want, now);
    }
}

// Writes what waits on the wire; true once all of it is out.
bool Simulator::DrainWire() {
    while (wireSent_ < wire_.size()) {
        const ssize_t n = write(master_, wire_.data() + wireSent_, wire_.size() - wireSent_);
        if (n >= 0) {
            wireSent_ += static_cast<size_t>(n);
            continue;
        }
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return false;  // wait for POLLOUT
        if (listener_.IsOpen() && (errno == EPIPE || errno == ECONNRESET)) {
            DropClient();
            return false;
        }
        perror("tiltsim: write");
        Unplug();
        return false;
    }
    wire_.clear();
    wireSent_ = 0;
    if (!wireEndsFrame_) return true;
    wireEndsFrame_ = false;
    ++framesSent_;
    if (args_.unplugAfter >= 0 && framesSent_ >= static_cast<uint64_t>(args_.unplugAfter)) {
        Unplug();
        return false;
    }
    return true;
}

bool Simulator::AutoOutputOn() const {
    return master_ >= 0 && !hushed_ && sensor_.OutputHz() > 0 &&
           (!args_.autoAfterRequest || requestSeen_) &&
           (args_.count < 0 || autoMade_ < static_cast<uint64_t>(args_.count));
}

void Simulator::AutoOutput(double now) {
    if (!AutoOutputOn()) return;
    const double hz = sensor_.OutputHz();
    if (std::isinf(hz)) {
        if (now < lineRecheckAt_) return;
        // As fast as the line takes them: refill whenever the last frame is out,
        // a bounded burst per turn so requests and signals still get theirs.
        for (int i = 0; i < kMaxBurstFrames && queue_.Empty() && AutoOutputOn(); ++i) {
            MakeAutoFrame(now);
            Flush(now);
        }
        return;
    }
    if (hz != autoHz_) {  // started, or a frequency request changed the rate
        autoHz_ = hz;
        nextAuto_ = now;
    }
    const double period = 1.0 / hz;
    if (nextAuto_ < now - kMaxAutoLagSeconds) nextAuto_ = now;
    while (nextAuto_ <= now && queue_.Frames() < kMaxBacklogFrames && AutoOutputOn()) {
        MakeAutoFrame(now);
        nextAuto_ += period;
    }
}

void Simulator::MakeAutoFrame(double now) {
    queue_.Push(sensor_.MakeMeasurementFrame(now), sensor_.Baud(), sensor_.Parity());
    ++autoMade_;
}

void Simulator::ReadRequests(double now) {
    uint8_t buf[4096];
    for (;;) {
        const ssize_t n = read(master_, buf, sizeof buf);
        if (n > 0) {
            std::vector<HeardBytes> heard;
            transport_->Decode(buf, static_cast<size_t>(n), heard, wire_);
            for (const HeardBytes& piece : heard) Hear(piece, now);
            if (static_cast<size_t>(n) < sizeof buf) return;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        if (listener_.IsOpen()) {  // the client closed or reset the connection
            DropClient();
            return;
        }
        // EIO (no slave side) or end of file: look again later instead of spinning.
        readRetryAt_ = now + kReadRetrySeconds;
        return;
    }
}

void Simulator::Hear(const HeardBytes& heard, double now) {
    // Replies go out at the line the request came in on, before any setting it
    // carried takes hold.
    const uint32_t baud = sensor_.Baud();
    const char parity = sensor_.Parity();
    // The terminal hands over at once what the line would still be carrying: a
    // reply waits for the last byte, and garbage too holds the line while it lasts.
    const double heardAt = pacer_ ? pacer_->Heard(heard.bytes.size(), now) : 0;
    if (!ClientHears(baud, parity, heard.line)) return;  // garbage to the sensor
    if (hushed_) return;
    requestSeen_ = true;
    const double notBefore = pacer_ ? heardAt + static_cast<double>(args_.turnaroundUs) * 1e-6 : 0;
    for (const auto& frame : bus_.Feed(heard.bytes.data(), heard.bytes.size(), now))
        queue_.Push(frame, baud, parity, notBefore, heard.tag);
}
