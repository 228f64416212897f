#include "LinkControls.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QRadioButton>

#include "StringTable.h"
#include "TrafficPane.h"

namespace {

int TimerId(LinkTimer timer) {
    return timer == LinkTimer::Poll ? kPollTimer : kSettingsTimer;
}

// Green while it answers, amber while it is open but quiet, red once it is gone.
QColor HealthColour(LinkHealth::State state) {
    switch (state) {
        case LinkHealth::State::Closed:
            return QColor(90, 90, 90);
        case LinkHealth::State::Waiting:
        case LinkHealth::State::Silent:
            return QColor(170, 95, 0);
        case LinkHealth::State::Answering:
            return QColor(0, 120, 0);
        case LinkHealth::State::Lost:
        case LinkHealth::State::Reopening:
            return QColor(190, 0, 0);
    }
    return QColor(90, 90, 90);
}

}  // namespace

LinkControls::LinkControls(Window window, WindowTimers& timers, Language language)
    : window_(std::move(window)), timers_(timers), language_(language) {}

int LinkControls::ChoiceControl(LinkChoice choice) {
    switch (choice) {
        case LinkChoice::LineBaud:
            return ctl::kBaudList;
        case LinkChoice::LineParity:
            return ctl::kParityList;
        case LinkChoice::DataBits:
            return ctl::kDataBitsList;
        case LinkChoice::StopBits:
            return ctl::kStopBitsList;
        case LinkChoice::Protocol:
            return ctl::kProtocolList;
        case LinkChoice::Model:
            return ctl::kModelList;
        case LinkChoice::DeviceBaud:
            return ctl::kDeviceBaudList;
        case LinkChoice::DeviceParity:
            return ctl::kDeviceParityList;
        case LinkChoice::Frequency:
            return ctl::kFrequencyList;
    }
    return 0;
}

// ---- lists ----------------------------------------------------------------

int LinkControls::ListShow(int id, const std::vector<std::string>& entries) {
    auto* c = qobject_cast<QComboBox*>(window_.control(id));
    if (!c) return static_cast<int>(entries.size());
    c->clear();
    for (const std::string& e : entries) c->addItem(QString::fromStdString(e));
    return 0;
}

void LinkControls::ListChoose(int id, int position) {
    // Setting the index runs no handler: the lists answer the operator's choice only.
    if (auto* c = qobject_cast<QComboBox*>(window_.control(id)))
        c->setCurrentIndex(position >= 0 && position < c->count() ? position : -1);
}

int LinkControls::ListChosen(int id) const {
    const auto* c = qobject_cast<const QComboBox*>(window_.control(id));
    return c ? c->currentIndex() : -1;
}

void LinkControls::ShowPorts(const std::vector<PortEntry>& ports) {
    auto* c = qobject_cast<QComboBox*>(window_.control(ctl::kPortList));
    if (!c) return;
    c->clear();
    for (const PortEntry& p : ports) {
        c->addItem(QString::fromStdString(p.text));
        c->setItemData(c->count() - 1, QString::fromStdString(p.tip), Qt::ToolTipRole);
    }
}

void LinkControls::ChoosePort(int position) {
    ListChoose(ctl::kPortList, position);
}

int LinkControls::ChosenPort() const {
    return ListChosen(ctl::kPortList);
}

int LinkControls::ShowChoices(LinkChoice choice, const std::vector<std::string>& entries) {
    return ListShow(ChoiceControl(choice), entries);
}

void LinkControls::Choose(LinkChoice choice, int position) {
    ListChoose(ChoiceControl(choice), position);
}

int LinkControls::Chosen(LinkChoice choice) const {
    return ListChosen(ChoiceControl(choice));
}

std::string LinkControls::ChoiceText(LinkChoice choice) const {
    const auto* c = qobject_cast<const QComboBox*>(window_.control(ChoiceControl(choice)));
    return c ? c->currentText().toStdString() : std::string();
}

// ---- boxes and buttons ----------------------------------------------------

std::string LinkControls::TextOf(int id) const {
    QWidget* w = window_.control(id);
    if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text().toStdString();
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text().toStdString();
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text().toStdString();
    return std::string();
}

void LinkControls::SetText(int id, const std::string& text) {
    QWidget* w = window_.control(id);
    const QString t = QString::fromStdString(text);
    if (auto* e = qobject_cast<QLineEdit*>(w)) e->setText(t);
    if (auto* b = qobject_cast<QAbstractButton*>(w)) b->setText(t);
    if (auto* l = qobject_cast<QLabel*>(w)) l->setText(t);
    if (window_.textChanged) window_.textChanged(id);
}

