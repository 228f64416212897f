#pragma once

#include <cstddef>
#include <cstdint>

// The time a serial line takes: a byte leaves only once its bits would have
// gone over the wire, so a pseudo-terminal or socket delivers a frame no faster
// than the real line would. Pure: the caller gives the clock.
class LinePacer {
public:
    // `bitsPerByte`: start bit, data bits, parity bit if any, stop bits.
    LinePacer(uint32_t baud, int bitsPerByte);

    double ByteSeconds() const { return byteSeconds_; }
    // A frame of `bytes` starts: its first byte begins now, or when the line is
    // free; the line is the frame's until its last byte ends. A frame `due` at a
    // known time (a reply after its turnaround) begins then, however late the
    // caller woke for it: the line itself does not wait for the simulator.
    void BeginFrame(double now, size_t bytes, double due = 0);
    // How many bytes have finished their time on the line by `now` and may go.
    size_t Allowance(double now) const;
    void Sent(size_t bytes);
    // The master sent `bytes`, read at `now`: they began when the line was free
    // and took their time on it. Returns when the last of them ended.
    double Heard(size_t bytes, double now);
    // When the next byte will have finished.
    double NextByteDone() const { return nextStart_ + byteSeconds_; }

    // 8 data bits and one stop bit, with or without a parity bit.
    static int BitsPerByte(char parity) { return parity == 'N' ? 10 : 11; }

private:
    double byteSeconds_;
    double nextStart_ = 0.0;  // when the frame's next byte begins on the line
    // When the line is free: the frame going out, or the master's request, has
    // it until then. Half duplex, so neither may start on the other.
    double freeAt_ = 0.0;
};
