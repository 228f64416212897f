#include "PictureExport.h"

#include <cstdio>
#include <filesystem>

#include "ChartCore.h"
#include "LocalClock.h"

namespace {

// The part of the chart the picture shows, in pixels.
constexpr ChartRect kPictureArea{0, 0, 800, 360};

}  // namespace

std::string PictureExport::FileName() const {
    const LocalTime t = clock_.Now();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d%02d%02d%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return folder_ + "/VXL284_Wave_shape_" + stamp + ".png";
}

void PictureExport::Save() {
    // A new user's first export must not vanish for want of the folder.
    std::error_code ec;
    std::filesystem::create_directories(folder_, ec);
    // Nothing is said either way: the operator sees the file appear.
    chart_.SaveImage(FileName(), kPictureArea);
}
