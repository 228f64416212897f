#include "TrafficPane.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>

TrafficPane::TrafficPane(QWidget* parent) : QPlainTextEdit(parent) {
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setTabChangesFocus(true);
    setFocusPolicy(Qt::StrongFocus);
}

void TrafficPane::SetUpperText(const QString& text) {
    setPlainText(text.toUpper());
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
    if (textCursor().hasSelection()) {
        const int anchor = textCursor().anchor();
        const int position = textCursor().position();
        const int scrolled = verticalScrollBar()->value();
        QTextCursor end(document());
        end.movePosition(QTextCursor::End);
        end.insertText(ForDisplay(text));
        // A selection reaching the end would grow with the new text.
        QTextCursor same(document());
        same.setPosition(anchor);
        same.setPosition(position, QTextCursor::KeepAnchor);
        setTextCursor(same);
        verticalScrollBar()->setValue(scrolled);
        return;
    }
    QTextCursor cursor = textCursor();
    cursor.movePosition(QTextCursor::End);
    setTextCursor(cursor);
    ensureCursorVisible();
    insertPlainText(ForDisplay(text));
}
