#include "ChartCursor.h"

#include "ChartCore.h"

namespace {
// Shared by every kind of cursor; identifiers are never reused.
unsigned NextCursorId() {
    static unsigned next = 0;
    return next++;
}
}  // namespace

CChartCursor::CChartCursor(CChartCore* parent) : parent_(parent), id_(NextCursorId()) {}

void CChartCursor::SetColor(Color color) {
    color_ = color;
    if (parent_) parent_->Refresh();
}
