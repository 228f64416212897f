#pragma once

#include <QObject>
#include <QStringList>
#include <functional>
#include <string>
#include <vector>

#include "DialogTemplate.h"

class QWidget;

// Opens recordings in review windows from a window of the program: files
// dropped on it, and Ctrl+O with a file dialog for CSV files. The review
// windows are the window's children, so they close with it.
class ReviewOpener : public QObject {
    Q_OBJECT
public:
    // Asks which files to open; empty for none.
    using Picker = std::function<QStringList()>;

    // `pick` defaults to the desktop's file dialog.
    ReviewOpener(QWidget& window, Language language, std::string pictureDir, Picker pick = {});

    void Open(const std::vector<std::string>& paths);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& window_;
    Language language_;
    std::string pictureDir_;
    Picker pick_;
};
