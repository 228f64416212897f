#include "BalloonPlacement.h"

#include <algorithm>

namespace {

// Keeps the box's border off the plot's frame.
constexpr int kFrameClearance = 2;

}  // namespace

BalloonPlacement PlaceBalloon(ChartPoint point, ChartSize boxSize, const ChartRect& plot,
                              int stemLength, int rise) {
    const ChartRect room = plot.Deflated(kFrameClearance);
    const int width = boxSize.width, height = boxSize.height;

    int left = point.x - width / 2;
    // A box wider than the plot keeps its left edge in view.
    left = std::max(std::min(left, room.right - width), room.left);

    BalloonPlacement placement;
    if (point.y - stemLength - height >= room.top) {
        const int bottom = std::max(point.y - rise, room.top + height);
        placement.stemEnd = {point.x, point.y - stemLength};
        placement.box = {left, bottom - height, left + width, bottom};
    } else if (point.y + stemLength + height <= room.bottom) {
        // Hung from the stem's end: far below, it would seem to belong to another point.
        const int top = point.y + stemLength;
        placement.stemEnd = {point.x, point.y + stemLength};
        placement.box = {left, top, left + width, top + height};
    } else {
        // A plot too low for stem and box on either side: the box keeps its
        // top and its text in view.
        placement.stemEnd = {point.x, point.y - stemLength};
        placement.box = {left, room.top, left + width, room.top + height};
    }
    return placement;
}
