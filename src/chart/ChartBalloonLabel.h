#pragma once

#include <string>

#include "ChartColor.h"
#include "ChartFont.h"
#include "ChartLabel.h"

template <class PointType>
class CChartBalloonLabel;

// A boxed text high above its point, joined to it by a short stem. The box
// sits 170 pixels above the point and the stem is 20 pixels long, so the two
// do not meet. Where the plot lacks that room, the box comes nearer or goes
// below the point (BalloonPlacement), so that it is never cut off.
template <>
class CChartBalloonLabel<SChartXYPoint> : public CChartLabel<SChartXYPoint> {
public:
    static constexpr int kStemLength = 20;
    static constexpr int kBoxRise = 170;
    static constexpr int kPadding = 5;
    static constexpr int kCorner = 10;

    CChartBalloonLabel(CChartCore* parent, CChartSerieBase<SChartXYPoint>* serie);

    void Draw(DrawSurface& surface, unsigned pointIndex) override;

    void SetLineColor(Color color);
    void SetBackgroundColor(Color color);
    void SetBorderColor(Color color);
    void SetFont(int tenths, const std::string& face, bool bold = false, bool italic = false,
                 bool underline = false);
    void SetRoundedRect(bool rounded);
    Color GetLineColor() const { return lineColor_; }
    Color GetBackgroundColor() const { return backgroundColor_; }
    Color GetBorderColor() const { return borderColor_; }
    bool IsRoundedRect() const { return roundedRect_; }

private:
    Color lineColor_ = MakeColor(255, 255, 255);
    Color backgroundColor_ = MakeColor(255, 255, 225);
    Color borderColor_ = MakeColor(0, 0, 0);
    CChartFont font_;
    bool roundedRect_ = true;
};
