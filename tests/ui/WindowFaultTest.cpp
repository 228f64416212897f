#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <chrono>
#include <filesystem>

#include "SimProcess.h"
#include "WindowFixture.h"

namespace {

class WindowFaultTest : public PortWindowFixture {
protected:
    std::unique_ptr<CTiltwiseDlg> StartWithSim(const std::vector<std::string>& args) {
        sim = std::make_unique<SimProcess>(args);
        EXPECT_TRUE(sim->Started());
        ports.Link(150, sim->PtyPath());
        return StartOnPort(150, 2);
    }

    std::unique_ptr<SimProcess> sim;
};

TEST_F(WindowFaultTest, MissingConfigFolderRunsOnBuiltInsWithoutMessages) {
    ini = std::make_unique<CIniFile>(scratch.Root() + "/no-such-folder/Config.ini");
    auto dlg = Make(Language::English);
    EXPECT_TRUE(dlg->Initialised());
    qobject_cast<QRadioButton*>(dlg->Control(1056))->click();
    EXPECT_EQ(languageFlag, 0);  // the run-time language still follows the click
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_FALSE(std::filesystem::exists(scratch.Root() + "/no-such-folder"));
}

TEST_F(WindowFaultTest, ClosingWhileTheSensorStreamsDoesNotHang) {
    auto dlg = StartWithSim({"--auto-hz", "max"});
    ASSERT_TRUE(dlg->Link().linkOpen);
    dlg->show();
    ASSERT_TRUE(ProcessUntil([&] { return dlg->Receive().ReplySeen(); }));
    const auto start = std::chrono::steady_clock::now();
    QTest::keyClick(dlg.get(), Qt::Key_Escape);
    dlg.reset();  // the window goes while deliveries are queued and in flight
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_FALSE(port->MonitorAlive());
    QApplication::processEvents();  // calls queued to the gone window are dropped
}

TEST_F(WindowFaultTest, ClosingWithASettingsCommandPendingIsQuiet) {
    auto dlg = StartWithSim({"--silent"});
    qobject_cast<QPushButton*>(dlg->Control(1028))->click();  // set zero, never answered
    EXPECT_TRUE(timers.IsRunning(3));
    dlg->show();
    dlg->close();
    dlg.reset();
    QApplication::processEvents();
    EXPECT_TRUE(messages.shown.empty());
}

}  // namespace
