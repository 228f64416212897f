#include "ReviewOpener.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QMimeData>
#include <QShortcut>
#include <QUrl>
#include <QWidget>

#include "ReviewMessages.h"
#include "ReviewWnd.h"

namespace {

// Local files only: a recording is read from the disk.
std::vector<std::string> DroppedFiles(const QMimeData* data) {
    std::vector<std::string> paths;
    if (!data || !data->hasUrls()) return paths;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
    }
    return paths;
}

}  // namespace

ReviewOpener::ReviewOpener(QWidget& window, Language language, std::string pictureDir, Picker pick)
    : QObject(&window),
      window_(window),
      language_(language),
      pictureDir_(std::move(pictureDir)),
      pick_(std::move(pick)) {
    if (!pick_) {
        pick_ = [this] {
            return QFileDialog::getOpenFileNames(
                &window_, QString::fromStdString(ReviewOpenDialogTitle(language_)), QString(),
                QString::fromStdString(ReviewCsvFilter(language_)));
        };
    }
    window_.setAcceptDrops(true);
    window_.installEventFilter(this);
    auto* open = new QShortcut(QKeySequence::Open, &window_);
    connect(open, &QShortcut::activated, this, [this] {
        std::vector<std::string> paths;
        for (const QString& file : pick_()) paths.push_back(file.toStdString());
        Open(paths);
    });
}

void ReviewOpener::Open(const std::vector<std::string>& paths) {
    if (paths.empty()) return;
    auto* review = new CReviewWnd(paths, language_, pictureDir_, &window_);
    review->show();
    review->StartLoading();
}

bool ReviewOpener::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &window_) {
        if (event->type() == QEvent::DragEnter) {
            auto* enter = static_cast<QDragEnterEvent*>(event);
            if (!DroppedFiles(enter->mimeData()).empty()) {
                enter->acceptProposedAction();
                return true;
            }
        } else if (event->type() == QEvent::Drop) {
            auto* drop = static_cast<QDropEvent*>(event);
            const std::vector<std::string> paths = DroppedFiles(drop->mimeData());
            if (!paths.empty()) {
                drop->acceptProposedAction();
                Open(paths);
                return true;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}
