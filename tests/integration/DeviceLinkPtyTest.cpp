#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "AcquisitionCycle.h"
#include "ConnectionPanel.h"
#include "FakeLinkView.h"
#include "ModbusProtocol.h"
#include "ReceivePath.h"
#include "RefusedDevice.h"
#include "Ser2net.h"
#include "Serialport.h"
#include "SettingsCommands.h"
#include "SimProcess.h"
#include "TestOwner.h"

namespace {

constexpr int kPort = 7;

// The line speed the open device is set to now, as the driver reports it.
speed_t LineSpeed(const CSerialPort& port) {
    termios t{};
    return port.DeviceTermios(t) ? cfgetospeed(&t) : 0;
}

// The window's device link with tiltsim on the line and the test as the UI thread.
class DeviceLinkPtyTest : public ::testing::Test {
protected:
    DeviceLinkPtyTest()
        : port(PortMap(ports.Path())),
          path(params, Handlers()),
          panel(state, view, store, port, owner, path, [this] { return discovered; }),
          commands(state, view, panel,
                   [this](const uint8_t* b, size_t n) { path.OnTxFrame(b, n); }),
          cycle(state, view, store, panel, commands, path) {
        owner.path = &path;
        path.SetWriteQueue(&port);
        panel.FillLists();
    }
    ~DeviceLinkPtyTest() override { port.Close(); }

    ReceiveHandlers Handlers() {
        ReceiveHandlers h;
        h.OnTarqAcknowledge = [this](const uint8_t* f, size_t n) {
            commands.OnTarqAcknowledge(f, n);
        };
        h.OnModbusEcho = [this](const uint8_t* f, size_t n) { commands.OnModbusEcho(f, n); };
        h.DeliverMeasurement = [this](const Measurement&) {
            ++measurements;
            commands.OnMeasurement();
        };
        return h;
    }
    void StartSim(const std::vector<std::string>& args) {
        sim = std::make_unique<SimProcess>(args);
        ASSERT_TRUE(sim->Started());
        ports.Link(kPort, sim->PtyPath());
    }
    bool Pump(const std::function<bool()>& done) { return owner.PumpUntil(port, done); }
    // Polls until the first reply has confirmed the start-up open.
    void ConfirmStartup() {
        cycle.PollTick();
        ASSERT_TRUE(Pump([&] { return path.ReplySeen(); }));
        cycle.PollTick();
        ASSERT_FALSE(state.startupUnconfirmed);
    }

    // The window's timer 1 while a settings command runs, until it is confirmed.
    bool TickUntilConfirmed() {
        for (int i = 0; i < 6; ++i) {
            cycle.PollTick();
            if (owner.PumpUntil(
                    port, [&] { return view.posted > 0; }, std::chrono::milliseconds(300)))
                return true;
        }
        return false;
    }
    // After the change the sensor answers polls where the link now is.
    bool AnswersPolls() {
        const int before = measurements;
        for (int i = 0; i < 5; ++i) {
            cycle.PollTick();
            if (owner.PumpUntil(
                    port, [&] { return measurements > before; }, std::chrono::milliseconds(500)))
                return true;
        }
        return false;
    }
    void StartModbus(const std::vector<std::string>& extra) {
        std::vector<std::string> args{"--protocol", "modbus", "--address", "1"};
        args.insert(args.end(), extra.begin(), extra.end());
        ASSERT_NO_FATAL_FAILURE(StartSim(args));
        discovered = {kPort};
        store.values["COM"] = "7";
        panel.ApplyProtocol(1);
        panel.StartupScan();
        ASSERT_NO_FATAL_FAILURE(ConfirmStartup());
        ASSERT_TRUE(AnswersPolls());
    }

