#include "PlotBuffer.h"

#include <algorithm>

void PlotBuffer::Append(double x, double y) {
    storage_[kX][start_ + kWindow] = x;
    storage_[kY][start_ + kWindow] = y;
    if (++start_ == kWindow) {
        for (auto& channel : storage_)
            std::copy(channel.begin() + kWindow, channel.end(), channel.begin());
        start_ = 0;
    }
}

const double* PlotBuffer::Newest(Channel channel, size_t n) const {
    n = std::min(n, kWindow);
    return storage_[channel].data() + start_ + kWindow - n;
}

unsigned PointCountForSlider(int position) {
    const int count = 50 * (std::max(position, 0) / 5);
    return static_cast<unsigned>(std::clamp(count, 5, 1000));
}
