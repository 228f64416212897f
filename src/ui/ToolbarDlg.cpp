#include "ToolbarDlg.h"

#include <QAction>
#include <QHelpEvent>
#include <QPainter>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>

#include "ChartCommands.h"
#include "DialogTemplate.h"
#include "ToolbarArt.h"

CToolbarDlg::CToolbarDlg(ChartCommandTarget& target, QWidget* parent)
    : QWidget(parent), target_(target) {
    setObjectName(QString::number(kToolbarTemplate));
    bar_ = new QToolBar(this);
    bar_->setObjectName(QString::number(kChartCommandBarId));
    bar_->setIconSize(QSize(kToolPictureWidth, kToolPictureHeight));
    bar_->setContentsMargins(0, 0, 0, 0);
    bar_->setStyleSheet(QStringLiteral("QToolBar { background: white; border: 0; spacing: 0; }"));
    const QImage strip = DrawToolbarStrip();
    for (int i = 0; i < kToolPictureCount; ++i) {
        const int command = ChartCommandTable()[i].command;
        QAction* action =
            bar_->addAction(QIcon(QPixmap::fromImage(ToolbarPicture(strip, i))), QString());
        action->setData(command);
        connect(action, &QAction::triggered, this,
                [this, command] { target_.OnChartCommand(command); });
        QWidget* button = bar_->widgetForAction(action);
        button->setObjectName(QString::number(command));
        button->setFixedSize(kToolPictureWidth + 3, kToolPictureHeight + 3);
        // Reached by Tab and pressed with Space or Enter; a click leaves the focus where it was.
        button->setFocusPolicy(Qt::TabFocus);
        // The tip is asked for when it is due: it names what a click does now.
        button->installEventFilter(this);
    }
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(bar_, 0, Qt::AlignTop | Qt::AlignLeft);
    RefreshNames();
}

void CToolbarDlg::RefreshNames() {
    for (QAction* action : bar_->actions()) {
        const QString name = TipFor(action->data().toInt());
        QWidget* button = bar_->widgetForAction(action);
        if (button && button->accessibleName() != name) button->setAccessibleName(name);
    }
}

std::vector<QWidget*> CToolbarDlg::Buttons() const {
    std::vector<QWidget*> buttons;
    for (QAction* action : bar_->actions()) buttons.push_back(bar_->widgetForAction(action));
    return buttons;
}

int CToolbarDlg::CommandOf(QObject* button) {
    auto* tool = qobject_cast<QToolButton*>(button);
    if (!tool || !tool->defaultAction()) return 0;
    return tool->defaultAction()->data().toInt();
}

QString CToolbarDlg::TipFor(int command) const {
    if (command == 0) return QString();
    return QString::fromStdString(target_.ChartCommandTip(command));
}

bool CToolbarDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const int command = CommandOf(watched);
        if (command != 0) {
            auto* help = static_cast<QHelpEvent*>(event);
            QToolTip::showText(help->globalPos(), TipFor(command), static_cast<QWidget*>(watched));
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CToolbarDlg::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
}
