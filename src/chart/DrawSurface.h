#pragma once

#include <memory>
#include <string>

#include "ChartColor.h"
#include "ChartGeometry.h"

// The one contract every chart item draws through. Coordinates are integer
// pixels, y downwards; a line never paints its end point.

enum PenStyle { PenSolid = 0, PenDash = 1, PenDot = 2, PenDashDot = 3, PenDashDotDot = 4 };

struct SurfacePen {
    int style = PenSolid;
    int width = 0;  // 0 and 1 both give a one-pixel line
    Color color = 0;
    bool geometric = false;  // styled lines of any width, drawn with a solid brush
};

struct SurfaceBrush {
    Color color = MakeColor(255, 255, 255);
};

struct SurfaceFont {
    std::string face;  // at most 31 characters are used
    int tenths = 100;  // height in tenths of a point
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool rotated = false;  // 90 degrees: text runs upwards

    bool operator==(const SurfaceFont& o) const {
        return face == o.face && tenths == o.tenths && bold == o.bold && italic == o.italic &&
               underline == o.underline && rotated == o.rotated;
    }
    bool operator!=(const SurfaceFont& o) const { return !(*this == o); }
};

// Character height (without internal leading) in whole pixels at a resolution.
constexpr int FontPixelHeight(int tenths, int pixelsPerInch) {
    return (tenths * pixelsPerInch + 360) / 720;
}

enum class BackgroundMode { Transparent, Opaque };
enum class GradientDirection { Horizontal, Vertical };

enum EdgeBits : unsigned {
    EdgeRaisedOuter = 1,
    EdgeSunkenOuter = 2,
    EdgeRaisedInner = 4,
    EdgeSunkenInner = 8,
};

class DrawSurface {
public:
    virtual ~DrawSurface() = default;

    // False when there is nothing to draw on (a zero-sized image, for one).
    virtual bool IsUsable() const = 0;

    // Each returns the object it replaced, for the caller to select back.
    virtual SurfacePen SelectPen(const SurfacePen& pen) = 0;
    virtual SurfaceBrush SelectBrush(const SurfaceBrush& brush) = 0;
    virtual SurfaceFont SelectFont(const SurfaceFont& font) = 0;
    virtual Color SetTextColor(Color color) = 0;
    virtual BackgroundMode SetBackgroundMode(BackgroundMode mode) = 0;
    virtual void SetTextBackgroundColor(Color color) = 0;

    virtual void MoveTo(int x, int y) = 0;
    virtual void LineTo(int x, int y) = 0;
    virtual void Polyline(const ChartPoint* points, int count) = 0;
    // count = 3n + 1: each segment takes the previous end, two controls and a new end.
    virtual void PolyBezier(const ChartPoint* points, int count) = 0;
    virtual void Rectangle(int left, int top, int right, int bottom) = 0;
    virtual void RoundRect(int left, int top, int right, int bottom, int ellipseWidth,
                           int ellipseHeight) = 0;
    virtual void FillRect(const ChartRect& rect, const SurfaceBrush& brush) = 0;
    virtual void DrawEdge(const ChartRect& rect, unsigned edges) = 0;
    virtual void GradientFill(const ChartRect& rect, Color start, Color end,
                              GradientDirection direction) = 0;

    // (x, y) is the top-left of the text cell; for a rotated font the bottom-left
    // of the visible text, which runs upwards.
    virtual void TextOut(int x, int y, const std::string& text) = 0;
    // The unrotated cell of the text in the current font.
    virtual ChartSize TextExtent(const std::string& text) = 0;

    virtual void IntersectClip(const ChartRect& rect) = 0;
    virtual void ResetClip() = 0;

    // An off-screen surface in the window's format.
    virtual std::unique_ptr<DrawSurface> CreateCompatibleImage(int width, int height) = 0;
    virtual void CopyToWindow(DrawSurface& source, int width, int height) = 0;
    // An off-screen 32-bit picture, for export.
    virtual std::unique_ptr<DrawSurface> CreateImage(int width, int height) = 0;
    // The format follows the file name's extension; false when nothing was written.
    virtual bool WriteImageFile(const std::string& fileName) = 0;

    virtual int PixelsPerInchX() const = 0;
    virtual int PixelsPerInchY() const = 0;
    virtual ChartSize PageSize() const = 0;
};
