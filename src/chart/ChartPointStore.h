#pragma once

#include <vector>

#include "ChartPoints.h"

// A serie's points, kept in the serie's order, with the extremes of every
// point ever added. Grows in steps, so adding many points moves them rarely.
class CChartPointStore {
public:
    static constexpr unsigned kGrowth = 1000;

    CChartPointStore();

    // Insertion keeps the ordering; equal keys keep the order they came in.
    void Add(const SChartXYPoint& point);
    // Makes room for exactly this many points in total, if there is less.
    void Reserve(unsigned total);
    // Sorts by the new key; NoOrdering leaves the points as they are.
    void SetOrdering(PointsOrdering ordering);
    PointsOrdering GetOrdering() const { return ordering_; }

    unsigned Count() const { return count_; }
    unsigned Capacity() const { return static_cast<unsigned>(points_.size()); }
    const SChartXYPoint& operator[](unsigned index) const { return points_[index]; }

    // False while there is no point with a value (gaps have none).
    bool XRange(double& min, double& max) const;
    bool YRange(double& min, double& max) const;

    // Bisection on the ordering key: an index next to v's place in [low, high],
    // either the last key not above v or the first above it.
    unsigned Search(double v, unsigned low, unsigned high) const;

private:
    double Key(unsigned index) const {
        return ordering_ == YOrdering ? points_[index].Y : points_[index].X;
    }
    void Resize(unsigned capacity);

    double xMin_ = 0.0;
    double xMax_ = 0.0;
    double yMin_ = 0.0;
    double yMax_ = 0.0;
    bool hasRange_ = false;
    std::vector<SChartXYPoint> points_;
    unsigned count_ = 0;
    PointsOrdering ordering_ = XOrdering;
};