    PortsDir ports;
    std::unique_ptr<SimProcess> sim;
    int measurements = 0;
    std::vector<int> discovered;
    LinkState state;
    FakeLinkView view;
    FakeSettingsStore store;
    DecodeParameters params;
    TestOwner owner;
    CSerialPort port;
    ReceivePath path;
    ConnectionPanel panel;
    SettingsCommands commands;
    AcquisitionCycle cycle;
};

TEST_F(DeviceLinkPtyTest, ConfiguredPortIsOpenedSilentlyAndStoredAfterTheFirstReply) {
    ASSERT_NO_FATAL_FAILURE(StartSim({"--protocol", "tarq"}));
    discovered = {3, kPort};
    store.values["COM"] = "7";
    panel.StartupScan();
    EXPECT_TRUE(state.linkOpen);
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(view.linkShownOpen, true);  // "Close"
    EXPECT_EQ(view.ChosenPort(), 1);
    EXPECT_TRUE(view.boxes.empty());
    EXPECT_EQ(store.writes.count("COM"), 0u);

    cycle.PollingToggle();
    ASSERT_NO_FATAL_FAILURE(ConfirmStartup());
    EXPECT_EQ(store.values["COM"], "7");
    EXPECT_EQ(store.values["BAUD"], "2");
    EXPECT_EQ(store.values["PARITY"], "0");
    EXPECT_GT(path.FramesThisSecond(), 0);
    EXPECT_EQ(path.Miscount(), 0);
}

TEST_F(DeviceLinkPtyTest, AbsentConfiguredPortOpensNothingAndSaysNothing) {
    discovered = {3, 5};
    store.values["COM"] = "7";
    panel.StartupScan();
    EXPECT_FALSE(state.linkOpen);
    EXPECT_TRUE(view.boxes.empty());
    EXPECT_EQ(view.ChosenPort(), 1);  // the last one visited
    panel.OnOpenClicked();            // COM5 is not there
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text, "Serial port open failed");
    EXPECT_EQ(view.boxes[0].caption, "Message");
}

TEST_F(DeviceLinkPtyTest, APortTheUserMayNotOpenNamesItsGroupAndTheCommandThatAddsThem) {
    ASSERT_NO_FATAL_FAILURE(StartSim({}));
    RefusedDevice refused(sim->PtyPath(), ports.Path());
    if (!refused.Ok()) GTEST_SKIP() << "cannot take this device away from the test's user";
    discovered = {kPort};
    store.values["COM"] = "7";
    // Forked, so that the refused user's attempt cannot leave this process as nobody.
    GTEST_FLAG_SET(death_test_style, "fast");
    auto child = [&] {
        if (!refused.BecomeRefusedUser()) {
            std::fprintf(stderr, "cannot become nobody\n");
            std::_Exit(1);
        }
        panel.StartupScan();  // silent: the start-up open says nothing
        if (!view.boxes.empty()) std::_Exit(2);
        panel.OnOpenClicked();
        const std::string want = "Serial port open failed\n\nYou may not open " + sim->PtyPath() +
                                 ": it belongs to the group " + refused.Group() +
                                 ". Add yourself to it with\n  sudo usermod -aG " +
                                 refused.Group() + " " + RefusedDevice::UserName() +
                                 "\nthen log out and in again.";
        if (view.boxes.size() != 1 || view.boxes[0].text != want) {
            std::fprintf(stderr, "box: %s\n",
                         view.boxes.empty() ? "(none)" : view.boxes[0].text.c_str());
            std::_Exit(3);
        }
        std::_Exit(0);
    };
    EXPECT_EXIT(child(), ::testing::ExitedWithCode(0), "");
}

TEST_F(DeviceLinkPtyTest, BaudChangeWhileOpenReopensAtTheNewRate) {
    ASSERT_NO_FATAL_FAILURE(StartSim({}));
    discovered = {kPort};
    store.values["COM"] = "7";
    panel.StartupScan();
    ASSERT_NO_FATAL_FAILURE(ConfirmStartup());
    EXPECT_EQ(LineSpeed(port), B9600);

    view.Choose(LinkChoice::LineBaud, 4);
    panel.OnBaudSelected();
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(state.baud, 38400u);
    EXPECT_EQ(LineSpeed(port), B38400);

    // Closed, a change only records the choice.
    panel.OnOpenClicked();
    EXPECT_FALSE(port.IsOpen());
    view.Choose(LinkChoice::LineBaud, 5);
    panel.OnBaudSelected();
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(state.baud, 115200u);
}

