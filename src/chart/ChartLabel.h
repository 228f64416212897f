#pragma once

#include <string>

#include "ChartPoints.h"
#include "DrawSurface.h"

class CChartCore;
template <class PointType>
class CChartSerieBase;
template <class PointType>
class CChartLabelProvider;
template <class PointType>
class CChartLabel;

// Gives a label its text at every draw; implemented by the application.
template <>
class CChartLabelProvider<SChartXYPoint> {
public:
    virtual ~CChartLabelProvider() = default;
    virtual std::string GetText(CChartSerieBase<SChartXYPoint>* serie, unsigned pointIndex) = 0;
};

// A text attached to one point of a serie, drawn over the plotting area.
// Owned by the serie it is attached to.
template <>
class CChartLabel<SChartXYPoint> {
public:
    CChartLabel(CChartCore* parent, CChartSerieBase<SChartXYPoint>* serie);
    virtual ~CChartLabel() = default;

    CChartLabel(const CChartLabel&) = delete;
    CChartLabel& operator=(const CChartLabel&) = delete;

    virtual void Draw(DrawSurface& surface, unsigned pointIndex) = 0;

    void SetText(const std::string& text);
    const std::string& GetText() const { return text_; }
    // Not owned; when set, it replaces the text at every draw.
    void SetLabelProvider(CChartLabelProvider<SChartXYPoint>* provider);
    CChartSerieBase<SChartXYPoint>* GetSerie() const { return serie_; }
    // Set by the serie the label is attached to.
    void SetSerie(CChartSerieBase<SChartXYPoint>* serie) { serie_ = serie; }

protected:
    void RefreshChart();
    // Asks the provider, if any; the text to draw for the point.
    const std::string& CurrentText(unsigned pointIndex);
    CChartCore* GetParent() const { return parent_; }

private:
    std::string text_;
    CChartLabelProvider<SChartXYPoint>* provider_ = nullptr;
    CChartCore* parent_;
    CChartSerieBase<SChartXYPoint>* serie_;
};
