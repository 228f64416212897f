#include "PlotBuffer.h"

#include <algorithm>
#include <limits>

void PlotBuffer::Append(double x, double y) {
    if (breakPending_) {
        breakPending_ = false;
        const double none = std::numeric_limits<double>::quiet_NaN();
        Put(none, none);
    }
    Put(x, y);
}

void PlotBuffer::Put(double x, double y) {
    storage_[kX][start_ + kWindow] = x;
    storage_[kY][start_ + kWindow] = y;
    if (filled_ < kWindow) ++filled_;
    if (++start_ == kWindow) {
        for (auto& channel : storage_)
            std::copy(channel.begin() + kWindow, channel.end(), channel.begin());
        start_ = 0;
    }
}

const double* PlotBuffer::Newest(Channel channel, size_t n) const {
    return storage_[channel].data() + start_ + kWindow - Available(n);
}

unsigned PointCountForSlider(int position) {
    const int count = 50 * (std::max(position, 0) / 5);
    return static_cast<unsigned>(std::clamp(count, 5, 1000));
}
