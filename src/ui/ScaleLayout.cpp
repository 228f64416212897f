#include "ScaleLayout.h"

#include <cmath>

#include "DialogTemplate.h"

namespace {

int Trunc(float v) {
    return static_cast<int>(std::trunc(v));
}

ChartRect Scaled(const ChartRect& r, float sx, float sy) {
    return {Trunc(static_cast<float>(r.left) * sx + 0.5f),
            Trunc(static_cast<float>(r.top) * sy + 0.5f),
            Trunc(static_cast<float>(r.right) * sx + 0.5f),
            Trunc(static_cast<float>(r.bottom) * sy + 0.5f)};
}

// Maximised, the labels sit a little right of and above their scaled place.
ChartRect ScaledAndShifted(const ChartRect& r, float sx, float sy) {
    return {Trunc(static_cast<float>(r.left) * sx + 7.0f),
            Trunc(static_cast<float>(r.top) * sy - 4.5f),
            Trunc(static_cast<float>(r.right) * sx + 7.0f),
            Trunc(static_cast<float>(r.bottom) * sy - 4.5f)};
}

}  // namespace

bool InFixedHeightGroup(int id) {
    switch (id) {
        case ctl::kOpen:
        case ctl::kSave:
        case ctl::kRecord:
        case ctl::kSetBaud:
        case ctl::kSetFrequency:
        case ctl::kSetAddress:
        case ctl::kBrowse:
        case ctl::kSetParity:
        case ctl::kPolling:
        case ctl::kSetZero:
        case ctl::kClearZero:
        case ctl::kEnglish:
        case ctl::kChinese:
        case ctl::kCsvPath:
        case ctl::kNewAddress:
        case ctl::kAddress:
            return true;
        default:
            return false;
    }
}

bool KeepsItsHeight(int id) {
    if (InFixedHeightGroup(id)) return true;
    const ControlSpec* spec = FindControl(id);
    return spec && spec->kind == ControlKind::DropDownList;
}

bool InLabelGroup(int id) {
    switch (id) {
        case ctl::kPortLabel:
        case ctl::kBaudLabel:
        case ctl::kParityLabel:
        case ctl::kAddressLabel:
        case ctl::kDeviceBaudLabel:
        case ctl::kFrequencyLabel:
        case ctl::kNewAddressLabel:
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
    const bool wasMaximised = state.maximised;
    state.maximised = kind == ResizeKind::Maximise;

    out.reserve(children.size());
    for (const LayoutChild& c : children) {
        const ChartRect& r = c.rect;
        ChartRect n;
        if (KeepsItsHeight(c.id)) {
            n = Scaled(r, sx, sy);
            n.bottom = n.top + r.Height();
        } else if (InLabelGroup(c.id)) {
            // The shift belongs to the maximised state, never to the place: the
            // label is scaled from where it would be without it, so any number
            // of maximise and restore cycles leaves it where the first one did.
            auto unshifted = state.unshiftedLabels.find(c.id);
            const ChartRect base =
                wasMaximised && unshifted != state.unshiftedLabels.end() ? unshifted->second : r;
            state.unshiftedLabels[c.id] = Scaled(base, sx, sy);
            n = state.maximised ? ScaledAndShifted(base, sx, sy) : Scaled(base, sx, sy);
        } else {
            n = Scaled(r, sx, sy);
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