void LinkControls::Show(int id, bool shown) {
    if (QWidget* w = window_.control(id)) w->setVisible(shown);
}

std::string LinkControls::AddressText() const {
    return TextOf(ctl::kAddress);
}

void LinkControls::ShowAddress(const std::string& text) {
    SetText(ctl::kAddress, text);
}

std::string LinkControls::NewAddressText() const {
    return TextOf(ctl::kNewAddress);
}

void LinkControls::ShowNewAddress(const std::string& text) {
    SetText(ctl::kNewAddress, text);
}

void LinkControls::ShowSaveCommand(bool shown) {
    Show(ctl::kSave, shown);
}

void LinkControls::ShowParityCommand(bool shown) {
    Show(ctl::kDeviceParityList, shown);
    Show(ctl::kDeviceParityLabel, shown);
    Show(ctl::kSetParity, shown);
}

void LinkControls::ShowLinkOpen(bool open) {
    // The button offers what a click does.
    SetText(ctl::kOpen, LoadResourceString(open ? IDS_CLOSE : IDS_OPEN, language_));
}

void LinkControls::ShowPolling(bool on) {
    const char* text = LoadResourceString(on ? IDS_DISCONNECT : IDS_CONNECT, language_);
    if (window_.setLabelText) window_.setLabelText(ctl::kPolling, QString::fromUtf8(text));
}

void LinkControls::ShowLinkHealth(const LinkHealth::Status& status) {
    auto* line = qobject_cast<QLabel*>(window_.control(ctl::kLinkHealth));
    if (!line) return;
    QPalette p = line->palette();
    if (p.color(QPalette::WindowText) != HealthColour(status.state)) {
        p.setColor(QPalette::WindowText, HealthColour(status.state));
        line->setPalette(p);
    }
    const QString text = QString::fromStdString(LinkHealthText(status, ChineseSelected()));
    if (window_.setLabelText) window_.setLabelText(ctl::kLinkHealth, text);
}

bool LinkControls::ChineseSelected() const {
    const auto* chinese = qobject_cast<const QRadioButton*>(window_.control(ctl::kChinese));
    return chinese && chinese->isChecked();
}

std::string LinkControls::Text(LinkText text) const {
    switch (text) {
        case LinkText::PortOpenFailed:
            return LoadResourceString(IDS_PORT_OPEN_FAILED, language_);
        case LinkText::OperateSuccessfully:
            return LoadResourceString(IDS_OPERATE_SUCCESS, language_);
    }
    return std::string();
}

void LinkControls::ShowBox(const std::string& text, const std::string& caption, BoxIcon icon) {
    if (window_.showBox) window_.showBox(text, caption, icon);
}

// ---- timers and the traffic pane ------------------------------------------

void LinkControls::StartTimer(LinkTimer timer, int periodMs, bool singleShot) {
    timers_.Start(TimerId(timer), periodMs, singleShot);
}

void LinkControls::StopTimer(LinkTimer timer) {
    timers_.Stop(TimerId(timer));
}

void LinkControls::PostOpConfirmed() {
    if (window_.postOpConfirmed) window_.postOpConfirmed();
}

int LinkControls::TrafficTextLength() const {
    const auto* pane = qobject_cast<const TrafficPane*>(window_.control(ctl::kTrafficPane));
    return pane ? pane->CharacterCount() : 0;
}

void LinkControls::ReplaceTrafficText(const std::string& text) {
    if (auto* pane = qobject_cast<TrafficPane*>(window_.control(ctl::kTrafficPane)))
        pane->ReplaceText(QString::fromStdString(text));
}

void LinkControls::AppendTrafficText(const std::string& text) {
    if (auto* pane = qobject_cast<TrafficPane*>(window_.control(ctl::kTrafficPane)))
        pane->AppendAtEnd(QString::fromStdString(text));
}

// ---- the window's own parts -----------------------------------------------

void LinkControls::ApplyProtocolToList() {
    if (window_.applyProtocolToList) window_.applyProtocolToList();
}

void LinkControls::SetModelName(const std::string& name) {
    if (window_.setModelName) window_.setModelName(name);
}

void LinkControls::ReadoutTick() {
    if (window_.readoutTick) window_.readoutTick();
}
