#include <gtest/gtest.h>

#include <QPainter>
#include <random>
#include <vector>

#include "ChartTestSupport.h"

namespace {

constexpr Color kWhite = MakeColor(255, 255, 255);
constexpr Color kBlack = MakeColor(0, 0, 0);
constexpr Color kRed = MakeColor(255, 0, 0);

class SurfaceTest : public ::testing::Test {
protected:
    SurfaceTest() : surface_(MakeImage(60, 60)) { surface_->FillRect({0, 0, 60, 60}, {kWhite}); }
    bool Painted(int x, int y) const { return !IsColor(Image().pixel(x, y), kWhite); }
    const QImage& Image() const { return surface_->Image(); }
    std::unique_ptr<QtImageSurface> surface_;
};

TEST_F(SurfaceTest, LineToLeavesOutItsEndPoint) {
    surface_->SelectPen({PenSolid, 0, kBlack, false});
    surface_->MoveTo(10, 10);
    surface_->LineTo(10, 20);
    for (int y = 10; y < 20; ++y) EXPECT_TRUE(Painted(10, y)) << y;
    EXPECT_FALSE(Painted(10, 20));
    EXPECT_FALSE(Painted(10, 9));
    EXPECT_FALSE(Painted(11, 15));
}

TEST_F(SurfaceTest, LinesOfWidthZeroAndOneAreOnePixelWide) {
    for (const int width : {0, 1}) {
        surface_->FillRect({0, 0, 60, 60}, {kWhite});
        surface_->SelectPen({PenSolid, width, kBlack, false});
        surface_->MoveTo(5, 30);
        surface_->LineTo(40, 30);
        EXPECT_TRUE(Painted(20, 30));
        EXPECT_FALSE(Painted(20, 29));
        EXPECT_FALSE(Painted(20, 31));
        EXPECT_FALSE(Painted(40, 30));
    }
}

TEST_F(SurfaceTest, SlantedLineLeavesOutItsEndPointInEveryDirection) {
    surface_->SelectPen({PenSolid, 0, kBlack, false});
    const ChartPoint ends[] = {{50, 37}, {8, 40}, {33, 2}, {55, 55}};
    for (const ChartPoint end : ends) {
        surface_->FillRect({0, 0, 60, 60}, {kWhite});
        surface_->MoveTo(30, 30);
        surface_->LineTo(end.x, end.y);
        EXPECT_TRUE(Painted(30, 30));
        EXPECT_FALSE(Painted(end.x, end.y)) << end.x << "," << end.y;
    }
}

TEST_F(SurfaceTest, ImageAndPainterDrawingGiveTheSamePixels) {
    // Solid lines go straight into an image's pixels; a surface on a device
    // without reachable pixels sends the same spans through the painter.
    QImage plain(60, 60, QImage::Format_RGB32);
    plain.fill(Qt::white);
    std::mt19937 random(3);
    std::uniform_int_distribution<int> coordinate(-30, 90);
    {
        QtDrawSurface reference(&plain);
        for (int width : {0, 1, 2, 3, 0, 1, 2}) {
            if (width == 3) {
                reference.IntersectClip({7, 11, 41, 53});
                surface_->IntersectClip({7, 11, 41, 53});
            }
            for (int i = 0; i < 60; ++i) {
                // A colour per line, so that a line drawn wrong shows through later ones.
                const Color color = MakeColor(4 * i, 40 * width, 255 - 4 * i);
                reference.SelectPen({PenSolid, width, color, false});
                surface_->SelectPen({PenSolid, width, color, false});
                const ChartPoint a{coordinate(random), coordinate(random)};
                ChartPoint b{coordinate(random), coordinate(random)};
                // Lines along a row or a column take a path of their own.
                if (i % 3 == 1) b.x = a.x;
                if (i % 3 == 2) b.y = a.y;
                reference.MoveTo(a.x, a.y);
                reference.LineTo(b.x, b.y);
                surface_->MoveTo(a.x, a.y);
                surface_->LineTo(b.x, b.y);
            }
        }
    }
    EXPECT_TRUE(Image() == plain);
}

TEST_F(SurfaceTest, PolylinePaintsEveryPointButTheLast) {
    surface_->SelectPen({PenSolid, 0, kBlack, false});
    const ChartPoint points[] = {{10, 10}, {30, 10}, {30, 30}, {10, 30}};
    surface_->Polyline(points, 4);
    EXPECT_TRUE(Painted(10, 10));
    EXPECT_TRUE(Painted(30, 10));
    EXPECT_TRUE(Painted(30, 30));
    EXPECT_TRUE(Painted(11, 30));
    EXPECT_FALSE(Painted(10, 30));
}

TEST_F(SurfaceTest, PolylineOfOnePointDrawsNothing) {
    surface_->SelectPen({PenSolid, 3, kBlack, false});
    const ChartPoint point[] = {{10, 10}};
    surface_->Polyline(point, 1);
    EXPECT_FALSE(Painted(10, 10));
}

TEST_F(SurfaceTest, IntersectClipThenResetClipLeavesDrawingUnclipped) {
    surface_->IntersectClip({0, 0, 10, 10});
    surface_->IntersectClip({5, 5, 20, 20});
    surface_->FillRect({0, 0, 60, 60}, {kRed});
    EXPECT_TRUE(IsColor(Image().pixel(5, 5), kRed));
    EXPECT_TRUE(IsColor(Image().pixel(9, 9), kRed));
    EXPECT_FALSE(IsColor(Image().pixel(10, 10), kRed));  // right and bottom are exclusive
    EXPECT_FALSE(IsColor(Image().pixel(4, 4), kRed));
    surface_->ResetClip();
    surface_->FillRect({0, 0, 60, 60}, {kRed});
    EXPECT_TRUE(IsColor(Image().pixel(59, 59), kRed));
}

TEST_F(SurfaceTest, DisjointClipsHideEverything) {
    surface_->IntersectClip({0, 0, 10, 10});
    surface_->IntersectClip({20, 20, 30, 30});
    surface_->SelectPen({PenSolid, 2, kRed, false});
    surface_->MoveTo(0, 0);
    surface_->LineTo(59, 59);
    surface_->FillRect({0, 0, 60, 60}, {kRed});
    for (int i = 0; i < 60; ++i) EXPECT_FALSE(Painted(i, i)) << i;
}

TEST_F(SurfaceTest, SelectingReturnsThePreviousObjects) {
    const SurfacePen pen{PenDash, 2, kRed, true};
    surface_->SelectPen(pen);
    const SurfacePen back = surface_->SelectPen({});
    EXPECT_EQ(back.style, PenDash);
    EXPECT_EQ(back.width, 2);
    EXPECT_EQ(back.color, kRed);
    EXPECT_TRUE(back.geometric);
    surface_->SetTextColor(kRed);
    EXPECT_EQ(surface_->SetTextColor(kBlack), kRed);
    surface_->SetBackgroundMode(BackgroundMode::Transparent);
    EXPECT_EQ(surface_->SetBackgroundMode(BackgroundMode::Opaque), BackgroundMode::Transparent);
    SurfaceFont font;
    font.face = "Arial";
    surface_->SelectFont(font);
    EXPECT_EQ(surface_->SelectFont({}).face, "Arial");
}

TEST_F(SurfaceTest, RectangleOutlinesWithThePenAndFillsWithTheBrush) {
    surface_->SelectPen({PenSolid, 0, kBlack, false});
    surface_->SelectBrush({kRed});
    surface_->Rectangle(10, 10, 20, 15);
    EXPECT_TRUE(IsColor(Image().pixel(10, 10), kBlack));
    EXPECT_TRUE(IsColor(Image().pixel(19, 14), kBlack));
    EXPECT_FALSE(Painted(20, 14));
    EXPECT_FALSE(Painted(19, 15));
    EXPECT_TRUE(IsColor(Image().pixel(15, 12), kRed));
}

TEST_F(SurfaceTest, RaisedEdgeIsLightTopLeftAndDarkBottomRight) {
    surface_->DrawEdge({0, 0, 60, 60}, EdgeRaisedOuter | EdgeSunkenInner);
    EXPECT_TRUE(IsColor(Image().pixel(0, 20), k3DHighlightColor));
    EXPECT_TRUE(IsColor(Image().pixel(20, 0), k3DHighlightColor));
    EXPECT_TRUE(IsColor(Image().pixel(59, 20), k3DShadowColor));
    EXPECT_TRUE(IsColor(Image().pixel(20, 59), k3DShadowColor));
    // The inner line, one pixel in, is sunken: the other way round.
    EXPECT_TRUE(IsColor(Image().pixel(1, 20), k3DShadowColor));
    EXPECT_TRUE(IsColor(Image().pixel(58, 20), k3DHighlightColor));
    EXPECT_FALSE(Painted(2, 20));
}

TEST_F(SurfaceTest, GradientRunsFromStartToEndColour) {
    surface_->GradientFill({0, 0, 60, 10}, kBlack, kWhite, GradientDirection::Horizontal);
    EXPECT_TRUE(IsColor(Image().pixel(0, 5), kBlack));
    EXPECT_TRUE(IsColor(Image().pixel(59, 5), kWhite));
    EXPECT_GT(qRed(Image().pixel(40, 5)), qRed(Image().pixel(20, 5)));
    surface_->GradientFill({0, 20, 60, 60}, kRed, kBlack, GradientDirection::Vertical);
    EXPECT_TRUE(IsColor(Image().pixel(30, 20), kRed));
    EXPECT_TRUE(IsColor(Image().pixel(30, 59), kBlack));
}

struct FontCase {
    int tenths;
    int pixels;
};

class FontHeightTest : public ::testing::TestWithParam<FontCase> {};

TEST_P(FontHeightTest, TenthsOfAPointBecomeWholePixelsAt96Dpi) {
    EXPECT_EQ(FontPixelHeight(GetParam().tenths, 96), GetParam().pixels);
}

INSTANTIATE_TEST_SUITE_P(ChartFonts, FontHeightTest,
                         ::testing::Values(FontCase{80, 11}, FontCase{100, 13}, FontCase{90, 12},
                                           FontCase{120, 16}));

TEST_F(SurfaceTest, TextSitsBelowAndRightOfItsPoint) {
    SurfaceFont font;
    font.face = "Arial";
    font.tenths = 100;
    surface_->SelectFont(font);
    surface_->SetBackgroundMode(BackgroundMode::Transparent);
    surface_->TextOut(10, 20, "HH");
    const ChartSize size = surface_->TextExtent("HH");
    EXPECT_GT(size.width, 10);
    EXPECT_GE(size.height, 13);
    int top = 60, bottom = -1, left = 60;
    for (int y = 0; y < 60; ++y) {
        for (int x = 0; x < 60; ++x) {
            if (!Painted(x, y)) continue;
            top = std::min(top, y);
            bottom = std::max(bottom, y);
            left = std::min(left, x);
        }
    }
    EXPECT_GE(top, 20);
    EXPECT_LT(bottom, 20 + size.height);
    EXPECT_GE(left, 10);
    EXPECT_LE(left, 12);
}

TEST_F(SurfaceTest, RotatedTextRunsUpwardsFromItsPoint) {
    SurfaceFont font;
    font.face = "Arial";
    font.rotated = true;
    surface_->SelectFont(font);
    surface_->SetBackgroundMode(BackgroundMode::Transparent);
    surface_->TextOut(10, 50, "HHHH");
    const ChartSize size = surface_->TextExtent("HHHH");  // unrotated
    int top = 60, bottom = -1, left = 60, right = -1;
    for (int y = 0; y < 60; ++y) {
        for (int x = 0; x < 60; ++x) {
            if (!Painted(x, y)) continue;
            top = std::min(top, y);
            bottom = std::max(bottom, y);
            left = std::min(left, x);
            right = std::max(right, x);
        }
    }
    EXPECT_GE(left, 10);
    EXPECT_LT(right, 10 + size.height);
    EXPECT_LE(bottom, 50);
    EXPECT_GE(top, 50 - size.width);
    EXPECT_GT(bottom - top, right - left);  // tall, not wide
}

TEST_F(SurfaceTest, OpaqueTextFillsItsCell) {
    SurfaceFont font;
    font.face = "Arial";
    surface_->SelectFont(font);
    surface_->SetTextBackgroundColor(kRed);
    surface_->SetBackgroundMode(BackgroundMode::Opaque);
    surface_->TextOut(5, 5, "x");
    const ChartSize size = surface_->TextExtent("x");
    EXPECT_TRUE(IsColor(Image().pixel(5, 5), kRed));
    EXPECT_TRUE(IsColor(Image().pixel(5, 5 + size.height - 1), kRed));
    EXPECT_FALSE(IsColor(Image().pixel(5, 5 + size.height), kRed));
}

TEST(ImageSurface, ZeroSizedImageIsNotUsableAndDrawsNothing) {
    auto surface = MakeImage(0, 10);
    EXPECT_FALSE(surface->IsUsable());
    surface->LineTo(5, 5);
    surface->TextOut(0, 0, "x");
    EXPECT_FALSE(surface->WriteImageFile("/nonexistent/never.png"));
}

TEST(ImageSurface, KeepsTheResolutionItWasMadeFor) {
    auto surface = MakeImage(10, 10);
    EXPECT_EQ(surface->PixelsPerInchX(), 96);
    EXPECT_EQ(surface->PixelsPerInchY(), 96);
    auto compatible = surface->CreateCompatibleImage(20, 5);
    EXPECT_EQ(compatible->PixelsPerInchY(), 96);
    EXPECT_EQ(dynamic_cast<QtImageSurface&>(*compatible).Image().format(),
              QImage::Format_ARGB32_Premultiplied);
    auto picture = surface->CreateImage(20, 5);
    EXPECT_EQ(dynamic_cast<QtImageSurface&>(*picture).Image().size(), QSize(20, 5));
}

TEST(ImageSurface, CopyToWindowCopiesTheImageAtTheOrigin) {
    auto source = MakeImage(10, 10, QtImageSurface::kCompatibleFormat);
    source->FillRect({0, 0, 10, 10}, {kRed});
    auto window = MakeImage(20, 20);
    window->FillRect({0, 0, 20, 20}, {kWhite});
    window->CopyToWindow(*source, 10, 10);
    EXPECT_TRUE(IsColor(window->Image().pixel(9, 9), kRed));
    EXPECT_TRUE(IsColor(window->Image().pixel(10, 10), kWhite));
}

}  // namespace
