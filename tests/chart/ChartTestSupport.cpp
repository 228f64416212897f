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
