#pragma once

// Maps values to pixels along one axis and back. The span runs from the start
// pixel (left end of a horizontal axis, bottom end of a vertical one) to the
// end pixel; min sits at the start unless the axis is inverted.
class ScaleMap {
public:
    void SetRange(double min, double max) {
        min_ = min;
        max_ = max;
    }
    void SetSpan(int start, int end) {
        start_ = start;
        end_ = end;
    }
    void SetHorizontal(bool horizontal) { horizontal_ = horizontal; }
    void SetInverted(bool inverted) { inverted_ = inverted; }

    double Min() const { return min_; }
    double Max() const { return max_; }
    int Start() const { return start_; }
    int End() const { return end_; }
    bool IsHorizontal() const { return horizontal_; }
    bool IsInverted() const { return inverted_; }
    bool IsRangeEmpty() const { return min_ == max_; }

    // Where every value lands while the range is empty.
    int MiddlePixel() const;
    // Undefined for an empty range; callers check IsRangeEmpty first.
    int ValueToPixel(double value) const;
    // min for an empty range or a span of no pixels, where no pixel tells values apart.
    double PixelToValue(int pixel) const;
    // Start and end included.
    bool IsPixelOnSpan(int pixel) const;

private:
    double min_ = 0.0;
    double max_ = 0.0;
    int start_ = 0;
    int end_ = 0;
    bool horizontal_ = true;
    bool inverted_ = false;
};
