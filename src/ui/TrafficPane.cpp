#include "TrafficPane.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>
#include <QTextDocument>

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

namespace {

// The pane shows lines; the traffic text ends them with CR LF.
QString ForDisplay(const QString& text) {
    QString t = text.toUpper();
    t.remove(QLatin1Char('\r'));
    return t;
}

}  // namespace

int TrafficPane::CharacterCount() const {
    const QTextDocument* doc = document();
    // characterCount() includes one closing paragraph separator; every other
    // separator stands for a CR LF pair.
    return doc->characterCount() - 1 + (doc->blockCount() - 1);
}

void TrafficPane::ReplaceText(const QString& text) {
    setPlainText(ForDisplay(text));
}

void TrafficPane::AppendAtEnd(const QString& text) {
    QTextCursor cursor = textCursor();
    cursor.movePosition(QTextCursor::End);
    setTextCursor(cursor);
    ensureCursorVisible();
    insertPlainText(ForDisplay(text));
}
