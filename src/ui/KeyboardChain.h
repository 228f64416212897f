#pragma once

#include <QObject>
#include <vector>

class FocusRing;
class QAbstractButton;
class QWidget;

// The window's keyboard walk: Tab runs through the given controls in their
// order and Shift+Tab back, and a ring marks the control that has the focus.
// Radio buttons of one group are one stop, as everywhere on the desktop (the
// arrow keys move within); Tab lands on the checked one.
class KeyboardChain : public QObject {
    Q_OBJECT
public:
    KeyboardChain(QWidget& window, const std::vector<QWidget*>& chain);

    // The layout has moved the controls: the ring follows the focused one.
    void Follow();

private:
    // Qt enters a radio group at its first button in the chain: the checked one goes first.
    void PutFirstOfItsGroup(QAbstractButton* checked);

    std::vector<QAbstractButton*> radios_;
    FocusRing* ring_;
};
