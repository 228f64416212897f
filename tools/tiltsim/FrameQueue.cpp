#include "FrameQueue.h"

#include <algorithm>
#include <utility>

void FrameQueue::Push(const std::vector<uint8_t>& frame, uint32_t baud, char parity,
                      double notBefore, int tag) {
    if (frame.empty()) return;
    if (pieces_.empty()) frontDue_ = 0;
    const size_t piece = split_ ? kSplitPieceBytes : frame.size();
    for (size_t at = 0; at < frame.size(); at += piece) {
        Piece p;
        const size_t end = std::min(frame.size(), at + piece);
        p.bytes.assign(frame.begin() + static_cast<std::ptrdiff_t>(at),
                       frame.begin() + static_cast<std::ptrdiff_t>(end));
        p.last = end == frame.size();
        p.pauseBefore = at != 0;
        p.baud = baud;
        p.parity = parity;
        p.notBefore = notBefore;
        p.tag = tag;
        pieces_.push_back(std::move(p));
    }
    ++frames_;
}

size_t FrameQueue::FrontFrameBytes() const {
    size_t bytes = 0;
    for (const Piece& p : pieces_) {
        bytes += p.bytes.size() - p.written;
        if (p.last) break;
    }
    return bytes;
}

void FrameQueue::DropFrontFrame() {
    while (!pieces_.empty()) {
        const bool last = pieces_.front().last;
        pieces_.pop_front();
        if (last) break;
    }
    --frames_;
    frontDue_ = 0;
}

bool FrameQueue::Took(size_t count, double now) {
    Piece& p = pieces_.front();
    p.written += count;
    if (p.written < p.bytes.size()) return false;
    const bool frameDone = p.last;
    pieces_.pop_front();
    frontDue_ = !pieces_.empty() && pieces_.front().pauseBefore ? now + kSplitPauseSeconds : 0;
    if (frameDone) --frames_;
    return frameDone;
}

void FrameQueue::Clear() {
    pieces_.clear();
    frames_ = 0;
    frontDue_ = 0;
}
