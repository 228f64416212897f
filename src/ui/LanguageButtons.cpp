#include "LanguageButtons.h"

#include <QAbstractButton>

#include "PlatformSeams.h"
#include "Settings.h"

LanguageButtons::LanguageButtons(QAbstractButton& chinese, QAbstractButton& english,
                                 int* languageFlag, const CIniFile* ini, MessageSink* messages)
    : languageFlag_(languageFlag), ini_(ini), messages_(messages) {
    const int flag = languageFlag_ ? *languageFlag_ : 1;
    (flag == 0 ? chinese : english).setChecked(true);
    QObject::connect(&chinese, &QAbstractButton::clicked, &chinese, [this] { OnClicked(0); });
    QObject::connect(&english, &QAbstractButton::clicked, &english, [this] { OnClicked(1); });
}

void LanguageButtons::OnClicked(int flag) {
    if (languageFlag_) *languageFlag_ = flag;
    if (!ini_ || !StoreLanguageChoice(*ini_, flag)) return;
    if (!messages_) return;
    if (flag == 1)
        messages_->ShowMessage("Restart to take effect!!", "Message", MessageIcon::None);
    else
        messages_->ShowMessage("重启软件生效!!", "提示", MessageIcon::None);
}
