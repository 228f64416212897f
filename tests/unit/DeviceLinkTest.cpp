#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "AcquisitionCycle.h"
#include "ConnectionPanel.h"
#include "FakeLinkView.h"
#include "HexBytes.h"
#include "ModbusProtocol.h"
#include "ReceivePath.h"
#include "Serialport.h"
#include "SettingsCommands.h"

namespace {

class RecordingQueue : public WriteQueue {
public:
    void QueueWrite(const uint8_t* block, uint32_t n) override {
        sent.emplace_back(block, block + n);
    }
    std::vector<std::vector<uint8_t>> sent;
};

class NoOwner : public SerialOwner {
public:
    void DeliverBytes(int, const uint8_t*, const RxBlockInfo&) override {}
    void WakeUiThread() override {}
    void ShowPortError(const std::string&, const std::string&) override {}
};

// Port 150 leads to a raw converter on the network.
PortMap NetworkPorts() {
    PortMap ports("/nonexistent/ports");
    ports.PinDevicePath(150, "tcp://10.0.0.7:4001");
    return ports;
}

// The device link of the window with fakes around it and the link marked open,
// so that every request shows up in the queue.
class DeviceLinkTest : public ::testing::Test {
protected:
    DeviceLinkTest()
        : port(NetworkPorts()),
          path(params, Handlers()),
          panel(state, view, store, port, owner, path, nullptr),
          commands(state, view, panel,
                   [this](const uint8_t* b, size_t n) { path.OnTxFrame(b, n); }),
          cycle(state, view, store, panel, commands, path) {
        path.SetWriteQueue(&queue);
        panel.FillLists();
        state.linkOpen = true;
        path.SetLinkOpen(true);
    }

    ReceiveHandlers Handlers() {
        ReceiveHandlers h;
        h.OnTarqAcknowledge = [this](const uint8_t* f, size_t n) {
            commands.OnTarqAcknowledge(f, n);
        };
        h.OnModbusEcho = [this](const uint8_t* f, size_t n) { commands.OnModbusEcho(f, n); };
        h.OnModbusException = [this](const uint8_t* f, size_t n) {
            commands.OnModbusException(f, n);
        };
        h.DeliverMeasurement = [this](const Measurement&) { commands.OnMeasurement(); };
        return h;
    }
    void UseModbus() { panel.ApplyProtocol(1); }
    void Reply(const std::string& hex) {
        const auto bytes = Hex(hex);
        path.OnRxBlock(state.protocol == 1 ? MSG_RX_MODBUS : MSG_RX_TARQ, bytes.data(),
                       RxBlockInfo{5, static_cast<uint32_t>(bytes.size())});
    }
    // Timer 1 as the window runs it, and timer 3 only if it is still running.
    void PollTicks(int n) {
        for (int i = 0; i < n; ++i) cycle.PollTick();
    }
    void TimeoutIfRunning() {
        if (view.timerRunning[LinkTimer::Settings]) commands.OnTimeout();
    }
    size_t Sent() const { return queue.sent.size(); }

    LinkState state;
    FakeLinkView view;
    FakeSettingsStore store;
    DecodeParameters params;
    NoOwner owner;
    CSerialPort port;
    RecordingQueue queue;
    ReceivePath path;
    ConnectionPanel panel;
    SettingsCommands commands;
    AcquisitionCycle cycle;
};

TEST_F(DeviceLinkTest, TarqSetZeroAnsweredGivesOneRequestAndOneBox) {
    commands.OnSetZero();
    ASSERT_EQ(Sent(), 1u);
    EXPECT_EQ(queue.sent[0], Hex("68 05 00 05 01 0B"));
    EXPECT_TRUE(view.timerRunning[LinkTimer::Settings]);
    Reply("68 05 00 85 00 8A");
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text, "Set zero successfully!");
    EXPECT_EQ(view.boxes[0].caption, "OK");
    EXPECT_EQ(view.boxes[0].icon, BoxIcon::None);
    EXPECT_FALSE(view.timerRunning[LinkTimer::Settings]);
    PollTicks(3);  // polling resumes at once: read requests only
    TimeoutIfRunning();
    EXPECT_EQ(view.boxes.size(), 1u);
    for (size_t i = 1; i < Sent(); ++i) EXPECT_EQ(queue.sent[i], Hex("68 04 00 04 08"));
}

