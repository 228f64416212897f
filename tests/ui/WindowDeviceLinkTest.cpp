#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <chrono>

#include "IniFile.h"
#include "SimProcess.h"
#include "TiltwiseDlg.h"
#include "WindowFixture.h"

namespace {

// Runs the Qt event loop (where the channel's deliveries land) until `done`.
bool ProcessUntil(const std::function<bool()>& done,
                  std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

class WindowDeviceLinkTest : public WindowFixture {
protected:
    std::unique_ptr<CTiltwiseDlg> Start(int configuredPort) {
        ini->WriteString("LANGUAGE", "EN");
        ini->WriteInt("COM", configuredPort);
        ini->WriteInt("BAUD", 4);
        port = std::make_unique<CSerialPort>(PortMap(ports.Path()));
        DialogContext c = Context(Language::English);
        c.port = port.get();
        c.discoverPorts = [this] { return PortMap(ports.Path()).Discover(PosixPortFileSystem()); };
        auto dlg = std::make_unique<CTiltwiseDlg>(c);
        dlg->InitWindow();
        return dlg;
    }

    PortsDir ports;
    std::unique_ptr<CSerialPort> port;
};

TEST_F(WindowDeviceLinkTest, StartupOpensTheDemoPortAndShowsItsTraffic) {
    SimProcess sim({"--protocol", "tarq"});
    ASSERT_TRUE(sim.Started());
    ports.Link(150, sim.PtyPath());
    auto dlg = Start(150);

    EXPECT_TRUE(dlg->Link().linkOpen);
    EXPECT_EQ(qobject_cast<QPushButton*>(dlg->Control(1001))->text(), QStringLiteral("Close"));
    EXPECT_EQ(qobject_cast<QComboBox*>(dlg->Control(1003))->currentText(),
              QStringLiteral("COM150"));
    EXPECT_EQ(qobject_cast<QPushButton*>(dlg->Control(1026))->text(), QStringLiteral("Disconnect"));
    EXPECT_TRUE(timers.IsRunning(1));
    EXPECT_TRUE(messages.shown.empty());

    timers.Tick(1);
    ASSERT_TRUE(ProcessUntil([&] { return dlg->Receive().ReplySeen(); }));
    timers.Tick(1);
    EXPECT_EQ(ini->ReadInt("COM", 0), 150);
    EXPECT_EQ(ini->ReadInt("BAUD", -1), 4);
    EXPECT_EQ(dlg->Link().baud, 38400u);
    EXPECT_EQ(ini->ReadInt("PARITY", -1), 0);

    timers.Tick(2);
    const QString pane = qobject_cast<QPlainTextEdit*>(dlg->Control(1015))->toPlainText();
    EXPECT_TRUE(pane.startsWith(QStringLiteral("TX: 68 04 00 04 08 \nRX: 68 0D 00 84 ")))
        << pane.toStdString();
}

TEST_F(WindowDeviceLinkTest, PortErrorsFromTheMonitorAreShownOnTheUiThreadOnce) {
    SimProcess sim({"--auto-hz", "50"});
    ASSERT_TRUE(sim.Started());
    ports.Link(150, sim.PtyPath());
    auto dlg = Start(150);
    ASSERT_TRUE(ProcessUntil([&] { return dlg->Receive().ReplySeen(); }));
    sim.Signal(SIGUSR1);
    ASSERT_TRUE(ProcessUntil([&] { return !messages.shown.empty(); }));
    ProcessUntil([] { return false; }, std::chrono::milliseconds(200));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].caption, "COM ReadFile Error");
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::Error);
}

TEST_F(WindowDeviceLinkTest, MissingConfiguredPortLeavesTheLinkClosedWithoutABox) {
    auto dlg = Start(150);
    EXPECT_FALSE(dlg->Link().linkOpen);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(qobject_cast<QPushButton*>(dlg->Control(1001))->text(), QStringLiteral("Open"));
}

}  // namespace
