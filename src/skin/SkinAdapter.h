#pragma once

#include <QString>

class QWidget;

// The skinning layer. The window reaches it only through these six entry points,
// which keep the arguments the skinning library has always been called with; no
// result is ever examined. On Linux the skin file is a Qt style sheet whose
// selectors pick the bound widgets by their `skin` property, so only the window
// and the controls bound here change their look.
class CSkinAdapter {
public:
    // Entry 1: before any window exists.
    void Start(void* moduleInstance, const char* appName, void* reserved1, void* reserved2);
    // Entry 3: reads the skin file; a missing file leaves the program unskinned.
    void LoadSkinFile(const char* path);
    // Entry 5: the main window and its skin object.
    void BindWindow(QWidget* window, const char* windowSkin);
    // Entry 51: one control, its skin object and its window's.
    void BindControl(QWidget* control, const char* controlSkin, const char* windowSkin);
    // Entry 11: the window's drawing mode.
    void SetWindowMode(QWidget* window, int mode);
    // Entry 2: after the main window has closed.
    void Shutdown();

    bool Started() const { return started_; }
    bool HasSkin() const { return !styleSheet_.isEmpty(); }
    int WindowMode() const { return windowMode_; }

private:
    bool started_ = false;
    QString styleSheet_;
    QWidget* window_ = nullptr;
    int windowMode_ = 0;
};
