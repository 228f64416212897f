#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <cerrno>
#include <chrono>

#include "IniFile.h"
#include "SimProcess.h"
#include "TiltwiseDlg.h"
#include "WindowFixture.h"

namespace {

class WindowDeviceLinkTest : public PortWindowFixture {
protected:
    std::unique_ptr<CTiltwiseDlg> Start(int configuredPort) {
        ini->WriteString("LANGUAGE", "EN");
        return StartOnPort(configuredPort, 4);
    }
};

TEST_F(WindowDeviceLinkTest, StartupOpensTheDemoPortAndShowsItsTraffic) {
    SimProcess sim({"--protocol", "tarq"});
    ASSERT_TRUE(sim.Started());
    ports.Link(150, sim.PtyPath());
    auto dlg = Start(150);

    EXPECT_TRUE(dlg->Link().linkOpen);
    EXPECT_EQ(qobject_cast<QPushButton*>(dlg->Control(ctl::kOpen))->text(),
              QStringLiteral("Close"));
    EXPECT_EQ(qobject_cast<QComboBox*>(dlg->Control(ctl::kPortList))->currentText(),
              QStringLiteral("COM150"));
    EXPECT_EQ(qobject_cast<QPushButton*>(dlg->Control(ctl::kPolling))->text(),
              QStringLiteral("Disconnect"));
    EXPECT_TRUE(timers.IsRunning(kPollTimer));
    EXPECT_TRUE(messages.shown.empty());

    timers.Tick(kPollTimer);
    ASSERT_TRUE(ProcessUntil([&] { return dlg->Receive().ReplySeen(); }));
    timers.Tick(kPollTimer);
    EXPECT_EQ(ini->ReadInt("COM", 0), 150);
    EXPECT_EQ(ini->ReadInt("BAUD", -1), 4);
    EXPECT_EQ(dlg->Link().baud, 38400u);
    EXPECT_EQ(ini->ReadInt("PARITY", -1), 0);

    timers.Tick(kReadoutTimer);
    const QString pane =
        qobject_cast<QPlainTextEdit*>(dlg->Control(ctl::kTrafficPane))->toPlainText();
    EXPECT_TRUE(pane.startsWith(QStringLiteral("TX: 68 04 00 04 08 \nRX: 68 0D 00 84 ")))
        << pane.toStdString();
}

TEST_F(WindowDeviceLinkTest, ThePortListTellsWhichDeviceEachComNumberIs) {
    SimProcess sim({"--protocol", "tarq"});
    ASSERT_TRUE(sim.Started());
    ports.Link(150, sim.PtyPath());
    auto dlg = Start(150);
    auto* list = qobject_cast<QComboBox*>(dlg->Control(ctl::kPortList));
    ASSERT_EQ(list->currentText(), QStringLiteral("COM150"));
    EXPECT_EQ(list->itemData(list->currentIndex(), Qt::ToolTipRole).toString().toStdString(),
              sim.PtyPath() + ", through " + ports.Path() + "/COM150");
}

TEST_F(WindowDeviceLinkTest, MissingConfiguredPortLeavesTheLinkClosedWithoutABox) {
    auto dlg = Start(150);
    EXPECT_FALSE(dlg->Link().linkOpen);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(qobject_cast<QPushButton*>(dlg->Control(ctl::kOpen))->text(), QStringLiteral("Open"));
}

TEST_F(WindowDeviceLinkTest, DanglingLinkIsAMissingPortAtStartAndOnOpen) {
    // COM1's table device, /dev/ttyS0, exists on most PCs: it must not be opened
    // in the unplugged adapter's place.
    ports.Link(1, ports.Path() + "/unplugged-adapter");
    auto dlg = Start(1);
    EXPECT_FALSE(dlg->Link().linkOpen);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(port->DevicePath(), "");

    auto* list = qobject_cast<QComboBox*>(dlg->Control(ctl::kPortList));
    const int com1 = list->findText(QStringLiteral("COM1"));
    ASSERT_GE(com1, 0);
    if (list->currentIndex() == com1) {
        qobject_cast<QPushButton*>(dlg->Control(ctl::kOpen))->click();
    } else {
        list->setCurrentIndex(com1);  // the first change opens, as a click would
    }
    EXPECT_FALSE(dlg->Link().linkOpen);
    EXPECT_FALSE(port->IsOpen());
    EXPECT_EQ(port->DevicePath(), ports.Path() + "/COM1");
    EXPECT_EQ(port->LastOpenError(), ENOENT);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Serial port open failed");
}

}  // namespace