TEST_F(DeviceLinkTest, ModbusSetZeroIsConfirmedByTheSecondEcho) {
    UseModbus();
    commands.OnSetZero();
    PollTicks(1);
    ASSERT_EQ(Sent(), 2u);
    EXPECT_EQ(queue.sent[0], Hex("01 06 00 10 00 FF C8 4F"));
    EXPECT_EQ(queue.sent[1], queue.sent[0]);
    Reply("01 06 00 10 00 FF C8 4F");
    EXPECT_EQ(view.posted, 0);
    Reply("01 06 00 10 00 FF C8 4F");
    ASSERT_EQ(view.posted, 1);
    commands.OnOpConfirmed();
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text, "operate successfully!!");
    EXPECT_EQ(view.boxes[0].caption, "Message");
    TimeoutIfRunning();
    EXPECT_EQ(view.boxes.size(), 1u);
}

TEST_F(DeviceLinkTest, UnansweredCommandGoesOutFourTimesThenTimesOut) {
    commands.OnSetZero();
    PollTicks(3);
    EXPECT_EQ(Sent(), 4u);
    for (const auto& frame : queue.sent) EXPECT_EQ(frame, Hex("68 05 00 05 01 0B"));
    PollTicks(1);  // the turns are spent: polling resumes
    ASSERT_EQ(Sent(), 5u);
    EXPECT_EQ(queue.sent[4], Hex("68 04 00 04 08"));
    TimeoutIfRunning();
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text, "Set zero failure");
    EXPECT_EQ(view.boxes[0].caption, "Warning");
    EXPECT_EQ(view.boxes[0].icon, BoxIcon::Exclamation);
}

TEST_F(DeviceLinkTest, WithPollingOffACommandGoesOutOnce) {
    cycle.PollingToggle();  // on
    cycle.PollingToggle();  // off: timer 1 stops, no ticks reach the machine
    EXPECT_FALSE(view.timerRunning[LinkTimer::Poll]);
    commands.OnClearZero();
    EXPECT_EQ(Sent(), 1u);
    EXPECT_EQ(queue.sent[0], Hex("68 05 00 05 00 0A"));
}

TEST_F(DeviceLinkTest, LateAcknowledgementAfterARepeatGivesASecondBoxWithoutName) {
    commands.OnSetZero();
    PollTicks(1);
    Reply("68 05 00 85 00 8A");
    Reply("68 05 00 85 00 8A");
    ASSERT_EQ(view.boxes.size(), 2u);
    EXPECT_EQ(view.boxes[0].text, "Set zero successfully!");
    EXPECT_EQ(view.boxes[1].text, " successfully!");
}

TEST_F(DeviceLinkTest, FailedAcknowledgementIsAWarning) {
    commands.OnSetZero();
    Reply("68 05 00 85 FF 89");
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text, "Set zero failure!");
    EXPECT_EQ(view.boxes[0].caption, "Warning");
}

TEST_F(DeviceLinkTest, SaveHasNoNameAndNeverTimesOut) {
    commands.OnSave();
    EXPECT_FALSE(view.timerRunning[LinkTimer::Settings]);
    ASSERT_EQ(Sent(), 1u);
    EXPECT_EQ(queue.sent[0], Hex("68 04 00 53 57"));
    Reply("68 05 00 D3 00 D8");
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text, " successfully!");
}

TEST_F(DeviceLinkTest, BaudOrParityChangeThroughARawConverterIsRefusedBeforeAnythingIsSent) {
    UseModbus();
    state.portnr = 150;
    view.Choose(LinkChoice::DeviceBaud, 3);
    commands.OnSetBaud();
    commands.OnSetParity();
    EXPECT_EQ(Sent(), 0u);
    TimeoutIfRunning();
    ASSERT_EQ(view.boxes.size(), 2u);
    EXPECT_NE(view.boxes[0].text.find("converter's port to match"), std::string::npos);
    EXPECT_EQ(view.boxes[1].text, view.boxes[0].text);
    commands.OnSetZero();  // a change that leaves the line alone still goes
    EXPECT_EQ(Sent(), 1u);
}

