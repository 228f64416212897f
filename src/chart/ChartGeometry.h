#pragma once

#include <algorithm>

// Integer pixel geometry of the chart. Rectangles keep the right and bottom
// edges exclusive, as fills and clips treat them.

struct ChartPoint {
    int x = 0;
    int y = 0;
};

inline bool operator==(ChartPoint a, ChartPoint b) {
    return a.x == b.x && a.y == b.y;
}
inline bool operator!=(ChartPoint a, ChartPoint b) {
    return !(a == b);
}

struct ChartSize {
    int width = 0;
    int height = 0;
};

inline bool operator==(ChartSize a, ChartSize b) {
    return a.width == b.width && a.height == b.height;
}

struct ChartRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    bool Contains(ChartPoint p) const {
        return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
    }
    ChartRect Deflated(int d) const { return {left + d, top + d, right - d, bottom - d}; }
    ChartRect Intersected(const ChartRect& o) const {
        return {std::max(left, o.left), std::max(top, o.top), std::min(right, o.right),
                std::min(bottom, o.bottom)};
    }
};

inline bool operator==(const ChartRect& a, const ChartRect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
inline bool operator!=(const ChartRect& a, const ChartRect& b) {
    return !(a == b);
}
