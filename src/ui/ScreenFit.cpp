#include "ScreenFit.h"

#include <algorithm>
#include <cmath>

namespace {

// Glyphs round up to whole pixels and scaled edges round to the nearest: text
// shrunk exactly with the layout can end a pixel past a label that fitted it.
constexpr double kTextMargin = 0.5;

}  // namespace

QSize FittedClientSize(QSize start, QSize room, QSize frame) {
    return start.boundedTo(room - frame).expandedTo(QSize(1, 1));
}

QSize SmallestClientSize(QSize start, int textPixels) {
    const double factor = std::min(1.0, (kSmallestTextPixels + kTextMargin) / textPixels);
    return QSize(int(std::ceil(start.width() * factor)), int(std::ceil(start.height() * factor)));
}

int TextPixelsAt(QSize start, QSize now, int textPixels) {
    if (start.isEmpty()) return textPixels;
    const double factor =
        std::min({1.0, double(now.width()) / start.width(), double(now.height()) / start.height()});
    if (factor >= 1.0) return textPixels;
    return std::max(1, int(std::floor(textPixels * factor - kTextMargin)));
}
