#include "SkinAdapter.h"

#include <QFile>
#include <QStyle>
#include <QWidget>

void CSkinAdapter::Start(void*, const char*, void*, void*) {
    started_ = true;
}

void CSkinAdapter::LoadSkinFile(const char* path) {
    QFile file(QString::fromLocal8Bit(path));
    styleSheet_.clear();
    if (file.open(QIODevice::ReadOnly | QIODevice::Text))
        styleSheet_ = QString::fromUtf8(file.readAll());
}

void CSkinAdapter::BindWindow(QWidget* window, const char* windowSkin) {
    if (!started_ || !window || styleSheet_.isEmpty()) return;
    window_ = window;
    window->setProperty("skin", QString::fromLatin1(windowSkin));
    window->setStyleSheet(styleSheet_);
}

void CSkinAdapter::BindControl(QWidget* control, const char* controlSkin, const char*) {
    if (!started_ || !control || styleSheet_.isEmpty()) return;
    control->setProperty("skin", QString::fromLatin1(controlSkin));
    // A property changed after the sheet was set takes effect only on a new polish.
    control->style()->unpolish(control);
    control->style()->polish(control);
    control->update();
}

void CSkinAdapter::SetWindowMode(QWidget* window, int mode) {
    if (window && window == window_) windowMode_ = mode;
}

void CSkinAdapter::Shutdown() {
    started_ = false;
    window_ = nullptr;
}
