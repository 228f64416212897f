#include "InPlaceEdit.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QPointer>

namespace ListCtrlEx {

EditServices DesktopEditServices() {
    return {[] { QApplication::beep(); }, [] { return QGuiApplication::clipboard()->text(); }};
}

CInPlaceEdit::CInPlaceEdit(QAbstractItemView* list, EditServices services)
    : QLineEdit(list->viewport()), list_(list), services_(std::move(services)) {
    setObjectName(QString::number(kControlId));
    setFrame(false);
    // Text enters only by typing or by the checked paste: a context menu would take the
    // focus (ending the edit) and a drop would skip the character check.
    setContextMenuPolicy(Qt::NoContextMenu);
    setAcceptDrops(false);
    hide();
}

bool CInPlaceEdit::EditCell(const QRect& cellRect, int row, int column, const QString& allowedChars,
                            const QString& text) {
    if (state_ != State::Closed) return false;
    row_ = row;
    column_ = column;
    allowedChars_ = allowedChars;
    textBeforeEdit_ = text;
    cancelled_ = false;
    state_ = State::Editing;

    setGeometry(cellRect);
    setFont(list_->font());
    show();
    raise();
    setText(textBeforeEdit_);
    selectAll();
    setFocus(Qt::OtherFocusReason);
    return true;
}

bool CInPlaceEdit::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        // Enter and Escape end the edit; no dialog button or shortcut may see them.
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
            event->accept();
            return true;
        }
    }
    return QLineEdit::event(event);
}

void CInPlaceEdit::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Escape:
            cancelled_ = true;
            [[fallthrough]];
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // Handing the focus back to the list is what ends the edit.
            event->accept();
            list_->setFocus(Qt::OtherFocusReason);
            return;
        default:
            break;
    }
    if (event->matches(QKeySequence::Paste)) {
        event->accept();
        Paste();
        return;
    }
    if (Refuses(*event)) {
        event->accept();
        Refuse();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

bool CInPlaceEdit::Refuses(const QKeyEvent& event) const {
    if (allowedChars_.isEmpty()) return false;
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    if ((modifiers & Qt::ControlModifier) && !(modifiers & Qt::AltModifier)) {
        // Ctrl+letter types a control character, which no allowed set holds; copy and
        // cut are exempt (paste is checked on its own).
        const int key = event.key();
        return key >= Qt::Key_A && key <= Qt::Key_Z && key != Qt::Key_C && key != Qt::Key_X;
    }
    const QString text = event.text();
    if (text.isEmpty()) return false;
    // Backspace, Delete and the like carry control text: they edit, they do not type.
    for (const QChar c : text) {
        if (!c.isPrint()) return false;
    }
    return !Allows(text);
}

bool CInPlaceEdit::Allows(const QString& text) const {
    for (const QChar c : text) {
        if (!allowedChars_.contains(c)) return false;
    }
    return true;
}

void CInPlaceEdit::inputMethodEvent(QInputMethodEvent* event) {
    if (allowedChars_.isEmpty() || Allows(event->commitString())) {
        QLineEdit::inputMethodEvent(event);
        return;
    }
    Refuse();
    QInputMethodEvent withoutCommit(event->preeditString(), event->attributes());
    QLineEdit::inputMethodEvent(&withoutCommit);
}

void CInPlaceEdit::mouseReleaseEvent(QMouseEvent* event) {
    // A middle-button release would paste the X selection past the character check.
    if (event->button() == Qt::MiddleButton) {
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

void CInPlaceEdit::Paste() {
    if (isReadOnly()) return;
    const QString text = services_.clipboardText ? services_.clipboardText() : QString();
    // All or nothing, and silent: a paste is not a typed character.
    if (!allowedChars_.isEmpty() && !Allows(text)) return;
    insert(text);
}

void CInPlaceEdit::Refuse() {
    if (services_.beep) services_.beep();
}

void CInPlaceEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    if (state_ != State::Editing) return;
    state_ = State::Closing;
    const QString text = cancelled_ ? textBeforeEdit_ : this->text();

    QPointer<CInPlaceEdit> alive(this);
    emit EndLabelEdit(row_, column_, text);
    if (!alive) return;
    // The close waits for the event loop, so a click that took the focus away sees the
    // window still there and opens nothing.
    QMetaObject::invokeMethod(this, &CInPlaceEdit::CloseWindow, Qt::QueuedConnection);
}

void CInPlaceEdit::CloseWindow() {
    if (state_ != State::Closing) return;
    state_ = State::Closed;
    hide();
}

}  // namespace ListCtrlEx
