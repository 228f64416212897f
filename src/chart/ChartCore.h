#pragma once

#include <array>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ChartColor.h"
#include "ChartGeometry.h"
#include "ChartMouseEvent.h"
#include "DrawSurface.h"

class CChartAxis;
class CChartCrossHairCursor;
class CChartCursor;
class CChartDragLineCursor;
class CChartLegend;
class CChartScrollBar;
class CChartSerie;
class CChartTitle;
class ChartMouseListener;
class ScrollBarView;

// Everything the chart control does that needs no window: the parts it owns,
// refresh and double buffering, background, layout, paint, picture export and
// the mouse. The window side (CChartCtrl) supplies the client area, images,
// repaints, the pointer's shape and the scroll bar controls, and feeds in the
// mouse in client pixels.
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
    // False hides the pointer over the plotting area; it takes effect at once
    // when the pointer was last seen there.
    void ShowMouseCursor(bool show);
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
    // On the Bottom and Left axes; owned by the chart.
    CChartCrossHairCursor* AddCrossHairCursor();
    // On the axis in that position, whichever axis is there when it is used; owned by the chart.
    CChartDragLineCursor* AddDragLineCursor(AxisPosition position);
    // A cursor may be removed by its own listener: it lives on until the
    // mouse event that told it is over.
    void RemoveCursor(unsigned cursorId);
    const std::map<unsigned, std::unique_ptr<CChartCursor>>& GetCursors() const { return cursors_; }

    // Not owned; null removes it.
    void SetMouseListener(ChartMouseListener* listener) { mouseListener_ = listener; }
    ChartMouseListener* GetMouseListener() const { return mouseListener_; }
    // Every axis back to its range from before zooming and panning.
    void UndoZoom();

    // The mouse, in client pixels: right button pans, left button draws the
    // zoom band; cursors hear of it inside the plotting area, then the chart
    // listener and the topmost serie hit.
    void OnMouseMove(int x, int y);
    void OnLButtonDown(int x, int y);
    void OnLButtonUp(int x, int y);
    void OnLButtonDoubleClick(int x, int y);
    void OnRButtonDown(int x, int y);
    void OnRButtonUp(int x, int y);
    void OnRButtonDoubleClick(int x, int y);
    // A user's request on one of the axes' scroll bars (ScrollRequest); redraws once.
    void OnScrollBarRequest(CChartScrollBar& bar, int request, int thumb);
    bool IsZooming() const { return zooming_; }
    ChartRect GetZoomRect() const { return zoomRect_; }

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
    // The window side's control for an axis's scroll bar; none by default,
    // and the bar keeps its state all the same.
    virtual std::unique_ptr<ScrollBarView> CreateScrollBarView(const CChartAxis& axis);
    // Paints the window now rather than when the event loop gets to it.
    virtual void RepaintWindow() { InvalidateWindow(); }
    virtual void SetPointerHidden(bool) {}
    // Lets the scroll bar controls go while the window is still whole.
    void DropScrollBarViews();

    bool zooming_ = false;
    ChartRect zoomRect_;

private:
    void DrawPlottingFrame(DrawSurface& surface) const;
    void Zoom(const ChartRect& band);
    void DispatchMouse(MouseEvent event, ChartPoint point);
    // Calls each cursor in identifier order; cursors removed meanwhile live
    // on until the walk is over.
    template <class Call>
    void ForEachCursor(Call call);
    void UpdatePointer(ChartPoint point);

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
    ChartMouseListener* mouseListener_ = nullptr;
    bool showMouseCursor_ = true;
    bool rightButtonDown_ = false;
    ChartPoint panAnchor_;
    bool pointerSeen_ = false;
    ChartPoint lastPointer_;
    int cursorWalks_ = 0;
    std::vector<std::unique_ptr<CChartCursor>> retiredCursors_;
};
