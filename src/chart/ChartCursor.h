#pragma once

#include <vector>

#include "ChartColor.h"
#include "ChartCore.h"
#include "DrawSurface.h"

class CChartAxis;
class CChartCursor;

// Told where a cursor went, in axis values; implemented by the application.
class CChartCursorListener {
public:
    virtual ~CChartCursorListener() = default;
    virtual void CursorMoved(CChartCursor* cursor, double xValue, double yValue) = 0;
};

// A line over the plotting area that follows or is dragged by the mouse.
// Drawn on the window at every paint, never into the back buffer.
class CChartCursor {
public:
    explicit CChartCursor(CChartCore* parent);
    virtual ~CChartCursor() = default;

    CChartCursor(const CChartCursor&) = delete;
    CChartCursor& operator=(const CChartCursor&) = delete;

    virtual void OnMouseMove(int x, int y) = 0;
    virtual void OnButtonDown(int, int) {}
    virtual void OnButtonUp(int, int) {}
    virtual void Draw(DrawSurface& surface) = 0;
    // Called by the chart after each layout, which may have changed an axis's
    // range or span or hidden or shown one. A cursor keeps its pixels, so it
    // takes the values now under them and tells its listeners of a change.
    virtual void FollowAxes() {}
    // True while the cursor holds the left button for itself (a grabbed line).
    virtual bool HoldsButton() const { return false; }

    void SetColor(Color color);
    Color GetColor() const { return color_; }
    unsigned GetId() const { return id_; }
    // Not owned; the listener must outlive the cursor. Registered twice, called twice.
    void AddListener(CChartCursorListener* listener);

protected:
    CChartCore* GetParent() const { return parent_; }
    void NotifyMoved(double xValue, double yValue);
    // Puts the value under the pixel into value, unless the one held still
    // lands on that pixel; true when it changed.
    static bool FollowPixel(const CChartAxis* axis, int pixel, double& value);
    // A line across the plotting area: vertical at x, or horizontal at y.
    void DrawLine(DrawSurface& surface, bool vertical, int pixel) const;

private:
    Color color_ = MakeColor(0, 0, 0);
    CChartCore* parent_;
    unsigned id_;
    std::vector<CChartCursorListener*> listeners_;
};

// Follows the pointer with a vertical and a horizontal line and reports the
// values of the Bottom and Left axes under it. The axes are looked up at
// each move, so a replaced axis is followed rather than left dangling.
class CChartCrossHairCursor : public CChartCursor {
public:
    explicit CChartCrossHairCursor(CChartCore* parent);

    void OnMouseMove(int x, int y) override;
    void Draw(DrawSurface& surface) override;
    void FollowAxes() override;

    // Both 0 until the pointer first moves over the plotting area.
    double GetXValue() const { return xValue_; }
    double GetYValue() const { return yValue_; }
    int GetXPixel() const { return xPixel_; }
    int GetYPixel() const { return yPixel_; }

private:
    bool placed_ = false;
    double xValue_ = 0.0;
    double yValue_ = 0.0;
    int xPixel_ = 0;
    int yPixel_ = 0;
};

// One line the user grabs with the left button and drags: vertical on a
// horizontal axis, horizontal on a vertical one. The line keeps its pixel
// when the axis's range or span changes, and reports the value now under it.
class CChartDragLineCursor : public CChartCursor {
public:
    static constexpr int kGrabReach = 3;

    CChartDragLineCursor(CChartCore* parent, CChartCore::AxisPosition position);

    void OnButtonDown(int x, int y) override;
    void OnButtonUp(int x, int y) override;
    void OnMouseMove(int x, int y) override;
    void Draw(DrawSurface& surface) override;
    void FollowAxes() override;

    // Puts the line at a value of its axis; no redraw and no report.
    void SetPosition(double value);
    // The line's pixel along its axis.
    int GetPosition() const { return position_; }
    // The value the line stands at: as placed or dragged, or as the axis now
    // reads its pixel; 0 until placed.
    double GetValue() const { return value_; }
    bool IsDragging() const { return dragging_; }
    bool HoldsButton() const override { return dragging_; }
    bool IsOnHorizontalAxis() const { return horizontal_; }

private:
    CChartAxis* Axis() const;
    void Report();

    CChartCore::AxisPosition axisPosition_;
    bool horizontal_;
    bool dragging_ = false;
    bool placed_ = false;
    int position_ = 0;
    double value_ = 0.0;
};
