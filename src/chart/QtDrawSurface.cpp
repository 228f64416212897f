#include "QtDrawSurface.h"

#include <QPainterPath>
#include <QString>
#include <algorithm>
#include <cmath>
#include <vector>

#include "ThinLineRaster.h"
#include "WideLineRaster.h"

namespace {

constexpr int kMaxFaceLength = 31;

Qt::PenStyle ToQtStyle(int style) {
    switch (style) {
        case PenDash:
            return Qt::DashLine;
        case PenDot:
            return Qt::DotLine;
        case PenDashDot:
            return Qt::DashDotLine;
        case PenDashDotDot:
            return Qt::DashDotDotLine;
        default:
            return Qt::SolidLine;
    }
}

QRect ToQRect(const ChartRect& r) {
    return QRect(r.left, r.top, r.Width(), r.Height());
}

QRgb OpaquePixel(Color c) {
    return qRgb(ColorRed(c), ColorGreen(c), ColorBlue(c));
}

// Writes spans straight into a 32-bit image.
class ImageSpanSink : public SpanSink {
public:
    ImageSpanSink(QImage& image, Color color)
        : bits_(image.bits()), stride_(image.bytesPerLine()), value_(OpaquePixel(color)) {}
    void Span(int y, int x0, int x1) override {
        auto* row = reinterpret_cast<QRgb*>(bits_ + y * stride_);
        std::fill(row + x0, row + x1, value_);
    }
    void Spans(const RowSpan* spans, int count) override {
        for (int i = 0; i < count; ++i) {
            auto* row = reinterpret_cast<QRgb*>(bits_ + spans[i].y * stride_);
            for (int x = spans[i].x0; x < spans[i].x1; ++x) row[x] = value_;
        }
    }

private:
    uchar* bits_;
    qsizetype stride_;
    QRgb value_;
};

// The same spans through the painter, for devices without reachable pixels.
class PainterSpanSink : public SpanSink {
public:
    PainterSpanSink(QPainter& painter, Color color)
        : painter_(painter), color_(QtDrawSurface::ToQColor(color)) {}
    void Span(int y, int x0, int x1) override { painter_.fillRect(x0, y, x1 - x0, 1, color_); }

private:
    QPainter& painter_;
    QColor color_;
};

Color Blend(Color a, Color b, int step, int steps) {
    if (steps <= 1) return a;
    auto mix = [&](int ca, int cb) { return ca + (cb - ca) * step / (steps - 1); };
    return MakeColor(mix(ColorRed(a), ColorRed(b)), mix(ColorGreen(a), ColorGreen(b)),
                     mix(ColorBlue(a), ColorBlue(b)));
}

}  // namespace

QColor QtDrawSurface::ToQColor(Color c) {
    return QColor(ColorRed(c), ColorGreen(c), ColorBlue(c));
}

QtDrawSurface::QtDrawSurface() = default;

QtDrawSurface::QtDrawSurface(QPaintDevice* device) {
    Begin(device, nullptr);
}

QtDrawSurface::~QtDrawSurface() {
    End();
}

void QtDrawSurface::Begin(QPaintDevice* device, QImage* pixels) {
    dpiX_ = device->logicalDpiX();
    dpiY_ = device->logicalDpiY();
    pageSize_ = {device->width(), device->height()};
    if (device->width() <= 0 || device->height() <= 0) return;
    if (!painter_.begin(device)) return;
    painter_.setRenderHint(QPainter::Antialiasing, false);
    painter_.setRenderHint(QPainter::TextAntialiasing, true);
    if (pixels && (pixels->format() == QImage::Format_ARGB32_Premultiplied ||
                   pixels->format() == QImage::Format_RGB32)) {
        pixels_ = pixels;
    }
    ApplyPen();
}

void QtDrawSurface::End() {
    if (painter_.isActive()) painter_.end();
    pixels_ = nullptr;
}

bool QtDrawSurface::IsUsable() const {
    return painter_.isActive();
}

ChartRect QtDrawSurface::DrawableRect() const {
    const ChartRect device{0, 0, pageSize_.width, pageSize_.height};
    return clip_ ? device.Intersected(*clip_) : device;
}

