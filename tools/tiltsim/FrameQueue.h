#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

// A piece of a frame waiting for the line; `last` marks the frame's final piece.
struct Piece {
    std::vector<uint8_t> bytes;
    size_t written = 0;
    bool last = true;
    bool pauseBefore = false;
    // The sensor's line when the frame was made: an echo goes out at the old
    // settings even when the request it answers changed them.
    uint32_t baud = 0;
    char parity = 'N';
    // A reply waits for the line to turn round after its request.
    double notBefore = 0;
    // --line-rate: the frame has its start on the line.
    bool paced = false;
    // What the transport needs to send the frame back to its asker (a Modbus
    // TCP transaction id); -1 for a frame nobody asked for.
    int tag = -1;
};

// The frames the sensor has made and the line has not yet carried, in order.
// A frame leaves piece by piece; a piece written in part resumes where it
// stopped, so no frame is ever cut. Pure: the caller gives the clock.
class FrameQueue {
public:
    // --split: the piece size and the pause between the pieces of one frame.
    static constexpr size_t kSplitPieceBytes = 3;
    static constexpr double kSplitPauseSeconds = 0.002;

    explicit FrameQueue(bool split = false) : split_(split) {}

    void Push(const std::vector<uint8_t>& frame, uint32_t baud, char parity, double notBefore = 0,
              int tag = -1);
    bool Empty() const { return pieces_.empty(); }
    size_t Frames() const { return frames_; }
    Piece& Front() { return pieces_.front(); }
    // What is left of the front frame, in bytes.
    size_t FrontFrameBytes() const;
    void DropFrontFrame();
    // `count` bytes of the front piece went out at `now`; true when they ended a frame.
    bool Took(size_t count, double now);
    void Clear();

    // The front piece may not go before this (a split frame's pause, a reply's
    // turnaround, the paced line's next byte); 0 = now.
    double FrontDue() const { return frontDue_; }
    void WaitFront(double until) { frontDue_ = until; }

private:
    bool split_;
    std::deque<Piece> pieces_;
    size_t frames_ = 0;
    double frontDue_ = 0;
};