TEST_F(DeviceLinkTest, ModbusRefusesBaudRatesWithoutACode) {
    UseModbus();
    for (int position : {0, 6}) {
        view.Choose(LinkChoice::DeviceBaud, position);
        commands.OnSetBaud();
    }
    EXPECT_EQ(Sent(), 0u);
    ASSERT_EQ(view.boxes.size(), 2u);
    EXPECT_EQ(view.boxes[0].text, "The protocol does not support this choice!");
    EXPECT_EQ(view.boxes[0].icon, BoxIcon::None);
    // The refusal is the one box of the click: no time-out box follows.
    TimeoutIfRunning();
    EXPECT_EQ(view.boxes.size(), 2u);

    view.Choose(LinkChoice::DeviceBaud, 2);
    commands.OnSetBaud();
    ASSERT_EQ(Sent(), 1u);
    EXPECT_EQ(queue.sent[0], Hex("01 06 00 12 00 A1 E8 77"));
}

TEST_F(DeviceLinkTest, NewAddressZeroGoesToTheBroadcastAddressUnderTarqOnly) {
    view.ShowNewAddress("0");
    commands.OnSetAddress();
    ASSERT_EQ(Sent(), 1u);
    EXPECT_EQ(queue.sent[0], Hex("68 05 FF 0F 00 13"));

    UseModbus();
    view.boxes.clear();
    commands.OnSetAddress();
    EXPECT_EQ(Sent(), 1u);
    TimeoutIfRunning();
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text, "Set Addr failure");
}

TEST_F(DeviceLinkTest, NewAddressThatIsNoAddressSendsNothing) {
    // A zero command leaves 0xFF as the last data byte; it must never become an address.
    UseModbus();
    commands.OnSetZero();
    for (const char* text : {"", "1234", "255", "999"}) {
        view.ShowNewAddress(text);
        const size_t before = Sent();
        commands.OnSetAddress();
        EXPECT_EQ(Sent(), before) << "'" << text << "'";
    }
}

TEST_F(DeviceLinkTest, TarqNewAddressOf255OrMoreSendsNothing) {
    for (const char* text : {"255", "256", "999"}) {
        view.ShowNewAddress(text);
        commands.OnSetAddress();
        EXPECT_EQ(Sent(), 0u) << text;
    }
    view.ShowNewAddress("254");
    commands.OnSetAddress();
    ASSERT_EQ(Sent(), 1u);
    EXPECT_EQ(queue.sent[0], Hex("68 05 00 0F FE 12"));
}

TEST_F(DeviceLinkTest, EverySettingsCommandTimesOutAfterOneSecond) {
    commands.OnSetZero();
    EXPECT_TRUE(view.timerRunning[LinkTimer::Settings]);
    EXPECT_EQ(view.timerPeriod[LinkTimer::Settings], 1000);
    UseModbus();
    view.timerPeriod[LinkTimer::Settings] = 0;
    commands.OnSetParity();
    EXPECT_EQ(view.timerPeriod[LinkTimer::Settings], 1000);
}

TEST_F(DeviceLinkTest, ModbusWriteToAddressZeroIsRefusedBeforeAnythingIsSent) {
    UseModbus();
    view.ShowAddress("0");
    view.ShowNewAddress("5");
    view.Choose(LinkChoice::DeviceBaud, 3);
    for (auto command : {&SettingsCommands::OnSetAddress, &SettingsCommands::OnSetZero,
                         &SettingsCommands::OnClearZero, &SettingsCommands::OnSetBaud,
                         &SettingsCommands::OnSetFrequency, &SettingsCommands::OnSetParity}) {
        view.boxes.clear();
        (commands.*command)();
        EXPECT_EQ(Sent(), 0u);
        ASSERT_EQ(view.boxes.size(), 1u);
        EXPECT_EQ(view.boxes[0].text,
                  "Address 0 is the Modbus broadcast address: every sensor on the bus would take "
                  "this setting. Enter the sensor's own address.");
        EXPECT_EQ(view.boxes[0].icon, BoxIcon::Exclamation);
        TimeoutIfRunning();
        EXPECT_EQ(view.boxes.size(), 1u);
    }
    view.chinese = true;
    view.boxes.clear();
    commands.OnSetAddress();
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text.rfind("地址 0 是 Modbus 广播地址", 0), 0u);
}