void QtDrawSurface::ApplyPen() {
    if (!painter_.isActive()) return;
    QPen pen(ToQColor(pen_.color));
    pen.setStyle(ToQtStyle(pen_.style));
    if (pen_.width <= 1) {
        // A flat-capped cosmetic line leaves out its end point.
        pen.setWidth(0);
        pen.setCosmetic(true);
        pen.setCapStyle(Qt::FlatCap);
        pen.setJoinStyle(Qt::MiterJoin);
    } else {
        pen.setWidth(pen_.width);
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
    }
    painter_.setPen(pen);
    painter_.setBrush(Qt::NoBrush);
}

SurfacePen QtDrawSurface::SelectPen(const SurfacePen& pen) {
    SurfacePen previous = pen_;
    pen_ = pen;
    ApplyPen();
    return previous;
}

SurfaceBrush QtDrawSurface::SelectBrush(const SurfaceBrush& brush) {
    SurfaceBrush previous = brush_;
    brush_ = brush;
    return previous;
}

SurfaceFont QtDrawSurface::SelectFont(const SurfaceFont& font) {
    SurfaceFont previous = font_;
    if (font != font_ || !fontApplied_) {
        font_ = font;
        fontApplied_ = false;
    }
    return previous;
}

void QtDrawSurface::ApplyFont() {
    if (fontApplied_) return;
    qfont_ = QFont(QString::fromStdString(font_.face.substr(0, kMaxFaceLength)));
    qfont_.setPixelSize(std::max(1, FontPixelHeight(font_.tenths, dpiY_)));
    qfont_.setWeight(font_.bold ? QFont::Bold : QFont::Normal);
    qfont_.setItalic(font_.italic);
    qfont_.setUnderline(font_.underline);
    metrics_.emplace(qfont_);
    if (painter_.isActive()) painter_.setFont(qfont_);
    fontApplied_ = true;
}

Color QtDrawSurface::SetTextColor(Color color) {
    const Color previous = textColor_;
    textColor_ = color;
    return previous;
}

BackgroundMode QtDrawSurface::SetBackgroundMode(BackgroundMode mode) {
    const BackgroundMode previous = backgroundMode_;
    backgroundMode_ = mode;
    return previous;
}

void QtDrawSurface::SetTextBackgroundColor(Color color) {
    textBackground_ = color;
}

void QtDrawSurface::MoveTo(int x, int y) {
    position_ = {x, y};
}

void QtDrawSurface::LineTo(int x, int y) {
    const ChartPoint from = position_;
    position_ = {x, y};
    if (!painter_.isActive() || from == position_) return;
    if (pen_.style == PenSolid) {
        if (pixels_ && pen_.width <= 1 && (from.x == x || from.y == y)) {
            DrawStraightThinLine(from, position_);
            return;
        }
        const ChartPoint ends[2] = {from, position_};
        DrawSolidPolyline(ends, 2);
        return;
    }
    painter_.drawLine(from.x, from.y, x, y);
}

void QtDrawSurface::DrawStraightThinLine(ChartPoint from, ChartPoint to) {
    // The grid's thousands of dashes come here: the pixels from the first point
    // up to, not including, the last, written without a rasteriser.
    const ChartRect clip = DrawableRect();
    ChartRect line;
    if (from.x == to.x) {
        const int top = from.y < to.y ? from.y : to.y + 1;
        const int bottom = from.y < to.y ? to.y : from.y + 1;
        line = {from.x, top, from.x + 1, bottom};
    } else {
        const int left = from.x < to.x ? from.x : to.x + 1;
        const int right = from.x < to.x ? to.x : from.x + 1;
        line = {left, from.y, right, from.y + 1};
    }
    line = line.Intersected(clip);
    if (line.IsEmpty()) return;
    ImageSpanSink sink(*pixels_, pen_.color);
    for (int y = line.top; y < line.bottom; ++y) sink.Span(y, line.left, line.right);
}

