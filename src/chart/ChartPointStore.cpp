#include "ChartPointStore.h"

#include <algorithm>

CChartPointStore::CChartPointStore() : points_(kGrowth) {}

void CChartPointStore::Resize(unsigned capacity) {
    std::vector<SChartXYPoint> fresh(capacity);
    std::copy(points_.begin(), points_.begin() + count_, fresh.begin());
    points_.swap(fresh);
}

void CChartPointStore::Reserve(unsigned total) {
    if (Capacity() < total) Resize(total);
}

void CChartPointStore::Add(const SChartXYPoint& point) {
    if (count_ == Capacity()) Resize(Capacity() + kGrowth);
    if (IsGap(point)) {
        // No extremes to take.
    } else if (!hasRange_) {
        xMin_ = xMax_ = point.X;
        yMin_ = yMax_ = point.Y;
        hasRange_ = true;
    } else {
        xMin_ = std::min(xMin_, point.X);
        xMax_ = std::max(xMax_, point.X);
        yMin_ = std::min(yMin_, point.Y);
        yMax_ = std::max(yMax_, point.Y);
    }

    unsigned place = count_;
    if (ordering_ != NoOrdering && count_ > 0) {
        const double key = ordering_ == YOrdering ? point.Y : point.X;
        if (key < Key(count_ - 1)) {
            // Before the first point whose key is greater: equal keys stay in arrival order.
            const auto begin = points_.begin(), end = points_.begin() + count_;
            const auto it =
                ordering_ == YOrdering
                    ? std::upper_bound(begin, end, key,
                                       [](double k, const SChartXYPoint& p) { return k < p.Y; })
                    : std::upper_bound(begin, end, key,
                                       [](double k, const SChartXYPoint& p) { return k < p.X; });
            place = static_cast<unsigned>(it - begin);
            std::copy_backward(it, end, end + 1);
        }
    }
    points_[place] = point;
    ++count_;
}

void CChartPointStore::SetOrdering(PointsOrdering ordering) {
    ordering_ = ordering;
    if (ordering == NoOrdering) return;
    const auto begin = points_.begin(), end = points_.begin() + count_;
    if (ordering == XOrdering) {
        std::stable_sort(begin, end,
                         [](const SChartXYPoint& a, const SChartXYPoint& b) { return a.X < b.X; });
    } else {
        std::stable_sort(begin, end,
                         [](const SChartXYPoint& a, const SChartXYPoint& b) { return a.Y < b.Y; });
    }
}

bool CChartPointStore::XRange(double& min, double& max) const {
    if (!hasRange_) return false;
    min = xMin_;
    max = xMax_;
    return true;
}

bool CChartPointStore::YRange(double& min, double& max) const {
    if (!hasRange_) return false;
    min = yMin_;
    max = yMax_;
    return true;
}

unsigned CChartPointStore::Search(double v, unsigned low, unsigned high) const {
    for (;;) {
        const unsigned mid = low + (high - low) / 2;
        if (Key(mid) > v) {
            if (low >= mid) return low;
            high = mid - 1;
        } else {
            if (mid >= high) return high;
            low = mid + 1;
        }
    }
}
