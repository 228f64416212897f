#pragma once

#include <QToolBar>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

// What the bar asks of the main window: the command to carry out, and the
// tooltip naming what a click does now.
class ChartCommandTarget {
public:
    virtual ~ChartCommandTarget() = default;
    virtual void OnChartCommand(int command) = 0;
    virtual std::string ChartCommandTip(int command) const = 0;
};

// A white child window over the command bar's placeholder holding the chart command bar.
class CToolbarDlg : public QWidget {
    Q_OBJECT
public:
    CToolbarDlg(ChartCommandTarget& target, QWidget* parent);

    QToolBar* ChartCommandBar() const { return bar_; }
    // The command buttons from left to right; Tab reaches each of them.
    std::vector<QWidget*> Buttons() const;
    // The tooltip the bar shows for a command at this moment.
    QString TipFor(int command) const;
    // Names every button for assistive technology by its tooltip at this moment.
    void RefreshNames();
    // A button's command; 0 for anything else.
    static int CommandOf(QObject* button);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ChartCommandTarget& target_;
    QToolBar* bar_ = nullptr;
};
