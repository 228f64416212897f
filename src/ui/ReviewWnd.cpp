#include "ReviewWnd.h"

#include <QAction>
#include <QCheckBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "ChartCommands.h"
#include "ChartCtrl.h"
#include "MeasuringTools.h"
#include "PictureExport.h"
#include "RecordingExport.h"
#include "ReviewChart.h"
#include "ReviewMessages.h"
#include "ReviewPresenter.h"
#include "StringTable.h"

namespace {

// The readout follows the cross-hair at a pace the eye can read.
constexpr int kReadoutPeriodMs = 250;

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

CReviewWnd::CReviewWnd(std::vector<std::string> paths, Language language, std::string pictureDir,
                       QWidget* parent)
    : QWidget(parent, Qt::Window), paths_(std::move(paths)), language_(language) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(Q(ReviewTitle(paths_, language_)));
    resize(1000, 640);

    chart_ = new CChartCtrl(this);
    chart_->setObjectName(QStringLiteral("reviewChart"));
    chart_->setMinimumSize(400, 240);
    traces_ = std::make_unique<ReviewChart>(*chart_, language_);
    tools_ = std::make_unique<MeasuringTools>(*chart_);
    picture_ = std::make_unique<PictureExport>(*chart_, clock_, std::move(pictureDir));
    presenter_ = std::make_unique<ReviewPresenter>(*traces_, *tools_, [this] { picture_->Save(); });

    toolbar_ = new CToolbarDlg(*this, this);
    // A recording is drawn once and for all: no start or stop.
    for (QAction* action : toolbar_->ChartCommandBar()->actions()) {
        const int command = action->data().toInt();
        if (command == cmd::kStartDrawing || command == cmd::kStopDrawing) {
            action->setVisible(false);
        }
    }
    export_ = new QPushButton(Q(ReviewExportButtonText(language_)), this);
    export_->setEnabled(false);
    connect(export_, &QPushButton::clicked, this, [this] { AskAndExport(); });
    temperature_ = new QCheckBox(Q(ReviewTemperatureBoxText(language_)), this);
    temperature_->setChecked(true);
    connect(temperature_, &QCheckBox::toggled, this,
            [this] { traces_->ToggleQuantity(ReviewChart::kTemperature); });

    summary_ = new QLabel(Q(ReviewLoadingText(paths_.size(), language_)), this);
    summary_->setObjectName(QStringLiteral("reviewSummary"));
    summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    summary_->setWordWrap(true);

    auto* bar = new QHBoxLayout;
    bar->addWidget(toolbar_);
    bar->addWidget(temperature_);
    bar->addWidget(export_);
    bar->addStretch(1);
    auto* readoutRow = new QHBoxLayout;
    for (int i = 0; i < 5; ++i) {
        auto* label = new QLabel(this);
        label->setMinimumWidth(i == 0 ? 220 : 120);
        readout_.push_back(label);
        readoutRow->addWidget(label);
    }
    readoutRow->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(summary_);
    layout->addLayout(bar);
    layout->addLayout(readoutRow);
    layout->addWidget(chart_, 1);

    readoutTimer_ = new QTimer(this);
    connect(readoutTimer_, &QTimer::timeout, this, [this] { UpdateReadout(); });
    readoutTimer_->start(kReadoutPeriodMs);
}

CReviewWnd::~CReviewWnd() {
    // The reader holds no pointer into the window; it only has to end.
    if (loader_.joinable()) loader_.join();
}

void CReviewWnd::StartLoading() {
    if (loader_.joinable() || recording_) return;
    loader_ = std::thread([this, paths = paths_] {
        auto recording = std::make_shared<Recording>(ReadRecordings(paths));
        // Dropped by Qt if the window is gone by then.
        QMetaObject::invokeMethod(
            this, [this, recording] { TakeRecording(recording); }, Qt::QueuedConnection);
    });
}

void CReviewWnd::TakeRecording(std::shared_ptr<Recording> recording) {
    if (loader_.joinable()) loader_.join();
    recording_ = recording;
    traces_->Show(recording_);
    uint64_t rows = 0;
    for (const RecordedTrace& t : recording_->traces) rows += t.Size();
    summaryBase_ = Q(ReviewSummaryText(rows, recording_->traces.size(), recording_->unreadableRows,
                                       recording_->problems, language_));
    summary_->setText(summaryBase_);
    export_->setEnabled(rows > 0);
    temperature_->setEnabled(traces_->HasQuantity(ReviewChart::kTemperature));
    emit loaded();
}

QString CReviewWnd::SummaryText() const {
    return summary_->text();
}

QStringList CReviewWnd::ReadoutTexts() const {
    QStringList texts;
    for (const QLabel* label : readout_) texts << label->text();
    return texts;
}

void CReviewWnd::UpdateReadout() {
    const ReviewPresenter::Readout r = presenter_->CursorReadout();
    const std::string texts[] = {r.xPos, r.yPos, r.xDiff, r.yDiff, r.temperature};
    for (size_t i = 0; i < readout_.size(); ++i) {
        const QString text = Q(texts[i]);
        if (readout_[i]->text() != text) readout_[i]->setText(text);
    }
}

bool CReviewWnd::ExportVisibleRange(const std::string& path, std::string& error) {
    if (!recording_) {
        error =
            language_ == Language::Chinese ? "记录尚未读取完毕" : "the recording is not read yet";
        return false;
    }
    return ExportRecording(*recording_, traces_->VisibleFromMs(), traces_->VisibleToMs(), path,
                           error);
}

void CReviewWnd::AskAndExport() {
    const QString path = QFileDialog::getSaveFileName(this, Q(ReviewExportDialogTitle(language_)),
                                                      QString(), Q(ReviewCsvFilter(language_)));
    if (path.isEmpty()) return;
    std::string error;
    const std::string file = path.toStdString();
    if (ExportVisibleRange(file, error)) {
        summary_->setText(summaryBase_ + QStringLiteral("\n") +
                          Q(ReviewExportDoneText(file, language_)));
    } else {
        QMessageBox::warning(this, windowTitle(),
                             Q(ReviewExportFailedText(file, error, language_)));
    }
}

void CReviewWnd::OnChartCommand(int command) {
    RunChartCommand(*presenter_, command);
    if (toolbar_) toolbar_->RefreshNames();
}

std::string CReviewWnd::ChartCommandTip(int command) const {
    return LoadResourceString(ChartCommandTipId(*presenter_, command), language_);
}
