#pragma once

#include <QWidget>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "DialogTemplate.h"
#include "LocalClock.h"
#include "Recording.h"
#include "ToolbarDlg.h"

class CChartCtrl;
class MeasuringTools;
class PictureExport;
class QLabel;
class QPushButton;
class QCheckBox;
class QTimer;
class ReviewChart;
class ReviewPresenter;

// A window of its own showing one or more recordings: the chart with clock
// time along the bottom, the command bar's tools, what could not be read,
// and an export of the rows in the time shown. The files are read off the
// UI thread, so the window answers while they load.
class CReviewWnd : public QWidget, public ChartCommandTarget {
    Q_OBJECT
public:
    CReviewWnd(std::vector<std::string> paths, Language language,
               std::string pictureDir = "../picture", QWidget* parent = nullptr);
    ~CReviewWnd() override;

    // Starts reading the files; the chart fills in when they are read.
    void StartLoading();
    bool IsLoaded() const { return recording_ != nullptr; }
    const Recording* Loaded() const { return recording_.get(); }
    const std::vector<std::string>& Paths() const { return paths_; }

    CChartCtrl* Chart() const { return chart_; }
    ReviewChart& Traces() { return *traces_; }
    ReviewPresenter& Presenter() { return *presenter_; }
    CToolbarDlg* Toolbar() const { return toolbar_; }
    QString SummaryText() const;
    // The four readout labels and the temperature, as shown.
    QStringList ReadoutTexts() const;
    void UpdateReadout();

    // Writes the rows of the time shown; false with the reason in `error`.
    bool ExportVisibleRange(const std::string& path, std::string& error);

    // ChartCommandTarget.
    void OnChartCommand(int command) override;
    std::string ChartCommandTip(int command) const override;

signals:
    void loaded();

private:
    void TakeRecording(std::shared_ptr<Recording> recording);
    void AskAndExport();

    std::vector<std::string> paths_;
    Language language_;
    SystemClock clock_;
    CChartCtrl* chart_ = nullptr;
    std::unique_ptr<ReviewChart> traces_;
    std::unique_ptr<MeasuringTools> tools_;
    std::unique_ptr<PictureExport> picture_;
    std::unique_ptr<ReviewPresenter> presenter_;
    CToolbarDlg* toolbar_ = nullptr;
    QLabel* summary_ = nullptr;
    QString summaryBase_;
    std::vector<QLabel*> readout_;
    QPushButton* export_ = nullptr;
    QCheckBox* temperature_ = nullptr;
    QTimer* readoutTimer_ = nullptr;
    std::shared_ptr<const Recording> recording_;
    std::thread loader_;
};
