#include "TrafficPane.h"

#include <QKeyEvent>
#include <QMimeData>

TrafficPane::TrafficPane(QWidget* parent) : QPlainTextEdit(parent) {
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
}

void TrafficPane::SetUpperText(const QString& text) {
    setPlainText(text.toUpper());
}

void TrafficPane::keyPressEvent(QKeyEvent* event) {
    const QString upper = event->text().toUpper();
    if (!upper.isEmpty() && upper != event->text()) {
        QKeyEvent shifted(event->type(), event->key(), event->modifiers(), upper,
                          event->isAutoRepeat(), static_cast<ushort>(event->count()));
        QPlainTextEdit::keyPressEvent(&shifted);
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void TrafficPane::insertFromMimeData(const QMimeData* source) {
    if (source && source->hasText()) {
        insertPlainText(source->text().toUpper());
        return;
    }
    QPlainTextEdit::insertFromMimeData(source);
}