void QtDrawSurface::DrawSolidPolyline(const ChartPoint* points, int count) {
    const ChartRect clip = DrawableRect();
    if (clip.IsEmpty()) return;
    // Sinks live on the stack: the grid alone draws thousands of dashes a redraw.
    if (pixels_ && pen_.width > 1) {
        // The traces' path: rows go straight into the pixels.
        const PixelSpanSink direct{reinterpret_cast<std::uint32_t*>(pixels_->bits()),
                                   pixels_->bytesPerLine() / 4, OpaquePixel(pen_.color)};
        WideLineRaster(pen_.width, clip).Polyline(points, count, direct);
    } else if (pixels_) {
        ImageSpanSink sink(*pixels_, pen_.color);
        ThinLineRaster(clip).Polyline(points, count, sink);
    } else {
        PainterSpanSink sink(painter_, pen_.color);
        if (pen_.width > 1)
            WideLineRaster(pen_.width, clip).Polyline(points, count, sink);
        else
            ThinLineRaster(clip).Polyline(points, count, sink);
    }
}

void QtDrawSurface::Polyline(const ChartPoint* points, int count) {
    if (!painter_.isActive() || count < 2) return;
    if (pen_.style == PenSolid) {
        DrawSolidPolyline(points, count);
        return;
    }
    std::vector<QPoint> q(count);
    for (int i = 0; i < count; ++i) q[i] = QPoint(points[i].x, points[i].y);
    painter_.drawPolyline(q.data(), count);
}

void QtDrawSurface::PolyBezier(const ChartPoint* points, int count) {
    if (!painter_.isActive() || count < 4) return;
    QPainterPath path(QPointF(points[0].x, points[0].y));
    for (int i = 1; i + 2 < count; i += 3) {
        path.cubicTo(points[i].x, points[i].y, points[i + 1].x, points[i + 1].y, points[i + 2].x,
                     points[i + 2].y);
    }
    painter_.drawPath(path);
}

void QtDrawSurface::Rectangle(int left, int top, int right, int bottom) {
    if (!painter_.isActive() || right <= left || bottom <= top) return;
    painter_.fillRect(QRect(left, top, right - left, bottom - top), ToQColor(brush_.color));
    painter_.drawRect(QRect(left, top, right - left - 1, bottom - top - 1));
}

void QtDrawSurface::RoundRect(int left, int top, int right, int bottom, int ellipseWidth,
                              int ellipseHeight) {
    if (!painter_.isActive() || right <= left || bottom <= top) return;
    painter_.setBrush(ToQColor(brush_.color));
    painter_.drawRoundedRect(QRectF(left, top, right - left - 1, bottom - top - 1),
                             ellipseWidth / 2.0, ellipseHeight / 2.0);
    painter_.setBrush(Qt::NoBrush);
}

void QtDrawSurface::FillRect(const ChartRect& rect, const SurfaceBrush& brush) {
    if (!painter_.isActive() || rect.IsEmpty()) return;
    painter_.fillRect(ToQRect(rect), ToQColor(brush.color));
}

void QtDrawSurface::DrawEdge(const ChartRect& rect, unsigned edges) {
    if (!painter_.isActive()) return;
    const QColor light = ToQColor(k3DHighlightColor);
    const QColor dark = ToQColor(k3DShadowColor);
    auto frame = [&](int inset, bool raised) {
        const ChartRect r = rect.Deflated(inset);
        if (r.IsEmpty()) return;
        const QColor& topLeft = raised ? light : dark;
        const QColor& bottomRight = raised ? dark : light;
        painter_.fillRect(r.left, r.top, r.Width() - 1, 1, topLeft);
        painter_.fillRect(r.left, r.top, 1, r.Height() - 1, topLeft);
        painter_.fillRect(r.left, r.bottom - 1, r.Width(), 1, bottomRight);
        painter_.fillRect(r.right - 1, r.top, 1, r.Height(), bottomRight);
    };
    if (edges & EdgeRaisedOuter) frame(0, true);
    if (edges & EdgeSunkenOuter) frame(0, false);
    if (edges & EdgeRaisedInner) frame(1, true);
    if (edges & EdgeSunkenInner) frame(1, false);
}

