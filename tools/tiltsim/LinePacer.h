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
    // A frame starts: its first byte begins now, or when the line is free.
    void BeginFrame(double now);
    // How many bytes have finished their time on the line by `now` and may go.
    size_t Allowance(double now) const;
    void Sent(size_t bytes);
    // When the next byte will have finished.
    double NextByteDone() const { return nextStart_ + byteSeconds_; }

    // 8 data bits and one stop bit, with or without a parity bit.
    static int BitsPerByte(char parity) { return parity == 'N' ? 10 : 11; }

private:
    double byteSeconds_;
    double nextStart_ = 0.0;  // when the next byte begins on the line
};
