#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>
#include <map>
#include <memory>

#include "LinkControls.h"
#include "TrafficPane.h"
#include "UiFakes.h"

namespace {

// The link's controls as the window makes them, without the window.
class LinkControlsTest : public ::testing::Test {
protected:
    LinkControlsTest() { Build(Language::English); }

    void Build(Language language) {
        for (int id : {ctl::kPortList, ctl::kBaudList, ctl::kParityList, ctl::kFrequencyList,
                       ctl::kDeviceParityList, ctl::kModelList})
            Add<QComboBox>(id);
        for (int id : {ctl::kOpen, ctl::kPolling, ctl::kSave, ctl::kSetParity})
            Add<QPushButton>(id);
        Add<QLabel>(ctl::kDeviceParityLabel);
        Add<QLineEdit>(ctl::kAddress);
        Add<QLineEdit>(ctl::kNewAddress);
        Add<QRadioButton>(ctl::kChinese);
        Add<TrafficPane>(ctl::kTrafficPane);
        LinkControls::Window window;
        window.control = [this](int id) -> QWidget* {
            auto it = controls.find(id);
            return it == controls.end() ? nullptr : it->second;
        };
        window.setLabelText = [this](int id, const QString& text) {
            labelWrites[id] = text.toStdString();
        };
        window.textChanged = [this](int id) { ++textChanges[id]; };
        link = std::make_unique<LinkControls>(window, timers, language);
    }
    template <typename W>
    W* Add(int id) {
        auto* w = new W(&parent);
        controls[id] = w;
        return w;
    }
    template <typename W>
    W* Get(int id) {
        return qobject_cast<W*>(controls.at(id));
    }

    QWidget parent;
    std::map<int, QWidget*> controls;
    std::map<int, std::string> labelWrites;
    std::map<int, int> textChanges;
    FakeTimers timers;
    std::unique_ptr<LinkControls> link;
};

TEST_F(LinkControlsTest, PortsAreShownWithTheirTipsAndOnlyAShownPortCanBeChosen) {
    link->ShowPorts({{"COM3", "/dev/ttyS2"}, {"COM33", "/dev/ttyUSB0"}});
    auto* list = Get<QComboBox>(ctl::kPortList);
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->itemText(1).toStdString(), "COM33");
    EXPECT_EQ(list->itemData(1, Qt::ToolTipRole).toString().toStdString(), "/dev/ttyUSB0");
    link->ChoosePort(1);
    EXPECT_EQ(link->ChosenPort(), 1);
    link->ChoosePort(2);
    EXPECT_EQ(link->ChosenPort(), -1);
    link->ShowPorts({{"COM1", ""}});
    EXPECT_EQ(list->count(), 1);
}

TEST_F(LinkControlsTest, EachChoiceIsMadeInItsOwnList) {
    EXPECT_EQ(link->ShowChoices(LinkChoice::LineBaud, {"2400", "4800"}), 0);
    EXPECT_EQ(link->ShowChoices(LinkChoice::Frequency, {"0", "5", "15"}), 0);
    link->Choose(LinkChoice::LineBaud, 1);
    link->Choose(LinkChoice::Frequency, 2);
    EXPECT_EQ(Get<QComboBox>(ctl::kBaudList)->currentText().toStdString(), "4800");
    EXPECT_EQ(link->Chosen(LinkChoice::Frequency), 2);
    EXPECT_EQ(link->ChoiceText(LinkChoice::Frequency), "15");
    EXPECT_EQ(link->Chosen(LinkChoice::LineParity), -1);
    link->Choose(LinkChoice::LineBaud, 7);
    EXPECT_EQ(link->Chosen(LinkChoice::LineBaud), -1);
    // A list the window lacks takes none of its entries.
    EXPECT_EQ(link->ShowChoices(LinkChoice::StopBits, {"1"}), 1);
}

TEST_F(LinkControlsTest, OpenAndPollingButtonsOfferWhatAClickDoes) {
    link->ShowLinkOpen(true);
    EXPECT_EQ(Get<QPushButton>(ctl::kOpen)->text().toStdString(), "Close");
    EXPECT_EQ(textChanges[ctl::kOpen], 1);  // its accessible name follows
    link->ShowLinkOpen(false);
    EXPECT_EQ(Get<QPushButton>(ctl::kOpen)->text().toStdString(), "Open");
    // The polling button goes through the flicker-free writer.
    link->ShowPolling(true);
    EXPECT_EQ(labelWrites[ctl::kPolling], "Disconnect");
    link->ShowPolling(false);
    EXPECT_EQ(labelWrites[ctl::kPolling], "Connect");

    Build(Language::Chinese);
    link->ShowLinkOpen(true);
    link->ShowPolling(true);
    EXPECT_EQ(Get<QPushButton>(ctl::kOpen)->text().toStdString(), "关闭");
    EXPECT_EQ(labelWrites[ctl::kPolling], "断开");
    EXPECT_EQ(link->Text(LinkText::PortOpenFailed), "串口打开失败");
}

TEST_F(LinkControlsTest, ProtocolCommandsShowAndHideWithAllTheirControls) {
    link->ShowParityCommand(true);
    link->ShowSaveCommand(false);
    for (int id : {ctl::kDeviceParityList, ctl::kDeviceParityLabel, ctl::kSetParity})
        EXPECT_FALSE(controls[id]->isHidden()) << id;
    EXPECT_TRUE(controls[ctl::kSave]->isHidden());
    link->ShowParityCommand(false);
    for (int id : {ctl::kDeviceParityList, ctl::kDeviceParityLabel, ctl::kSetParity})
        EXPECT_TRUE(controls[id]->isHidden()) << id;
}

TEST_F(LinkControlsTest, AddressBoxesAndTheChineseButtonAreRead) {
    Get<QLineEdit>(ctl::kAddress)->setText("17");
    Get<QLineEdit>(ctl::kNewAddress)->setText("2");
    EXPECT_EQ(link->AddressText(), "17");
    EXPECT_EQ(link->NewAddressText(), "2");
    link->ShowAddress("5");
    EXPECT_EQ(Get<QLineEdit>(ctl::kAddress)->text().toStdString(), "5");
    EXPECT_FALSE(link->ChineseSelected());
    Get<QRadioButton>(ctl::kChinese)->setChecked(true);
    EXPECT_TRUE(link->ChineseSelected());
}

TEST_F(LinkControlsTest, TimersByRoleAreTheWindowsPollAndSettingsTimers) {
    link->StartTimer(LinkTimer::Poll, 200, false);
    link->StartTimer(LinkTimer::Settings, 1000, true);
    EXPECT_TRUE(timers.IsRunning(kPollTimer));
    EXPECT_EQ(timers.Period(kPollTimer), 200);
    EXPECT_EQ(timers.Period(kSettingsTimer), 1000);
    link->StopTimer(LinkTimer::Settings);
    EXPECT_FALSE(timers.IsRunning(kSettingsTimer));
    EXPECT_TRUE(timers.IsRunning(kPollTimer));
}

TEST_F(LinkControlsTest, TrafficTextIsCountedAsThePaneCountsIt) {
    link->AppendTrafficText("Tx: 68 \r\n");
    link->AppendTrafficText("Rx: 68 \r\n");
    EXPECT_EQ(link->TrafficTextLength(), 18);
    link->ReplaceTrafficText("Tx: 01 \r\n");
    EXPECT_EQ(link->TrafficTextLength(), 9);
    EXPECT_EQ(Get<TrafficPane>(ctl::kTrafficPane)->toPlainText().toStdString(), "TX: 01 \n");
}

}  // namespace