void QtDrawSurface::GradientFill(const ChartRect& rect, Color start, Color end,
                                 GradientDirection direction) {
    if (!painter_.isActive() || rect.IsEmpty()) return;
    if (direction == GradientDirection::Horizontal) {
        const int steps = rect.Width();
        for (int i = 0; i < steps; ++i) {
            painter_.fillRect(rect.left + i, rect.top, 1, rect.Height(),
                              ToQColor(Blend(start, end, i, steps)));
        }
    } else {
        const int steps = rect.Height();
        for (int i = 0; i < steps; ++i) {
            painter_.fillRect(rect.left, rect.top + i, rect.Width(), 1,
                              ToQColor(Blend(start, end, i, steps)));
        }
    }
}

void QtDrawSurface::TextOut(int x, int y, const std::string& text) {
    if (!painter_.isActive() || text.empty()) return;
    ApplyFont();
    const QString s = QString::fromStdString(text);
    const int width = metrics_->horizontalAdvance(s);
    const int height = metrics_->height();
    if (backgroundMode_ == BackgroundMode::Opaque) {
        const QRect cell =
            font_.rotated ? QRect(x, y - width, height, width) : QRect(x, y, width, height);
        painter_.fillRect(cell, ToQColor(textBackground_));
    }
    painter_.setPen(ToQColor(textColor_));
    if (font_.rotated) {
        painter_.save();
        painter_.translate(x, y);
        painter_.rotate(-90);
        painter_.drawText(0, metrics_->ascent(), s);
        painter_.restore();
    } else {
        painter_.drawText(x, y + metrics_->ascent(), s);
    }
    ApplyPen();
}

ChartSize QtDrawSurface::TextExtent(const std::string& text) {
    ApplyFont();
    const QString s = QString::fromStdString(text);
    return {metrics_->horizontalAdvance(s), metrics_->height()};
}

void QtDrawSurface::IntersectClip(const ChartRect& rect) {
    clip_ = clip_ ? clip_->Intersected(rect) : rect;
    if (!painter_.isActive()) return;
    // An empty intersection must still hide everything.
    const QRect r = clip_->IsEmpty() ? QRect(-1, -1, 0, 0) : ToQRect(*clip_);
    painter_.setClipRect(r, Qt::ReplaceClip);
}

void QtDrawSurface::ResetClip() {
    clip_.reset();
    if (painter_.isActive()) painter_.setClipping(false);
}

std::unique_ptr<DrawSurface> QtDrawSurface::CreateCompatibleImage(int width, int height) {
    return std::make_unique<QtImageSurface>(width, height, QtImageSurface::kCompatibleFormat, dpiX_,
                                            dpiY_);
}

void QtDrawSurface::CopyToWindow(DrawSurface& source, int width, int height) {
    auto* image = dynamic_cast<QtImageSurface*>(&source);
    if (!painter_.isActive() || !image) return;
    const QPainter::CompositionMode mode = painter_.compositionMode();
    painter_.setCompositionMode(QPainter::CompositionMode_Source);
    painter_.drawImage(QPoint(0, 0), image->Image(), QRect(0, 0, width, height));
    painter_.setCompositionMode(mode);
}

std::unique_ptr<DrawSurface> QtDrawSurface::CreateImage(int width, int height) {
    return std::make_unique<QtImageSurface>(width, height, QtImageSurface::kPictureFormat, dpiX_,
                                            dpiY_);
}

bool QtDrawSurface::WriteImageFile(const std::string&) {
    return false;
}

QtImageSurface::QtImageSurface(int width, int height, QImage::Format format, int dpiX, int dpiY) {
    if (width > 0 && height > 0) {
        image_ = QImage(width, height, format);
        image_.fill(Qt::white);
        image_.setDotsPerMeterX(qRound(dpiX / 0.0254));
        image_.setDotsPerMeterY(qRound(dpiY / 0.0254));
    }
    if (image_.isNull()) return;
    Begin(&image_, &image_);
}

QtImageSurface::~QtImageSurface() {
    End();
}

bool QtImageSurface::WriteImageFile(const std::string& fileName) {
    if (image_.isNull()) return false;
    return image_.save(QString::fromStdString(fileName));
}
