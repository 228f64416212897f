#include "QtPlatform.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

void QtMessageSink::ShowMessage(const std::string& text, const std::string& caption,
                                MessageIcon icon) {
    QMessageBox::Icon qicon = QMessageBox::NoIcon;
    switch (icon) {
        case MessageIcon::Information:
            qicon = QMessageBox::Information;
            break;
        case MessageIcon::Warning:
            qicon = QMessageBox::Warning;
            break;
        case MessageIcon::Error:
            qicon = QMessageBox::Critical;
            break;
        case MessageIcon::None:
            break;
    }
    QMessageBox box(qicon, QString::fromStdString(caption), QString::fromStdString(text),
                    QMessageBox::Ok);
    box.exec();
}

bool QtMessageSink::AskRetry(const std::string& text, const std::string& caption,
                             const std::string& retry, const std::string& discard) {
    QMessageBox box(QMessageBox::Warning, QString::fromStdString(caption),
                    QString::fromStdString(text), QMessageBox::NoButton);
    QPushButton* again = box.addButton(QString::fromStdString(retry), QMessageBox::AcceptRole);
    QPushButton* drop = box.addButton(QString::fromStdString(discard), QMessageBox::RejectRole);
    box.setDefaultButton(again);
    box.setEscapeButton(drop);
    box.exec();
    return box.clickedButton() == again;
}

bool QtMessageSink::AskYesNo(const std::string& text, const std::string& caption,
                             const std::string& yes, const std::string& no) {
    QMessageBox box(QMessageBox::Question, QString::fromStdString(caption),
                    QString::fromStdString(text), QMessageBox::NoButton);
    QPushButton* yesButton = box.addButton(QString::fromStdString(yes), QMessageBox::YesRole);
    QPushButton* noButton = box.addButton(QString::fromStdString(no), QMessageBox::NoRole);
    // Enter as well as Escape keeps things as they are.
    box.setDefaultButton(noButton);
    box.setEscapeButton(noButton);
    box.exec();
    return box.clickedButton() == yesButton;
}

std::string QtFolderPicker::PickFolder(const std::string& title, const std::string& start) {
    // A data folder not made yet (a fresh install) opens where it would be;
    // Qt itself would fall back to the working folder, the program's bin.
    QString opening =
        start.empty() ? QString() : QDir(QString::fromStdString(start)).absolutePath();
    while (!opening.isEmpty() && !QFileInfo(opening).isDir()) {
        const qsizetype slash = opening.lastIndexOf(QLatin1Char('/'));
        opening = slash > 0 ? opening.left(slash) : slash == 0 ? QStringLiteral("/") : QString();
    }
    // No owner window, folders only, with a field to type a path. Qt's own
    // picker speaks the interface language; a desktop's native one would speak
    // the desktop's.
    return QFileDialog::getExistingDirectory(
               nullptr, QString::fromStdString(title), opening,
               QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog)
        .toStdString();
}

void QtUrlOpener::OpenUrl(const std::string& url) {
    QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}

QtWindowTimers::QtWindowTimers() {
    // A bus's next request is due to the millisecond: a coarse timer would
    // leave the line idle between turns.
    timers_[kBusTimer].setTimerType(Qt::PreciseTimer);
    for (int id = 0; id < static_cast<int>(timers_.size()); ++id) {
        QObject::connect(&timers_[id], &QTimer::timeout, [this, id] {
            if (onTick_) onTick_(id);
        });
    }
}

void QtWindowTimers::SetHandler(std::function<void(int id)> onTick) {
    onTick_ = std::move(onTick);
}

void QtWindowTimers::Start(int id, int periodMs, bool singleShot) {
    if (id < 0 || id >= static_cast<int>(timers_.size())) return;
    timers_[id].setSingleShot(singleShot);
    timers_[id].start(periodMs);
}

void QtWindowTimers::Stop(int id) {
    if (id >= 0 && id < static_cast<int>(timers_.size())) timers_[id].stop();
}

bool QtWindowTimers::IsRunning(int id) const {
    return id >= 0 && id < static_cast<int>(timers_.size()) && timers_[id].isActive();
}

int QtWindowTimers::Period(int id) const {
    return id >= 0 && id < static_cast<int>(timers_.size()) ? timers_[id].interval() : 0;
}