TEST_F(DeviceLinkTest, ModbusEchoWhoseRepeatIsNeverAnsweredStillEndsWithABox) {
    UseModbus();
    commands.OnSetZero();
    Reply("01 06 00 10 00 FF C8 4F");
    PollTicks(3);
    TimeoutIfRunning();
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text, "Set zero failure");
}

TEST_F(DeviceLinkTest, RefusedModbusWriteFailsAtOnceWithoutNamingANewSetting) {
    UseModbus();
    view.ShowNewAddress("2");
    commands.OnSetAddress();
    std::vector<uint8_t> refusal{0x01, 0x86, 0x03};
    const uint16_t crc = ModbusCrc(refusal.data(), refusal.size());
    refusal.push_back(static_cast<uint8_t>(crc & 0xFF));
    refusal.push_back(static_cast<uint8_t>(crc >> 8));
    path.OnRxModbus(refusal.data(), refusal.size());
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text, "Set Addr failure");
    PollTicks(3);
    TimeoutIfRunning();
    EXPECT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(path.DeviceAddress(), 1);
    EXPECT_EQ(queue.sent.back(), BuildModbusRead(1));
}

class ModbusFollowTest : public DeviceLinkTest {
protected:
    ModbusFollowTest() {
        UseModbus();
        view.ShowNewAddress("2");
        commands.OnSetAddress();
    }
    void EchoAtOne() { Reply("01 06 00 11 00 02 58 0E"); }
    std::string ReadReplyFrom(int address) {
        std::vector<uint8_t> f{static_cast<uint8_t>(address),
                               0x03,
                               0x0A,
                               0x39,
                               0x30,
                               0,
                               0,
                               0x28,
                               0x23,
                               0,
                               0,
                               0x09,
                               0xCE};
        const uint16_t crc = ModbusCrc(f.data(), f.size());
        f.push_back(static_cast<uint8_t>(crc & 0xFF));
        f.push_back(static_cast<uint8_t>(crc >> 8));
        std::string text;
        char hex[4];
        for (uint8_t b : f) {
            std::snprintf(hex, sizeof hex, "%02X ", b);
            text += hex;
        }
        return text;
    }
    void ExpectConfirmedAtTwo() {
        ASSERT_EQ(view.posted, 1);
        commands.OnOpConfirmed();
        ASSERT_EQ(view.boxes.size(), 1u);
        EXPECT_EQ(view.boxes[0].text, "operate successfully!!");
        EXPECT_EQ(state.deviceAddress, 2);
        EXPECT_EQ(path.DeviceAddress(), 2);
        EXPECT_EQ(view.AddressText(), "2");
        EXPECT_EQ(store.values["ADDR"], "2");
        TimeoutIfRunning();
        EXPECT_EQ(view.boxes.size(), 1u);
        PollTicks(1);
        EXPECT_EQ(queue.sent.back(), BuildModbusRead(2));
    }
};

TEST_F(ModbusFollowTest, DeviceThatTakesTheAddressAtOnceIsFollowedAndConfirmedThere) {
    EchoAtOne();
    PollTicks(1);
    EXPECT_EQ(queue.sent.back(), BuildModbusRead(2));
    EXPECT_EQ(commands.FollowState(), SettingsCommands::Follow::AtNew);
    Reply(ReadReplyFrom(2));
    ExpectConfirmedAtTwo();
}

TEST_F(ModbusFollowTest, DeviceThatWaitsForTheRepeatIsConfirmedByItsSecondEcho) {
    EchoAtOne();
    PollTicks(1);  // nobody answers at address 2
    PollTicks(1);
    EXPECT_EQ(queue.sent.back(), BuildModbusWrite(1, kModbusRegAddress, 2));
    EXPECT_EQ(path.DeviceAddress(), 1);
    EchoAtOne();
    ExpectConfirmedAtTwo();
}

