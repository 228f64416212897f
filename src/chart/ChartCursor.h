#pragma once

#include "ChartColor.h"
#include "DrawSurface.h"

class CChartCore;

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

    void SetColor(Color color);
    Color GetColor() const { return color_; }
    unsigned GetId() const { return id_; }

protected:
    CChartCore* GetParent() const { return parent_; }

private:
    Color color_ = MakeColor(0, 0, 0);
    CChartCore* parent_;
    unsigned id_;
};
