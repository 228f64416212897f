#pragma once

#include <QPlainTextEdit>

// The traffic pane shows the line's traffic in upper case. The operator reads,
// selects and copies it but cannot change it, and Tab leaves it.
class TrafficPane : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TrafficPane(QWidget* parent = nullptr);

    void SetUpperText(const QString& text);
    // The flush of the traffic text: CR LF line ends are counted as the edit
    // control counted them, two characters a line end.
    int CharacterCount() const;
    void ReplaceText(const QString& text);
    // Puts the caret at the end, scrolls it into view and inserts there; while the
    // operator holds a selection, the text goes to the end and the view stays.
    void AppendAtEnd(const QString& text);
    // Text limit in characters, as the edit control's own limit.
    void SetLimit(int characters) { limit_ = characters; }
    int Limit() const { return limit_; }

private:
    int limit_ = 30000;
};