TEST_F(ModbusFollowTest, SensorAnsweringNowhereEndsWithOneBoxNamingTheNewAddress) {
    EchoAtOne();
    PollTicks(5);
    TimeoutIfRunning();
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text, "Set Addr failure: the sensor may now be at address 2");
    EXPECT_EQ(view.boxes[0].icon, BoxIcon::Exclamation);
    // Nothing confirmed it: the link goes on where the operator had it.
    EXPECT_EQ(path.DeviceAddress(), 1);
    EXPECT_EQ(store.values.count("ADDR") ? store.values["ADDR"] : "1", "1");
    Reply(ReadReplyFrom(2));
    EXPECT_EQ(view.posted, 0);
}

TEST_F(ModbusFollowTest, FailureBoxNamesTheSettingInChineseToo) {
    view.chinese = true;
    commands.OnSetAddress();
    EchoAtOne();
    PollTicks(5);
    TimeoutIfRunning();
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text, "设置地址操作失败!传感器现在可能在地址 2");
}

TEST_F(DeviceLinkTest, ConfirmedModbusAddressChangeMovesTheAddressBox) {
    UseModbus();
    view.ShowNewAddress("17");
    commands.OnSetAddress();
    ASSERT_EQ(queue.sent.back(), BuildModbusWrite(1, kModbusRegAddress, 17));
    commands.OnModbusEcho(nullptr, 0);
    commands.OnModbusEcho(nullptr, 0);
    commands.OnOpConfirmed();
    EXPECT_EQ(state.deviceAddress, 17);
    EXPECT_EQ(path.DeviceAddress(), 17);  // replies are now recognised at the new address
    EXPECT_EQ(view.AddressText(), "17");
    EXPECT_EQ(commands.OperationKind(), SettingsCommands::kNone);
}

TEST_F(DeviceLinkTest, RunTimeTextsFollowTheChineseButton) {
    view.chinese = true;
    commands.OnSetZero();
    Reply("68 05 00 85 00 8A");
    commands.OnSetBaud();
    TimeoutIfRunning();
    ASSERT_EQ(view.boxes.size(), 2u);
    EXPECT_EQ(view.boxes[0].text, "设置零点操作成功!");
    EXPECT_EQ(view.boxes[1].text, "设置波特率操作失败!");
}

TEST_F(DeviceLinkTest, PollingToggleSwitchesTimerCaptionAndResetsTheMachine) {
    commands.OnSetZero();
    cycle.PollingToggle();
    EXPECT_TRUE(state.pollingOn);
    EXPECT_TRUE(view.timerRunning[LinkTimer::Poll]);
    EXPECT_EQ(view.timerPeriod[LinkTimer::Poll], 200);
    EXPECT_EQ(view.pollingShown, true);  // "Disconnect"
    EXPECT_EQ(commands.AnswersAwaited(), 0);
    EXPECT_EQ(commands.TurnCountdown(), 3);
    EXPECT_EQ(store.values["ADDR"], "0");
    cycle.PollingToggle();
    EXPECT_FALSE(state.pollingOn);
    EXPECT_FALSE(view.timerRunning[LinkTimer::Poll]);
    EXPECT_EQ(view.pollingShown, false);  // "Connect"
}

TEST_F(DeviceLinkTest, ACycleGivenItsOwnPollPeriodStartsThePollTimerAtIt) {
    AcquisitionCycle every50ms(state, view, store, panel, commands, path, 50);
    every50ms.PollingToggle();
    EXPECT_TRUE(view.timerRunning[LinkTimer::Poll]);
    EXPECT_EQ(view.timerPeriod[LinkTimer::Poll], 50);
}

TEST_F(DeviceLinkTest, ALineTakenWithoutListChoicesIsTheLineOpened) {
    view.Choose(LinkChoice::LineBaud, -1);
    view.Choose(LinkChoice::LineParity, -1);
    view.ChoosePort(-1);
    LineSettings line;
    // Beyond the numbers a port can have: refused without touching any device.
    line.portnr = 200;
    line.baud = 115200;
    line.parity = 'E';
    panel.TakeLine(line);
    state.linkOpen = false;
    panel.OnOpenClicked();
    EXPECT_EQ(state.portnr, 200u);
    EXPECT_EQ(state.baud, 115200u);
    EXPECT_EQ(state.parity, 'E');
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text, "Serial port open failed");
}

