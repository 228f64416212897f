#pragma once

#include <QPlainTextEdit>

// The traffic pane turns everything put into it, by the program or by typing,
// into upper case.
class TrafficPane : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TrafficPane(QWidget* parent = nullptr);

    void SetUpperText(const QString& text);
    // The flush of the traffic text: CR LF line ends are counted as the edit
    // control counted them, two characters a line end.
    int CharacterCount() const;
    void ReplaceText(const QString& text);
    // Puts the caret at the end, scrolls it into view and inserts there.
    void AppendAtEnd(const QString& text);
    // Text limit in characters, as the edit control's own limit.
    void SetLimit(int characters) { limit_ = characters; }
    int Limit() const { return limit_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    int limit_ = 30000;
};
