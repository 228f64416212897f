#pragma once

#include <QLineEdit>
#include <QString>
#include <functional>

class QAbstractItemView;

namespace ListCtrlEx {

// What the in-place editor takes from the desktop. Tests hand in recorders so that
// no real sound is made and no real clipboard is touched.
struct EditServices {
    std::function<void()> beep;              // the warning beep for a refused character
    std::function<QString()> clipboardText;  // what a paste would insert
};

// The desktop's beep and clipboard.
EditServices DesktopEditServices();

// The edit box that opens over one cell of a list. A list keeps one and reuses it for
// every cell; its window is shown only while a cell is being edited.
class CInPlaceEdit : public QLineEdit {
    Q_OBJECT

public:
    static constexpr int kControlId = 1000001;

    CInPlaceEdit(QAbstractItemView* list, EditServices services);

    // Opens the editor over the cell. Refused while the window of a previous edit is
    // still open or waiting for its close.
    bool EditCell(const QRect& cellRect, int row, int column, const QString& allowedChars,
                  const QString& text);

    bool HasWindow() const { return state_ != State::Closed; }
    bool IsEditing() const { return state_ == State::Editing; }
    int Row() const { return row_; }
    int Column() const { return column_; }
    const QString& TextBeforeEdit() const { return textBeforeEdit_; }
    bool IsCancelled() const { return cancelled_; }

signals:
    // The edit is over: the typed text, or the old text when it was cancelled.
    void EndLabelEdit(int row, int column, QString text);

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    enum class State { Closed, Editing, Closing };

    bool Allows(const QString& text) const;
    bool Refuses(const QKeyEvent& event) const;
    void Paste();
    void Refuse();
    void CloseWindow();

    QAbstractItemView* list_;
    EditServices services_;
    State state_ = State::Closed;
    int row_ = -1;
    int column_ = -1;
    QString allowedChars_;
    QString textBeforeEdit_;
    bool cancelled_ = false;
};

}  // namespace ListCtrlEx
