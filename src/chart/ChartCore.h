#pragma once

#include <array>
#include <map>
#include <memory>
#include <string>

#include "ChartColor.h"
#include "ChartGeometry.h"
#include "DrawSurface.h"

class AxisScrollBar;
class CChartAxis;
class CChartCursor;
class CChartLegend;
class CChartSerie;
class CChartTitle;

// Everything the chart control does that needs no window: the parts it owns,
// refresh and double buffering, background, layout, paint and picture export.
// The window side (CChartCtrl) supplies the client area, images and repaints.
class CChartCore {
public:
    enum AxisPosition { Left = 0, Bottom = 1, Right = 2, Top = 3 };
    static constexpr int kAxisCount = 4;

    CChartCore();
    virtual ~CChartCore();

    CChartCore(const CChartCore&) = delete;
    CChartCore& operator=(const CChartCore&) = delete;

    // Takes ownership; an axis already in that position is deleted. No redraw.
    void AttachAxis(CChartAxis* axis, AxisPosition position);
    CChartAxis* GetAxis(AxisPosition position) const;

    void SetBackgroundColor(Color color);
    void SetBorderColor(Color color);
    void SetEdgeType(int edgeType);
    // Types: 0 left to right, 1 top to bottom, 2 and 3 the same mirrored about the middle.
    void SetBackgroundGradient(Color first, Color second, int type);
    void ShowMouseCursor(bool show) { showMouseCursor_ = show; }
    void SetPanEnabled(bool enabled) { panEnabled_ = enabled; }
    void SetZoomEnabled(bool enabled) { zoomEnabled_ = enabled; }
    void SetZoomRectColor(Color color) { zoomRectColor_ = color; }

    // A bracket of changes is drawn once, when the last ResumeRefresh comes.
    void SuspendRefresh();
    void ResumeRefresh();
    void Refresh();
    bool IsRefreshPending() const { return refreshPending_; }

    // Takes ownership of the serie; null is ignored.
    void AddSerie(CChartSerie* serie);
    void RemoveSerie(unsigned serieId);
    void RemoveAllSeries();
    CChartSerie* GetSerie(unsigned serieId) const;
    const std::map<unsigned, std::unique_ptr<CChartSerie>>& GetSeries() const { return series_; }

    // Takes ownership; returns the cursor. No redraw.
    CChartCursor* AddCursor(std::unique_ptr<CChartCursor> cursor);
    void RemoveCursor(unsigned cursorId);
    const std::map<unsigned, std::unique_ptr<CChartCursor>>& GetCursors() const { return cursors_; }

    // Draws the chart into a picture of the area's size (the client area when
    // the area is empty) and writes it; the format follows the extension.
    bool SaveImage(const std::string& fileName, ChartRect area = {});

    CChartLegend* GetLegend() const { return legend_.get(); }
    CChartTitle* GetTitle() const { return title_.get(); }
    ChartRect GetPlottingRect() const { return plottingRect_; }
    Color GetBackgroundColor() const { return backgroundColor_; }
    Color GetBorderColor() const { return borderColor_; }
    int GetEdgeType() const { return edgeType_; }
    bool IsPanEnabled() const { return panEnabled_; }
    bool IsZoomEnabled() const { return zoomEnabled_; }
    bool IsMouseCursorShown() const { return showMouseCursor_; }

    // The off-screen picture of the last refresh, if any.
    DrawSurface* GetBackBuffer() const { return backBuffer_.get(); }

    // The whole picture of the chart over an area: background, edge and chart.
    void DrawPicture(DrawSurface& surface, const ChartRect& area);
    virtual void DrawChart(DrawSurface& surface, ChartRect rect);
    virtual void DrawBackground(DrawSurface& surface, const ChartRect& rect);

    // The window's paint: the back buffer, then the zoom band and the cursors.
    void Paint(DrawSurface& window);
    // The back buffer no longer fits the window.
    void OnResize();

    virtual void InvalidateWindow() = 0;

protected:
    virtual bool HasWindow() const = 0;
    virtual ChartRect ClientRect() const = 0;
    virtual std::unique_ptr<DrawSurface> CreateBackBuffer(int width, int height) = 0;
    virtual std::unique_ptr<DrawSurface> CreatePictureSurface(int width, int height) = 0;
    // The window side's scroll bar for an axis; none by default.
    virtual std::unique_ptr<AxisScrollBar> CreateScrollBar(CChartAxis& axis);

    bool zooming_ = false;
    ChartRect zoomRect_;

private:
    void DrawPlottingFrame(DrawSurface& surface) const;

    int refreshCounter_ = 1;
    bool refreshPending_ = false;
    std::unique_ptr<DrawSurface> backBuffer_;
    bool backBufferCreated_ = false;
    bool gradientBackground_ = false;
    Color gradientFirst_ = kButtonFaceColor;
    Color gradientSecond_ = kButtonFaceColor;
    int gradientType_ = 1;
    Color backgroundColor_ = kButtonFaceColor;
    Color borderColor_ = MakeColor(0, 0, 0);
    int edgeType_ = EdgeRaisedOuter | EdgeRaisedInner;
    ChartRect plottingRect_;
    std::map<unsigned, std::unique_ptr<CChartSerie>> series_;
    std::array<std::unique_ptr<CChartAxis>, kAxisCount> axes_;
    std::unique_ptr<CChartLegend> legend_;
    std::unique_ptr<CChartTitle> title_;
    bool panEnabled_ = true;
    bool zoomEnabled_ = true;
    Color zoomRectColor_ = MakeColor(255, 255, 255);
    std::map<unsigned, std::unique_ptr<CChartCursor>> cursors_;
    bool showMouseCursor_ = true;
};
