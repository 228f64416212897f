#include "ChartAxisLabel.h"

#include "ChartCore.h"

CChartAxisLabel::CChartAxisLabel() : font_("Microsoft Sans Serif", 100) {}

void CChartAxisLabel::RefreshChart() {
    if (parent_) parent_->Refresh();
}

void CChartAxisLabel::SetText(const std::string& text) {
    text_ = text;
    RefreshChart();
}

void CChartAxisLabel::SetColor(Color color) {
    textColor_ = color;
    RefreshChart();
}

void CChartAxisLabel::SetFont(int tenths, const std::string& face, bool bold, bool italic,
                              bool underline) {
    font_.SetSize(tenths);
    font_.SetFace(face);
    font_.SetStyle(italic, bold, underline);
    RefreshChart();
}

void CChartAxisLabel::SetVisible(bool visible) {
    visible_ = visible;
    RefreshChart();
}

void CChartAxisLabel::SetHorizontal(bool horizontal) {
    horizontal_ = horizontal;
    font_.SetRotated(!horizontal);
}

ChartSize CChartAxisLabel::GetSize(DrawSurface& surface) {
    if (!visible_ || text_.empty()) return {};
    font_.Select(surface);
    const ChartSize text = surface.TextExtent(text_);
    font_.Release(surface);
    // TextExtent measures unrotated; a vertical label stands on its side.
    if (horizontal_) return {text.width + 4, text.height + 4};
    return {text.height + 4, text.width + 4};
}

void CChartAxisLabel::SetPosition(int left, int top, ChartSize size) {
    rect_ = {left, top, left + size.width, top + size.height};
}

void CChartAxisLabel::Draw(DrawSurface& surface) {
    if (!visible_ || text_.empty()) return;
    font_.Select(surface);
    const Color previousColor = surface.SetTextColor(textColor_);
    const BackgroundMode previousMode = surface.SetBackgroundMode(BackgroundMode::Transparent);
    if (horizontal_) {
        surface.TextOut(rect_.left, rect_.top + 2, text_);
    } else {
        surface.TextOut(rect_.left + 2, rect_.top, text_);
    }
    surface.SetBackgroundMode(previousMode);
    surface.SetTextColor(previousColor);
    font_.Release(surface);
}
