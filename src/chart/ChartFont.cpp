#include "ChartFont.h"

#include <utility>

namespace {
constexpr std::size_t kMaxFaceLength = 31;
}

CChartFont::CChartFont(std::string face, int tenths) : face_(std::move(face)), tenths_(tenths) {}

void CChartFont::SetFace(const std::string& face) {
    face_ = face;
    recreate_ = true;
}

void CChartFont::SetSize(int tenths) {
    tenths_ = tenths;
    recreate_ = true;
}

void CChartFont::SetStyle(bool italic, bool bold, bool underline) {
    italic_ = italic;
    bold_ = bold;
    underline_ = underline;
    recreate_ = true;
}

void CChartFont::SetRotated(bool rotated) {
    rotated_ = rotated;
    recreate_ = true;
}

void CChartFont::Select(DrawSurface& surface) {
    if (recreate_) {
        realised_ = SurfaceFont{
            face_.substr(0, kMaxFaceLength), tenths_, bold_, italic_, underline_, rotated_};
        recreate_ = false;
    }
    previous_ = surface.SelectFont(realised_);
}

void CChartFont::Release(DrawSurface& surface) {
    surface.SelectFont(previous_);
}
