#pragma once

#include <QPointer>
#include <QWidget>

// A plain frame drawn around whichever control of the window has the keyboard
// focus. The window's picture and the transparent labels leave Qt's own focus
// cue faint or hidden; this one sits above every control and lets the mouse through.
class FocusRing : public QWidget {
    Q_OBJECT
public:
    explicit FocusRing(QWidget& window);

    // Puts the frame around the focused control again, after the layout moved it.
    void Follow();
    // Pixels the frame keeps clear around the control, and its width.
    static constexpr int kGap = 1;
    static constexpr int kWidth = 2;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Track(QWidget* focused);

    QPointer<QWidget> tracked_;
};
