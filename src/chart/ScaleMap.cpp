#include "ScaleMap.h"

#include <cmath>
#include <cstdlib>

namespace {

// Pixel offsets are bounded so that a point far outside the range still
// converts to an int without overflow; such points lie well off any surface.
constexpr double kOffsetLimit = 1 << 28;

int ToOffset(double offset) {
    if (std::isnan(offset)) return 0;
    if (offset > kOffsetLimit) offset = kOffsetLimit;
    if (offset < -kOffsetLimit) offset = -kOffsetLimit;
    return static_cast<int>(offset);
}

}  // namespace

int ScaleMap::MiddlePixel() const {
    const int half = static_cast<int>(std::fabs((end_ - start_) * 0.5));
    return horizontal_ ? start_ + half : start_ - half;
}

int ScaleMap::ValueToPixel(double value) const {
    const int offset =
        ToOffset(std::floor(std::abs(end_ - start_) * (value - min_) / (max_ - min_)));
    if (horizontal_) return inverted_ ? end_ - offset : start_ + offset;
    return inverted_ ? end_ + offset : start_ - offset;
}

double ScaleMap::PixelToValue(int pixel) const {
    const int span = std::abs(end_ - start_);
    if (min_ == max_ || span == 0) return min_;
    int offset;
    if (horizontal_) {
        offset = inverted_ ? end_ - pixel : pixel - start_;
    } else {
        offset = inverted_ ? pixel - end_ : start_ - pixel;
    }
    return double(offset) / span * (max_ - min_) + min_;
}

bool ScaleMap::IsPixelOnSpan(int pixel) const {
    if (horizontal_) return start_ <= pixel && pixel <= end_;
    return end_ <= pixel && pixel <= start_;
}
