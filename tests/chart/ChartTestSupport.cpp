#include "ChartTestSupport.h"

QImage BackBufferImage(const CChartCore& chart) {
    auto* surface = dynamic_cast<QtImageSurface*>(chart.GetBackBuffer());
    return surface ? surface->Image() : QImage();
}

void AttachStandardAxes(CChartCore& chart) {
    auto* left = new CChartStandardAxis;
    auto* bottom = new CChartStandardAxis;
    chart.AttachAxis(left, CChartCore::Left);
    chart.AttachAxis(bottom, CChartCore::Bottom);
    left->SetAutoMode(CChartAxis::AllPoints);
    bottom->SetAutoMode(CChartAxis::AllPoints);
}

CChartLineSerie* AddLine(CChartCore& chart, const std::vector<double>& x,
                         const std::vector<double>& y) {
    auto* serie = new CChartLineSerie(&chart);
    chart.AddSerie(serie);
    serie->SetOrdering(NoOrdering);
    serie->AddPoints(x.data(), y.data(), static_cast<unsigned>(x.size()));
    return serie;
}

std::unique_ptr<QtImageSurface> MakeImage(int width, int height, QImage::Format format) {
    return std::make_unique<QtImageSurface>(width, height, format, 96, 96);
}

bool IsColor(QRgb pixel, Color color) {
    return qRed(pixel) == ColorRed(color) && qGreen(pixel) == ColorGreen(color) &&
           qBlue(pixel) == ColorBlue(color);
}

RecordingSurface::RecordingSurface(int width, int height)
    : QtImageSurface(width, height, QImage::Format_RGB32, 96, 96) {}

SurfacePen RecordingSurface::SelectPen(const SurfacePen& pen) {
    penColor_ = pen.color;
    return QtImageSurface::SelectPen(pen);
}

SurfaceFont RecordingSurface::SelectFont(const SurfaceFont& font) {
    font_ = font;
    return QtImageSurface::SelectFont(font);
}

void RecordingSurface::MoveTo(int x, int y) {
    at_ = {x, y};
    QtImageSurface::MoveTo(x, y);
}

void RecordingSurface::LineTo(int x, int y) {
    lines.push_back({at_, {x, y}, penColor_});
    at_ = {x, y};
    QtImageSurface::LineTo(x, y);
}

void RecordingSurface::Rectangle(int left, int top, int right, int bottom) {
    boxes.push_back({{left, top, right, bottom}, false});
    QtImageSurface::Rectangle(left, top, right, bottom);
}

void RecordingSurface::RoundRect(int left, int top, int right, int bottom, int ellipseWidth,
                                 int ellipseHeight) {
    boxes.push_back({{left, top, right, bottom}, true});
    QtImageSurface::RoundRect(left, top, right, bottom, ellipseWidth, ellipseHeight);
}

void RecordingSurface::TextOut(int x, int y, const std::string& text) {
    texts.push_back({x, y, text, font_, TextExtent(text)});
    QtImageSurface::TextOut(x, y, text);
}

ChartSize RecordingSurface::TextExtent(const std::string& text) {
    return fixedTextSize ? *fixedTextSize : QtImageSurface::TextExtent(text);
}