TEST_F(DeviceLinkPtyTest, ConfirmedModbusBaudChangeReopensAndSelectsTheNewRate) {
    ASSERT_NO_FATAL_FAILURE(StartSim({"--protocol", "modbus", "--address", "1"}));
    discovered = {kPort};
    store.values["COM"] = "7";
    panel.ApplyProtocol(1);
    panel.StartupScan();
    ASSERT_NO_FATAL_FAILURE(ConfirmStartup());

    view.Choose(LinkChoice::DeviceBaud, 3);  // 19200
    commands.OnSetBaud();
    // The repeat goes out on the next tick, 200 ms later in the window; here, once
    // the first echo is in (the one-slot mailbox would otherwise merge the two).
    ASSERT_TRUE(Pump([&] { return commands.AnswersAwaited() == 1; }));
    cycle.PollTick();
    ASSERT_TRUE(Pump([&] { return view.posted == 1; }));
    commands.OnOpConfirmed();
    EXPECT_EQ(view.Chosen(LinkChoice::LineBaud), 3);
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(LineSpeed(port), B19200);
    ASSERT_FALSE(view.boxes.empty());
    EXPECT_EQ(view.boxes.back().text, "operate successfully!!");
}

// Both kinds of Modbus sensor: one that keeps answering the old setting until the
// repeat (tiltsim's default) and a standard device that moves at once.
class ModbusLineChangeTest : public DeviceLinkPtyTest, public ::testing::WithParamInterface<bool> {
protected:
    std::vector<std::string> Mode() const {
        return GetParam() ? std::vector<std::string>{"--standard"} : std::vector<std::string>{};
    }
    void ExpectOneSuccessBox() {
        commands.OnOpConfirmed();
        ASSERT_EQ(view.boxes.size(), 1u);
        EXPECT_EQ(view.boxes[0].text, "operate successfully!!");
        EXPECT_FALSE(view.timerRunning[LinkTimer::Settings]);
        // Reopening at the new setting raised no port error either.
        for (const auto& e : owner.Errors()) ADD_FAILURE() << e.first;
    }
};

TEST_P(ModbusLineChangeTest, AddressChangeEndsWithOneBoxAndPollingAtTheNewAddress) {
    ASSERT_NO_FATAL_FAILURE(StartModbus(Mode()));
    view.ShowNewAddress("2");
    commands.OnSetAddress();
    ASSERT_TRUE(TickUntilConfirmed());
    ASSERT_NO_FATAL_FAILURE(ExpectOneSuccessBox());
    EXPECT_EQ(state.deviceAddress, 2);
    EXPECT_EQ(store.values["ADDR"], "2");
    EXPECT_TRUE(AnswersPolls());
    EXPECT_EQ(path.DeviceAddress(), 2);
}

TEST_P(ModbusLineChangeTest, BaudChangeEndsWithOneBoxAndPollingAtTheNewRate) {
    ASSERT_NO_FATAL_FAILURE(StartModbus(Mode()));
    view.Choose(LinkChoice::DeviceBaud, 3);  // 19200
    commands.OnSetBaud();
    ASSERT_TRUE(TickUntilConfirmed());
    ASSERT_NO_FATAL_FAILURE(ExpectOneSuccessBox());
    EXPECT_EQ(LineSpeed(port), B19200);
    EXPECT_EQ(view.Chosen(LinkChoice::LineBaud), 3);
    EXPECT_EQ(store.values["BAUD"], "3");
    EXPECT_TRUE(AnswersPolls());
}

TEST_P(ModbusLineChangeTest, ParityChangeEndsWithOneBoxAndPollingAtTheNewParity) {
    ASSERT_NO_FATAL_FAILURE(StartModbus(Mode()));
    view.Choose(LinkChoice::DeviceParity, 1);  // odd
    commands.OnSetParity();
    ASSERT_TRUE(TickUntilConfirmed());
    ASSERT_NO_FATAL_FAILURE(ExpectOneSuccessBox());
    EXPECT_EQ(state.parity, 'O');
    EXPECT_EQ(view.Chosen(LinkChoice::LineParity), 1);
    EXPECT_EQ(store.values["PARITY"], "1");
    EXPECT_TRUE(AnswersPolls());
}

INSTANTIATE_TEST_SUITE_P(BothDeviceKinds, ModbusLineChangeTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& p) {
                             return std::string(p.param ? "StandardDevice" : "WaitsForRepeat");
                         });

