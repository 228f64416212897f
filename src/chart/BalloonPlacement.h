#pragma once

#include "ChartGeometry.h"

// Where a balloon label's stem and box go for one point.
struct BalloonPlacement {
    ChartPoint stemEnd;
    ChartRect box;
};

// Keeps a balloon of boxSize inside the plot, clear of its frame. The box
// floats `rise` pixels above the point where the plot has room for it, comes
// down towards the stem's end where it has less, and hangs from the end of a
// downward stem where the point is too near the top. It is centred over the
// point and moved sideways only as far as the plot's sides require. The stem
// always runs from the point towards the box.
BalloonPlacement PlaceBalloon(ChartPoint point, ChartSize boxSize, const ChartRect& plot,
                              int stemLength, int rise);
