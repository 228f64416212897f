#pragma once

class CIniFile;
class MessageSink;
class QAbstractButton;

// The two language buttons: the one of the language flag is selected at start;
// a click keeps the choice for the next start and says when it takes effect.
class LanguageButtons {
public:
    // `languageFlag`: 0 Chinese, 1 English; null counts as English.
    LanguageButtons(QAbstractButton& chinese, QAbstractButton& english, int* languageFlag,
                    const CIniFile* ini, MessageSink* messages);

private:
    void OnClicked(int flag);

    int* languageFlag_;
    const CIniFile* ini_;
    MessageSink* messages_;
};