TEST_F(DeviceLinkPtyTest, LineChangeAnsweredNowhereEndsWithABoxNamingTheNewSetting) {
    ASSERT_NO_FATAL_FAILURE(StartModbus({}));
    sim.reset();
    ASSERT_NO_FATAL_FAILURE(StartSim({"--protocol", "modbus", "--standard", "--silent"}));
    panel.ReopenIfOpen();
    view.Choose(LinkChoice::DeviceBaud, 3);
    commands.OnSetBaud();
    EXPECT_FALSE(TickUntilConfirmed());
    ASSERT_TRUE(view.timerRunning[LinkTimer::Settings]);
    commands.OnTimeout();
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text, "Set Baud failure: the sensor may now be at 19200 baud");
    EXPECT_EQ(LineSpeed(port), B9600);  // where the operator had it
    EXPECT_EQ(store.values.count("BAUD"), 1u);
    EXPECT_EQ(store.values["BAUD"], "2");
}

TEST_F(DeviceLinkPtyTest, TarqZeroCommandIsAcknowledgedBySensor) {
    ASSERT_NO_FATAL_FAILURE(StartSim({}));
    discovered = {kPort};
    store.values["COM"] = "7";
    panel.StartupScan();
    commands.OnSetZero();
    ASSERT_TRUE(Pump([&] { return !view.boxes.empty(); }));
    EXPECT_EQ(view.boxes[0].text, "Set zero successfully!");
    EXPECT_FALSE(view.timerRunning[LinkTimer::Settings]);
}

TEST_F(DeviceLinkPtyTest, PulledAdapterWhilePollingFailsThePortWithoutABoxAndPollingGoesOn) {
    ASSERT_NO_FATAL_FAILURE(StartSim({}));
    discovered = {kPort};
    store.values["COM"] = "7";
    panel.StartupScan();
    cycle.PollingToggle();
    ASSERT_NO_FATAL_FAILURE(ConfirmStartup());
    sim->Signal(SIGUSR1);
    ASSERT_TRUE(Pump([&] { return port.HasFailed(); }));
    for (int i = 0; i < 5; ++i) cycle.PollTick();
    owner.PumpUntil(
        port, [] { return false; }, std::chrono::milliseconds(200));
    EXPECT_TRUE(owner.Errors().empty());  // the link's owner tells the loss, once
    EXPECT_TRUE(port.HasFailed());
}

}  // namespace

namespace {

// tiltsim as a standard device at 9600 baud behind ser2net's telnet port, whose
// own default is 19200: the sensor hears only what the operator's line reaches.
class Rfc2217LinkTest : public DeviceLinkPtyTest {
protected:
    void StartBehindServer() {
        sim = std::make_unique<SimProcess>(std::vector<std::string>{
            "--protocol", "modbus", "--address", "1", "--standard", "--baud", "9600"});
        ASSERT_TRUE(sim->Started());
        server = std::make_unique<Ser2net>(sim->PtyPath(), "telnet(rfc2217),tcp", "19200n81");
        ASSERT_TRUE(server->Ready());
        std::ofstream(ports.Path() + "/COM7") << "rfc2217://127.0.0.1:" << server->Port() << "\n";
        discovered = {kPort};
        store.values["COM"] = "7";
        panel.ApplyProtocol(1);
        panel.StartupScan();
        ASSERT_NO_FATAL_FAILURE(ConfirmStartup());
    }
    std::unique_ptr<Ser2net> server;
};

TEST_F(Rfc2217LinkTest, ZeroWithItsFFAndABaudChangeAreFollowedThroughTheServer) {
    ASSERT_NO_FATAL_FAILURE(StartBehindServer());
    commands.OnSetZero();  // 01 06 00 10 00 FF: the byte telnet escapes, both ways
    ASSERT_TRUE(TickUntilConfirmed());
    commands.OnOpConfirmed();
    view.boxes.clear();
    view.posted = 0;

    view.Choose(LinkChoice::DeviceBaud, 3);  // 19200
    commands.OnSetBaud();
    ASSERT_TRUE(TickUntilConfirmed());
    commands.OnOpConfirmed();
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text, "operate successfully!!");
    EXPECT_EQ(state.baud, 19200u);
    EXPECT_EQ(store.values["BAUD"], "3");
    EXPECT_TRUE(AnswersPolls());
    EXPECT_TRUE(owner.Errors().empty());
}

}  // namespace
