#include "ScaleLayout.h"

#include <cmath>

namespace {

int Trunc(float v) {
    return static_cast<int>(std::trunc(v));
}

}  // namespace

bool InFixedHeightGroup(int id) {
    switch (id) {
        case 1001:
        case 1007:
        case 1008:
        case 1009:
        case 1011:
        case 1013:
        case 1016:
        case 1021:
        case 1026:
        case 1028:
        case 1031:
        case 1055:
        case 1056:
        case 1073:
        case 1079:
        case 1080:
            return true;
        default:
            return false;
    }
}

bool InLabelGroup(int id) {
    switch (id) {
        case 1035:
        case 1036:
        case 1037:
        case 1040:
        case 1085:
        case 1086:
        case 1087:
            return true;
        default:
            return false;
    }
}

std::vector<ChartRect> ScaleLayout(const std::vector<LayoutChild>& children, ResizeKind kind,
                                   int newWidth, int newHeight, ScaleState& state) {
    std::vector<ChartRect> out;
    if (kind != ResizeKind::Restore && kind != ResizeKind::Maximise) return out;
    if (state.referenceWidth <= 0 || state.referenceHeight <= 0) return out;

    // Single precision throughout, as the layout has always been computed; the
    // rounding it leaves behind is part of how the window behaves.
    const float sx = static_cast<float>(newWidth) / static_cast<float>(state.referenceWidth);
    const float sy = static_cast<float>(newHeight) / static_cast<float>(state.referenceHeight);
    if (kind == ResizeKind::Maximise) state.maximiseToggle = !state.maximiseToggle;
    const bool shiftLabels = kind == ResizeKind::Maximise && state.maximiseToggle;

    out.reserve(children.size());
    for (const LayoutChild& c : children) {
        const ChartRect& r = c.rect;
        ChartRect n;
        if (InFixedHeightGroup(c.id)) {
            n.left = Trunc(static_cast<float>(r.left) * sx + 0.5f);
            n.right = Trunc(static_cast<float>(r.right) * sx + 0.5f);
            n.top = Trunc(static_cast<float>(r.top) * sy + 0.5f);
            n.bottom = n.top + r.Height();
        } else if (InLabelGroup(c.id) && shiftLabels) {
            n.left = Trunc(static_cast<float>(r.left) * sx + 7.0f);
            n.right = Trunc(static_cast<float>(r.right) * sx + 7.0f);
            n.top = Trunc(static_cast<float>(r.top) * sy - 4.5f);
            n.bottom = Trunc(static_cast<float>(r.bottom) * sy - 4.5f);
        } else {
            n.left = Trunc(static_cast<float>(r.left) * sx + 0.5f);
            n.right = Trunc(static_cast<float>(r.right) * sx + 0.5f);
            n.top = Trunc(static_cast<float>(r.top) * sy + 0.5f);
            n.bottom = Trunc(static_cast<float>(r.bottom) * sy + 0.5f);
        }
        out.push_back(n);
    }
    state.referenceWidth = newWidth;
    state.referenceHeight = newHeight;
    return out;
}

int AddressTextShift(int clientHeight, int charHeight, int externalLeading) {
    // C++ integer division truncates toward zero, as the rule wants.
    return (clientHeight - charHeight - externalLeading) / 2 - 2;
}