TEST_F(DeviceLinkTest, FirstReplyConfirmsTheStartupOpenOnce) {
    state.portnr = 7;
    view.Choose(LinkChoice::LineBaud, 4);
    PollTicks(1);
    EXPECT_EQ(store.writes.count("COM"), 0u);
    Reply("68 0D 00 84 00 12 34 10 05 67 00 25 10 88");
    PollTicks(2);
    EXPECT_FALSE(state.startupUnconfirmed);
    EXPECT_EQ(view.linkShownOpen, true);  // "Close"
    EXPECT_EQ(store.values["COM"], "7");
    EXPECT_EQ(store.values["BAUD"], "4");
    EXPECT_EQ(store.values["PARITY"], "0");
    EXPECT_EQ(store.writes["COM"], 1);
}

TEST_F(DeviceLinkTest, ClosedLinkSendsAndEchoesNothing) {
    state.linkOpen = false;
    path.SetLinkOpen(false);
    PollTicks(3);
    EXPECT_EQ(Sent(), 0u);
    EXPECT_TRUE(path.PendingTrafficText().empty());
}

TEST_F(DeviceLinkTest, TrafficPaneStartsOverPastItsLimit) {
    PollTicks(1);
    cycle.ReadoutTick();
    EXPECT_EQ(view.readoutTicks, 1);
    EXPECT_EQ(view.pane, "Tx: 68 04 00 04 08 \r\n");
    cycle.ReadoutTick();  // nothing pending: unchanged
    EXPECT_EQ(view.pane, "Tx: 68 04 00 04 08 \r\n");
    view.pane.assign(65535, 'x');
    PollTicks(1);
    cycle.ReadoutTick();
    EXPECT_EQ(view.pane, "Tx: 68 04 00 04 08 \r\n");
    view.pane.assign(65534, 'x');
    PollTicks(1);
    cycle.ReadoutTick();
    EXPECT_EQ(view.pane.size(), 65534u + 21u);
}

TEST_F(DeviceLinkTest, AddressBoxRules) {
    struct Case {
        const char* text;
        int address;
    };
    for (const Case& c : {Case{"7", 7}, Case{"42", 42}, Case{"255", 255}, Case{"256", 0},
                          Case{"300", 44}, Case{"1234", 44}, Case{"", 44}}) {
        view.ShowAddress(c.text);
        panel.ReadDeviceAddress();
        EXPECT_EQ(state.deviceAddress, c.address) << c.text;
        EXPECT_EQ(store.values["ADDR"], c.text);
    }
}

TEST_F(DeviceLinkTest, AnAddressListIsABusAndABadOneIsRefusedOnceLeavingTheBusAsItWas) {
    view.ShowAddress("1-3,7");
    panel.ReadDeviceAddress();
    EXPECT_EQ(state.busAddresses, (std::vector<uint8_t>{1, 2, 3, 7}));
    EXPECT_EQ(state.deviceAddress, 1);
    panel.UseDeviceAddress(3);  // the operator's selection stays while it is listed
    view.ShowAddress("2-4");
    panel.ReadDeviceAddress();
    EXPECT_EQ(state.deviceAddress, 3);
    for (const char* bad : {"2-x", "2-x", "1,255"}) {  // 255: the frame protocol's broadcast
        view.ShowAddress(bad);
        panel.ReadDeviceAddress();
    }
    EXPECT_EQ(view.boxes.size(), 2u);
    EXPECT_EQ(state.busAddresses, (std::vector<uint8_t>{2, 3, 4}));
    EXPECT_EQ(store.values["ADDR"], "2-4");
    UseModbus();  // 0 is Modbus's broadcast: refused, and the box keeps the list
    view.ShowAddress("0-2");
    panel.ReadDeviceAddress();
    EXPECT_EQ(view.boxes.size(), 3u);
    EXPECT_EQ(view.AddressText(), "0-2");
    view.ShowAddress("5");
    panel.ReadDeviceAddress();
    EXPECT_TRUE(state.busAddresses.empty());
}

