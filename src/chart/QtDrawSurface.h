#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <memory>
#include <optional>

#include "DrawSurface.h"

// DrawSurface on a QPainter: the widget while it paints, or an image (see
// QtImageSurface). Drawing is aliased, so geometry lands on whole pixels.
class QtDrawSurface : public DrawSurface {
public:
    // Paints on the device until destroyed; for a widget, only inside its paint event.
    explicit QtDrawSurface(QPaintDevice* device);
    ~QtDrawSurface() override;

    QtDrawSurface(const QtDrawSurface&) = delete;
    QtDrawSurface& operator=(const QtDrawSurface&) = delete;

    bool IsUsable() const override;

    SurfacePen SelectPen(const SurfacePen& pen) override;
    SurfaceBrush SelectBrush(const SurfaceBrush& brush) override;
    SurfaceFont SelectFont(const SurfaceFont& font) override;
    Color SetTextColor(Color color) override;
    BackgroundMode SetBackgroundMode(BackgroundMode mode) override;
    void SetTextBackgroundColor(Color color) override;

    void MoveTo(int x, int y) override;
    void LineTo(int x, int y) override;
    void Polyline(const ChartPoint* points, int count) override;
    void PolyBezier(const ChartPoint* points, int count) override;
    void Rectangle(int left, int top, int right, int bottom) override;
    void RoundRect(int left, int top, int right, int bottom, int ellipseWidth,
                   int ellipseHeight) override;
    void FillRect(const ChartRect& rect, const SurfaceBrush& brush) override;
    void DrawEdge(const ChartRect& rect, unsigned edges) override;
    void GradientFill(const ChartRect& rect, Color start, Color end,
                      GradientDirection direction) override;

    void TextOut(int x, int y, const std::string& text) override;
    ChartSize TextExtent(const std::string& text) override;

    void IntersectClip(const ChartRect& rect) override;
    void ResetClip() override;

    std::unique_ptr<DrawSurface> CreateCompatibleImage(int width, int height) override;
    void CopyToWindow(DrawSurface& source, int width, int height) override;
    std::unique_ptr<DrawSurface> CreateImage(int width, int height) override;
    bool WriteImageFile(const std::string& fileName) override;

    int PixelsPerInchX() const override { return dpiX_; }
    int PixelsPerInchY() const override { return dpiY_; }
    ChartSize PageSize() const override { return pageSize_; }

    static QColor ToQColor(Color c);

protected:
    QtDrawSurface();
    // Starts painting; images hand in their pixels for the fast paths.
    void Begin(QPaintDevice* device, QImage* pixels);
    void End();

private:
    void ApplyPen();
    void ApplyFont();
    // Solid lines are rasterised here, with exact end points, and written
    // straight into the image where there is one.
    void DrawSolidPolyline(const ChartPoint* points, int count);
    void DrawStraightThinLine(ChartPoint from, ChartPoint to);
    ChartRect DrawableRect() const;

    QPainter painter_;
    QImage* pixels_ = nullptr;
    int dpiX_ = 96;
    int dpiY_ = 96;
    ChartSize pageSize_;

    SurfacePen pen_;
    SurfaceBrush brush_;
    SurfaceFont font_;
    Color textColor_ = 0;
    BackgroundMode backgroundMode_ = BackgroundMode::Opaque;
    Color textBackground_ = MakeColor(255, 255, 255);
    ChartPoint position_;
    std::optional<ChartRect> clip_;

    QFont qfont_;
    std::optional<QFontMetrics> metrics_;
    bool fontApplied_ = false;
};

// An off-screen image with a surface on it: the back buffer and exported pictures.
class QtImageSurface : public QtDrawSurface {
public:
    QtImageSurface(int width, int height, QImage::Format format, int dpiX, int dpiY);
    ~QtImageSurface() override;

    const QImage& Image() const { return image_; }
    bool WriteImageFile(const std::string& fileName) override;

    // The back buffer's format: premultiplied ARGB is the raster engine's fastest.
    static constexpr QImage::Format kCompatibleFormat = QImage::Format_ARGB32_Premultiplied;
    // Exported pictures carry no alpha.
    static constexpr QImage::Format kPictureFormat = QImage::Format_RGB32;

private:
    QImage image_;
};
