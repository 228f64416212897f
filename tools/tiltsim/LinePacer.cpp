#include "LinePacer.h"

#include <algorithm>
#include <cmath>

LinePacer::LinePacer(uint32_t baud, int bitsPerByte)
    : byteSeconds_(static_cast<double>(bitsPerByte) / static_cast<double>(std::max(baud, 1u))) {}

void LinePacer::BeginFrame(double now, size_t bytes, double due) {
    nextStart_ = std::max({nextStart_, freeAt_, due > 0 ? std::min(due, now) : now});
    freeAt_ = nextStart_ + static_cast<double>(bytes) * byteSeconds_;
}

size_t LinePacer::Allowance(double now) const {
    if (now < nextStart_ + byteSeconds_) return 0;
    return static_cast<size_t>(std::floor((now - nextStart_) / byteSeconds_));
}

void LinePacer::Sent(size_t bytes) {
    nextStart_ += static_cast<double>(bytes) * byteSeconds_;
    freeAt_ = std::max(freeAt_, nextStart_);
}

double LinePacer::Heard(size_t bytes, double now) {
    freeAt_ = std::max(freeAt_, now) + static_cast<double>(bytes) * byteSeconds_;
    return freeAt_;
}