TEST_F(DeviceLinkTest, OnABusOnlyTheSelectedSensorIsSetAndNeverItsLineOrATakenAddress) {
    UseModbus();
    view.ShowAddress("1-3");
    panel.ReadDeviceAddress();
    panel.UseDeviceAddress(2);
    commands.OnSetBaud();
    commands.OnSetParity();
    view.ShowNewAddress("3");
    commands.OnSetAddress();
    EXPECT_EQ(Sent(), 0u);
    EXPECT_EQ(view.boxes.size(), 3u);
    view.ShowNewAddress("9");
    commands.OnSetAddress();
    ASSERT_EQ(queue.sent.back(), BuildModbusWrite(2, kModbusRegAddress, 9));
    commands.OnModbusEcho(nullptr, 0);
    commands.OnModbusEcho(nullptr, 0);
    commands.OnOpConfirmed();
    EXPECT_EQ(state.busAddresses, (std::vector<uint8_t>{1, 9, 3}));
    EXPECT_EQ(view.AddressText(), "1,9,3");
}

TEST_F(DeviceLinkTest, ModbusTakesAddressOneForZeroAndSwapsTheControls) {
    UseModbus();
    EXPECT_EQ(state.protocol, 1);
    EXPECT_EQ(state.deviceAddress, 1);
    EXPECT_EQ(view.AddressText(), "1");
    EXPECT_EQ(view.saveShown, false);
    EXPECT_EQ(view.parityShown, true);  // the list, its label and its Set button
    panel.ApplyProtocol(0);
    EXPECT_EQ(state.protocol, 0);
    EXPECT_EQ(state.deviceAddress, 1);  // the frame protocol keeps it
    EXPECT_EQ(view.saveShown, true);
    EXPECT_EQ(view.parityShown, false);
    EXPECT_EQ(view.protocolApplied, 2);
}

TEST_F(DeviceLinkTest, ListsAreFilledForTheProtocolOfTheMoment) {
    ASSERT_EQ(view.ports.size(), 15u);
    EXPECT_EQ(view.ports[14].text, "COM15");
    EXPECT_EQ(view.Chosen(LinkChoice::LineBaud), 2);
    EXPECT_EQ(view.Entry(LinkChoice::LineBaud, 6), "230400");
    EXPECT_EQ(view.Chosen(LinkChoice::DeviceParity), 0);  // the line's: N
    EXPECT_EQ(view.Entry(LinkChoice::Frequency, 1), "5");
    UseModbus();
    panel.FillFrequencyList();
    EXPECT_EQ(view.Entry(LinkChoice::Frequency, 1), "10");
    EXPECT_EQ(view.Entry(LinkChoice::Protocol, 1), "Modbus");
    EXPECT_EQ(view.NewAddressText(), "0");
}

TEST_F(DeviceLinkTest, DeviceParityFollowsTheLinesUntilTheOperatorPicksOne) {
    view.Choose(LinkChoice::LineParity, 1);
    panel.OnParitySelected();
    EXPECT_EQ(view.Chosen(LinkChoice::DeviceParity), 1);
    panel.OnDeviceParitySelected();
    panel.ShowLineParity(2);
    EXPECT_EQ(view.Chosen(LinkChoice::DeviceParity), 1);
}

TEST_F(DeviceLinkTest, APendingCommandIsNeverRepeatedInAnotherProtocol) {
    commands.OnSetZero();  // the frame protocol's zero, data 1
    view.Choose(LinkChoice::Protocol, 1);
    panel.OnProtocolSelected();
    PollTicks(1);
    EXPECT_EQ(queue.sent.back(), Hex("01 03 00 02 00 04 E5 C9"));  // a read, no write
}

TEST_F(DeviceLinkTest, RefusedListEntryIsReported) {
    view.refusing = LinkChoice::Protocol;
    panel.FillLists();
    ASSERT_EQ(view.boxes.size(), 2u);
    EXPECT_EQ(view.boxes[0].text, "Build baud error!");
}

TEST_F(DeviceLinkTest, FrequencyWithoutSelectionSendsTheTypedNumberMarked) {
    view.Choose(LinkChoice::Frequency, -1);
    view.typedTexts[LinkChoice::Frequency] = "20";
    commands.OnSetFrequency();
    ASSERT_EQ(Sent(), 1u);
    EXPECT_EQ(queue.sent[0][4], 20 | 0x80);
}

