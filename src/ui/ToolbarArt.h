#pragma once

#include <QImage>

// The chart command bar's eleven pictures, 18 x 17 pixels each, in the bar's
// order, on white; white is the transparent colour.
constexpr int kToolPictureWidth = 18;
constexpr int kToolPictureHeight = 17;
constexpr int kToolPictureCount = 11;

// The whole strip, 198 x 17, opaque RGB.
QImage DrawToolbarStrip();
// One picture with white turned transparent.
QImage ToolbarPicture(const QImage& strip, int index);
