#pragma once

#include <vector>

#include "ChartColor.h"
#include "DrawSurface.h"

class CChartCore;

// The dashed lines that carry an axis's ticks across the plotting area.
class CChartGrid {
public:
    CChartGrid() = default;
    virtual ~CChartGrid() = default;

    void SetColor(Color color);
    Color GetColor() const { return color_; }
    void SetVisible(bool visible);
    bool IsVisible() const { return visible_; }

    void SetParent(CChartCore* parent) { parent_ = parent; }
    void SetHorizontal(bool horizontal) { horizontal_ = horizontal; }
    void ClearTicks() { tickPixels_.clear(); }
    void AddTick(int pixel) { tickPixels_.push_back(pixel); }
    const std::vector<int>& GetTickPixels() const { return tickPixels_; }

    // 3 pixels drawn, 3 left out, from the bottom or left edge of the plotting area.
    void Draw(DrawSurface& surface);

private:
    Color color_ = MakeColor(128, 128, 128);
    CChartCore* parent_ = nullptr;
    bool visible_ = true;
    std::vector<int> tickPixels_;
    bool horizontal_ = true;
};
