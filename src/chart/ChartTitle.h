#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "ChartColor.h"
#include "ChartFont.h"
#include "ChartGeometry.h"
#include "DrawSurface.h"

class CChartCore;

// Lines of text centred above the plotting area. Without lines it takes no
// room and draws nothing.
class CChartTitle {
public:
    explicit CChartTitle(CChartCore* parent);
    virtual ~CChartTitle();

    void AddString(const std::string& text);
    void RemoveAll();
    std::size_t GetStringCount() const { return lines_.size(); }
    const std::string& GetString(std::size_t line) const { return lines_.at(line); }
    // The font of the lines that have none of their own.
    void SetFont(int tenths, const std::string& face, bool bold = false, bool italic = false,
                 bool underline = false);
    // A font for one line, which may be added later.
    void SetLineFont(std::size_t line, int tenths, const std::string& face, bool bold = false,
                     bool italic = false, bool underline = false);
    void SetColor(Color color);
    Color GetColor() const { return textColor_; }
    void SetVisible(bool visible);
    bool IsVisible() const { return visible_; }

    // Widest line + 2 by 4 + every line's height + 2; (0, 0) when hidden or empty.
    ChartSize GetSize(DrawSurface& surface);
    void SetRect(const ChartRect& rect) { rect_ = rect; }
    ChartRect GetRect() const { return rect_; }
    void Draw(DrawSurface& surface);

private:
    void RefreshChart();
    // Measures each line in its font; Draw and GetSize walk the same lines.
    template <class Visit>
    void ForEachLine(DrawSurface& surface, Visit visit);

    CChartCore* parent_;
    std::vector<std::string> lines_;
    std::map<std::size_t, CChartFont> lineFonts_;
    bool visible_ = true;
    CChartFont font_;
    Color textColor_ = MakeColor(0, 0, 0);
    ChartRect rect_;
};
