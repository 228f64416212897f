#include <gtest/gtest.h>
#include <signal.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <algorithm>
#include <fstream>

#include "RecordTestSupport.h"
#include "SimServer.h"
#include "WindowFixture.h"

namespace {

class WindowLinkHealthTest : public PortWindowFixture {
protected:
    QString Text(int id) const {
        QWidget* w = dlg->Control(id);
        if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
        if (auto* b = qobject_cast<QPushButton*>(w)) return b->text();
        if (auto* e = qobject_cast<QPlainTextEdit*>(w)) return e->toPlainText();
        return QString();
    }
    QString Health() const { return Text(ctl::kLinkHealth); }
    int Echoed() const { return static_cast<int>(Text(ctl::kTrafficPane).count("TX:")); }
    // The window's timers, compressed: a poll and its reply (or 100 ms), then
    // the once-a-second tick, until the status line reads `shown`.
    bool TickUntil(const QString& shown) {
        return ProcessUntil(
            [&] {
                const uint64_t before = dlg->Stats().measurements;
                timers.Tick(kPollTimer);
                ProcessUntil([&] { return dlg->Stats().measurements > before; },
                             std::chrono::milliseconds(100));
                timers.Tick(kReadoutTimer);
                return Health().startsWith(shown);
            },
            std::chrono::seconds(10));
    }
    static size_t CsvRows(const std::string& path) {
        const std::string text = record_test::ReadFile(path);
        return static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) - 1;
    }

    // Records while the link answers, loses it (`lose`) until the status line
    // reads `gone`, then has it back (`restore`): every row lands in one file.
    void RecordThroughAGap(const std::function<void()>& lose, const QString& gone, bool closes,
                           const std::function<void()>& restore) {
        ASSERT_TRUE(dlg->Link().linkOpen);
        RecordButton(*dlg)->click();
        const std::string file = dlg->Recorder().CurrentPath();
        ASSERT_TRUE(TickUntil("Answering, "));
        const uint64_t before = dlg->Stats().measurements;
        lose();
        ASSERT_TRUE(TickUntil(gone)) << Health().toStdString();
        EXPECT_EQ(dlg->Control(ctl::kLinkHealth)->accessibleName(), "Link: " + Health());
        EXPECT_EQ(Text(ctl::kTemperature), "-") << "the last value left looking live";
        if (closes) {
            EXPECT_EQ(Text(ctl::kOpen), "Open");
            const int echoed = Echoed();
            for (int i = 0; i < 5; ++i) timers.Tick(kPollTimer);
            timers.Tick(kReadoutTimer);
            EXPECT_EQ(Echoed(), echoed) << "a request echoed that never went out";
        }
        restore();
        ASSERT_TRUE(TickUntil("Answering, ")) << Health().toStdString();
        EXPECT_EQ(Text(ctl::kOpen), "Close");
        EXPECT_EQ(dlg->Recorder().CurrentPath(), file);
        RecordButton(*dlg)->click();  // stop: what is buffered goes to the file
        EXPECT_GT(dlg->Stats().measurements, before);
        EXPECT_EQ(CsvRows(file), dlg->Stats().measurements);
        EXPECT_TRUE(messages.shown.empty()) << messages.shown[0].text;
    }

    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<CTiltwiseDlg> dlg;
};

TEST_F(WindowLinkHealthTest, ASensorSilentFromTheStartIsShownSilentAndNeverAnswered) {
    sim = std::make_unique<SimProcess>(std::vector<std::string>{"--silent"});
    ports.Link(150, sim->PtyPath());
    dlg = StartOnPort(150, 2);
    EXPECT_EQ(Health(), "Open, waiting for a reply");
    for (int i = 0; i < 6; ++i) timers.Tick(kPollTimer);
    timers.Tick(kReadoutTimer);
    EXPECT_EQ(Health(), "Silent: 5 polls unanswered, never answered");
}

TEST_F(WindowLinkHealthTest, ASensorFallingSilentMidRunAndBackIsShownAndRecordedThrough) {
    sim = std::make_unique<SimProcess>(std::vector<std::string>{});
    ports.Link(150, sim->PtyPath());
    dlg = StartOnPort(150, 2);
    RecordThroughAGap([&] { sim->Signal(SIGUSR2); }, "Silent: ", false,
                      [&] { sim->Signal(SIGUSR2); });
}

TEST_F(WindowLinkHealthTest, ADeviceGoneAndMadeAgainAtItsPortIsReopenedIntoTheSameRecording) {
    const std::vector<std::string> args{"--link", "COM150", "--ports-dir", ports.Path()};
    sim = std::make_unique<SimProcess>(args);
    dlg = StartOnPort(150, 2);
    RecordThroughAGap([&] { sim->Signal(SIGUSR1); },
                      "Waiting to reopen COM150; lost: the device was removed (", true,
                      [&] { sim = std::make_unique<SimProcess>(args); });
}

TEST_F(WindowLinkHealthTest, AServerDroppedAndBackIsReopenedIntoTheSameRecording) {
    auto server = std::make_unique<SimServer>();
    const uint16_t at = server->Port();
    std::ofstream(ports.Path() + "/COM150") << server->Address() << "\n";
    dlg = StartOnPort(150, 2);
    RecordThroughAGap([&] { server.reset(); }, "Waiting to reopen COM150; lost: the server ", true,
                      [&] { server = std::make_unique<SimServer>(SimulatorOptions(), at); });
}

}  // namespace
