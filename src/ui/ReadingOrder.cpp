#include "ReadingOrder.h"

#include <algorithm>

#include "ControlFactory.h"

namespace {

struct Placed {
    int id;
    size_t panel;
    DuRect rect;
};

double CentreX(const DuRect& r) {
    return r.x + r.width / 2.0;
}
double CentreY(const DuRect& r) {
    return r.y + r.height / 2.0;
}

size_t PanelOf(const DuRect& r, const std::vector<PanelArea>& panels) {
    const double x = CentreX(r);
    const double y = CentreY(r);
    for (size_t i = 0; i < panels.size(); ++i) {
        const PanelArea& p = panels[i];
        if (x >= p.left && x < p.right && y >= p.top && y < p.bottom) return i;
    }
    // Above the panels: the nearest panel below in the same column.
    size_t below = panels.size();
    for (size_t i = 0; i < panels.size(); ++i) {
        const PanelArea& p = panels[i];
        if (x < p.left || x >= p.right || p.top < y) continue;
        if (below == panels.size() || p.top < panels[below].top) below = i;
    }
    return below;
}

}  // namespace

std::vector<int> ReadingOrder(const std::vector<ControlSpec>& controls, Language language,
                              const std::vector<PanelArea>& panels) {
    std::vector<Placed> placed;
    for (const ControlSpec& c : controls) {
        const DuRect r = ShownRect(c, language);
        placed.push_back({c.id, PanelOf(r, panels), r});
    }
    std::stable_sort(placed.begin(), placed.end(), [](const Placed& a, const Placed& b) {
        return a.panel != b.panel ? a.panel < b.panel : a.rect.y < b.rect.y;
    });
    // A row runs on while the next control's middle lies above the row's lowest
    // edge so far: controls of one row differ in height and top by a unit or two.
    std::vector<int> order;
    for (size_t start = 0; start < placed.size();) {
        size_t end = start + 1;
        int bottom = placed[start].rect.y + placed[start].rect.height;
        while (end < placed.size() && placed[end].panel == placed[start].panel &&
               CentreY(placed[end].rect) < bottom) {
            bottom = std::max(bottom, placed[end].rect.y + placed[end].rect.height);
            ++end;
        }
        std::stable_sort(placed.begin() + static_cast<long>(start),
                         placed.begin() + static_cast<long>(end),
                         [](const Placed& a, const Placed& b) { return a.rect.x < b.rect.x; });
        for (size_t i = start; i < end; ++i) order.push_back(placed[i].id);
        start = end;
    }
    return order;
}
