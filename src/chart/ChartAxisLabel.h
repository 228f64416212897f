#pragma once

#include <string>

#include "ChartColor.h"
#include "ChartFont.h"
#include "ChartGeometry.h"
#include "DrawSurface.h"

class CChartCore;

// An axis's title; a vertical axis turns it to run upwards.
class CChartAxisLabel {
public:
    CChartAxisLabel();
    virtual ~CChartAxisLabel() = default;

    void SetText(const std::string& text);
    const std::string& GetText() const { return text_; }
    void SetColor(Color color);
    void SetFont(int tenths, const std::string& face, bool bold, bool italic, bool underline);
    const CChartFont& GetFont() const { return font_; }
    void SetVisible(bool visible);
    bool IsVisible() const { return visible_; }

    void SetParent(CChartCore* parent) { parent_ = parent; }
    void SetHorizontal(bool horizontal);
    bool IsHorizontal() const { return horizontal_; }

    // (0, 0) when hidden or without text.
    ChartSize GetSize(DrawSurface& surface);
    void SetPosition(int left, int top, ChartSize size);
    ChartRect GetRect() const { return rect_; }
    void Draw(DrawSurface& surface);

private:
    void RefreshChart();

    CChartCore* parent_ = nullptr;
    bool visible_ = true;
    ChartRect rect_;
    Color textColor_ = MakeColor(0, 0, 0);
    bool horizontal_ = true;
    CChartFont font_;
    std::string text_;
};
