#include "ChartTitle.h"

#include <algorithm>
#include <cmath>

#include "ChartCore.h"

CChartTitle::CChartTitle(CChartCore* parent)
    : parent_(parent), font_("Microsoft Sans Serif", 100) {}

CChartTitle::~CChartTitle() = default;

void CChartTitle::RefreshChart() {
    if (parent_) parent_->Refresh();
}

void CChartTitle::AddString(const std::string& text) {
    lines_.push_back(text);
    RefreshChart();
}

void CChartTitle::RemoveAll() {
    lines_.clear();
    lineFonts_.clear();
    RefreshChart();
}

void CChartTitle::SetFont(int tenths, const std::string& face, bool bold, bool italic,
                          bool underline) {
    font_.SetSize(tenths);
    font_.SetFace(face);
    font_.SetStyle(italic, bold, underline);
    RefreshChart();
}

void CChartTitle::SetLineFont(std::size_t line, int tenths, const std::string& face, bool bold,
                              bool italic, bool underline) {
    CChartFont font(face, tenths);
    font.SetStyle(italic, bold, underline);
    lineFonts_.insert_or_assign(line, font);
    RefreshChart();
}

void CChartTitle::SetColor(Color color) {
    textColor_ = color;
    RefreshChart();
}

void CChartTitle::SetVisible(bool visible) {
    visible_ = visible;
    RefreshChart();
}

template <class Visit>
void CChartTitle::ForEachLine(DrawSurface& surface, Visit visit) {
    font_.Select(surface);
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const auto own = lineFonts_.find(i);
        if (own != lineFonts_.end()) own->second.Select(surface);
        visit(lines_[i], surface.TextExtent(lines_[i]));
        if (own != lineFonts_.end()) own->second.Release(surface);
    }
    font_.Release(surface);
}

ChartSize CChartTitle::GetSize(DrawSurface& surface) {
    if (!visible_ || lines_.empty()) return {};
    int widest = 0, total = 4;
    ForEachLine(surface, [&](const std::string&, ChartSize size) {
        widest = std::max(widest, size.width);
        total += size.height + 2;
    });
    rect_.bottom = rect_.top + total;
    return {widest + 2, total};
}

void CChartTitle::Draw(DrawSurface& surface) {
    if (!visible_ || lines_.empty()) return;
    const Color previousColor = surface.SetTextColor(textColor_);
    const BackgroundMode previousMode = surface.SetBackgroundMode(BackgroundMode::Transparent);
    const int middle = rect_.left + static_cast<int>(std::fabs((rect_.left - rect_.right) * 0.5));
    int y = rect_.top + 4;
    ForEachLine(surface, [&](const std::string& line, ChartSize size) {
        surface.TextOut(middle - size.width / 2, y, line);
        y += size.height + 2;
    });
    surface.SetBackgroundMode(previousMode);
    surface.SetTextColor(previousColor);
}
