#include "KeyboardChain.h"

#include <QRadioButton>

#include "FocusRing.h"

KeyboardChain::KeyboardChain(QWidget& window, const std::vector<QWidget*>& chain)
    : QObject(&window), ring_(new FocusRing(window)) {
    for (size_t i = 1; i < chain.size(); ++i) QWidget::setTabOrder(chain[i - 1], chain[i]);
    for (QWidget* w : chain) {
        if (auto* radio = qobject_cast<QRadioButton*>(w)) radios_.push_back(radio);
    }
    for (QAbstractButton* radio : radios_) {
        if (radio->isChecked()) PutFirstOfItsGroup(radio);
        connect(radio, &QAbstractButton::toggled, this, [this, radio](bool on) {
            if (on) PutFirstOfItsGroup(radio);
        });
    }
}

void KeyboardChain::Follow() {
    ring_->Follow();
}

void KeyboardChain::PutFirstOfItsGroup(QAbstractButton* checked) {
    QWidget* previous = checked;
    for (QAbstractButton* radio : radios_) {
        if (radio == checked || radio->group() != checked->group() ||
            radio->parentWidget() != checked->parentWidget())
            continue;
        QWidget::setTabOrder(previous, radio);
        previous = radio;
    }
}