TEST_F(DeviceLinkTest, SetFrequencyOnAClosedLinkOnlyTimesOut) {
    state.linkOpen = false;
    commands.OnSetFrequency();
    EXPECT_EQ(Sent(), 0u);
    EXPECT_TRUE(view.timerRunning[LinkTimer::Settings]);
}

// Only the ports folder's entries are there, and nothing behind them: an open
// fails, but the path it tried shows which port the panel chose.
class EntriesOnly : public PortFileSystem {
public:
    explicit EntriesOnly(std::set<std::string> entries) : entries_(std::move(entries)) {}
    bool Exists(const std::string&) const override { return false; }
    bool EntryExists(const std::string& path) const override { return entries_.count(path) > 0; }
    bool IsCharDevice(const std::string&) const override { return false; }
    std::string ReadLine(const std::string&) const override { return ""; }

private:
    std::set<std::string> entries_;
};

std::vector<int> Numbers(int first, int last) {
    std::vector<int> numbers;
    for (int n = first; n <= last; ++n) numbers.push_back(n);
    return numbers;
}

std::vector<std::string> ComNames(const std::vector<int>& numbers) {
    std::vector<std::string> names;
    for (int n : numbers) names.push_back("COM" + std::to_string(n));
    return names;
}

// The start-up scan with a discovery of the test's choosing; numbers above the
// table's COM1-COM15 keep discovered entries apart from the fifteen defaults.
class StartupScanTest : public ::testing::Test {
protected:
    StartupScanTest()
        : port(PortMap("/nonexistent/ports"),
               std::make_shared<EntriesOnly>(std::set<std::string>{"/nonexistent/ports/COM101",
                                                                   "/nonexistent/ports/COM119"})),
          path(params, ReceiveHandlers{}),
          panel(state, view, store, port, owner, path, [this] { return discovered; }) {
        panel.FillLists();
    }
    std::vector<std::string> PortList() const { return view.PortTexts(); }

    std::vector<int> discovered;
    LinkState state;
    FakeLinkView view;
    FakeSettingsStore store;
    DecodeParameters params;
    NoOwner owner;
    CSerialPort port;
    ReceivePath path;
    ConnectionPanel panel;
};

TEST_F(StartupScanTest, NineteenDiscoveredPortsAreScannedAndTheConfiguredOneIsOpened) {
    discovered = Numbers(101, 119);
    store.values["COM"] = "119";
    panel.StartupScan();
    EXPECT_EQ(PortList(), ComNames(discovered));
    EXPECT_EQ(view.ChosenPort(), 18);
    EXPECT_EQ(state.autoOpenedIndex, 18);
    EXPECT_EQ(port.DevicePath(), "/nonexistent/ports/COM119");
    EXPECT_EQ(port.LastOpenError(), ENOENT);
    // The start-up open is unconfirmed: its failure says nothing.
    EXPECT_TRUE(view.boxes.empty());
    EXPECT_FALSE(state.linkOpen);
}

TEST_F(StartupScanTest, TwentyDiscoveredPortsFallBackToTheDefaultsAheadOfThemAndOpenNothing) {
    discovered = Numbers(101, 120);
    store.values["COM"] = "101";
    panel.StartupScan();
    std::vector<std::string> expected = ComNames(Numbers(1, 15));
    for (const std::string& name : ComNames(discovered)) expected.push_back(name);
    EXPECT_EQ(PortList(), expected);
    EXPECT_EQ(view.ChosenPort(), 0);
    EXPECT_EQ(port.DevicePath(), "");
    EXPECT_FALSE(state.linkOpen);
    EXPECT_TRUE(view.boxes.empty());
}

TEST_F(StartupScanTest, NoDiscoveredPortGivesExactlyComOneToFifteenWithTheFirstSelected) {
    store.values["COM"] = "101";
    panel.StartupScan();
    EXPECT_EQ(PortList(), ComNames(Numbers(1, 15)));
    EXPECT_EQ(view.ChosenPort(), 0);
    EXPECT_EQ(port.DevicePath(), "");
    EXPECT_FALSE(state.linkOpen);
    EXPECT_TRUE(view.boxes.empty());
}

}  // namespace
