#pragma once

#include <cstdint>

// A 24-bit RGB colour packed as 0x00BBGGRR, red in the lowest byte.
using Color = std::uint32_t;

constexpr Color MakeColor(int red, int green, int blue) {
    return static_cast<Color>((red & 0xFF) | ((green & 0xFF) << 8) | ((blue & 0xFF) << 16));
}
constexpr int ColorRed(Color c) {
    return static_cast<int>(c & 0xFF);
}
constexpr int ColorGreen(Color c) {
    return static_cast<int>((c >> 8) & 0xFF);
}
constexpr int ColorBlue(Color c) {
    return static_cast<int>((c >> 16) & 0xFF);
}

// The desktop colours the chart was designed against. Fixed rather than taken
// from the running style, so that pictures look the same everywhere.
constexpr Color kButtonFaceColor = MakeColor(240, 240, 240);
constexpr Color k3DHighlightColor = MakeColor(255, 255, 255);
constexpr Color k3DShadowColor = MakeColor(160, 160, 160);
