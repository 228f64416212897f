// tiltlog's view of the device link: its lines on standard error, its timers as
// deadlines, and the connection panel opening through it.

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <string>

#include "ConnectionPanel.h"
#include "Console.h"
#include "ConsoleLinkView.h"
#include "LinkState.h"
#include "LinkTimerSchedule.h"
#include "ReceivePath.h"
#include "Serialport.h"
#include "UnwrittenSettings.h"

namespace {

using Clock = LinkTimerSchedule::Clock;
using std::chrono::milliseconds;

// Standard error as a pipe the test reads back.
class CapturedConsole {
public:
    ~CapturedConsole() {
        for (int fd : fds_)
            if (fd >= 0) ::close(fd);
    }
    Console& console() { return console_; }
    std::string Lines() {
        ::close(fds_[1]);
        fds_[1] = -1;
        std::string text;
        char buffer[256];
        for (ssize_t n; (n = ::read(fds_[0], buffer, sizeof buffer)) > 0;) text.append(buffer, n);
        return text;
    }

private:
    static std::array<int, 2> Pipe() {
        std::array<int, 2> fds{-1, -1};
        if (::pipe(fds.data()) != 0) fds = {-1, -1};
        return fds;
    }
    std::array<int, 2> fds_ = Pipe();
    Console console_{fds_[1], false};
};

struct ViewRig {
    explicit ViewRig(bool retrying, int openError = ENOENT)
        : view(out.console(), timers,
               ConsoleLinkView::PortFacts{[] { return std::string("COM3 (/dev/ttyS2)"); },
                                          [openError] { return openError; }, nullptr},
               retrying, [this] { return now; }) {}

    CapturedConsole out;
    LinkTimerSchedule timers;
    Clock::time_point now{};
    ConsoleLinkView view;
};

class NoOwner : public SerialOwner {
public:
    void DeliverBytes(int, const uint8_t*, const RxBlockInfo&) override {}
    void WakeUiThread() override {}
    void ShowPortError(const std::string&, const std::string&) override {}
};

}  // namespace

TEST(ConsoleLinkView, APortThatDoesNotOpenIsOneLineWithTheSystemsReason) {
    ViewRig rig(false);
    rig.view.ShowBox(rig.view.Text(LinkText::PortOpenFailed), "Message", BoxIcon::Exclamation);
    EXPECT_EQ(rig.out.Lines(),
              "tiltlog: cannot open COM3 (/dev/ttyS2): No such file or directory\n");
}

TEST(ConsoleLinkView, RetryingTheSameFailureIsSaidOnceUntilTheLinkHasChanged) {
    ViewRig rig(true);
    const std::string failure = rig.view.Text(LinkText::PortOpenFailed);
    rig.view.ShowBox(failure, "Message", BoxIcon::Exclamation);
    rig.view.ShowBox(failure, "Message", BoxIcon::Exclamation);
    rig.view.ForgetSaid();
    rig.view.ShowBox(failure, "Message", BoxIcon::Exclamation);
    const std::string line =
        "tiltlog: cannot open COM3 (/dev/ttyS2): No such file or directory; trying again every "
        "second\n";
    EXPECT_EQ(rig.out.Lines(), line + line);
}

TEST(ConsoleLinkView, ABoxsAdviceIsALineOfItsOwnWithItsInnerLinesKept) {
    ViewRig rig(false);
    rig.view.ShowBox("cannot open X: Permission denied\n\nAdd yourself with\n  sudo usermod",
                     "Message", BoxIcon::Exclamation);
    EXPECT_EQ(rig.out.Lines(),
              "tiltlog: cannot open X: Permission denied\ntiltlog: Add yourself with\n  sudo "
              "usermod\n");
}

TEST(ConsoleLinkView, TimersByRoleBecomeDeadlinesOfTheLoop) {
    ViewRig rig(false);
    rig.now = Clock::time_point{} + milliseconds(1000);
    rig.view.StartTimer(LinkTimer::Poll, 50, false);
    ASSERT_TRUE(rig.timers.NextDue().has_value());
    EXPECT_EQ(*rig.timers.NextDue(), rig.now + milliseconds(50));
    rig.view.StopTimer(LinkTimer::Poll);
    EXPECT_FALSE(rig.timers.NextDue().has_value());
}

TEST(ConsoleLinkView, AConfirmationPostedIsTakenOnce) {
    ViewRig rig(false);
    rig.view.PostOpConfirmed();
    EXPECT_TRUE(rig.view.TakePostedConfirmation());
    EXPECT_FALSE(rig.view.TakePostedConfirmation());
}

TEST(ConsoleLinkView, ThePanelOpensTheLineGivenWithoutListsAndSaysWhyItCannot) {
    CapturedConsole out;
    PortMap ports("/nonexistent/ports");
    ports.PinDevicePath(5, "/dev/tiltlog-test-none");
    CSerialPort port(ports);
    LinkTimerSchedule timers;
    ConsoleLinkView view(out.console(), timers,
                         ConsoleLinkView::PortFacts{[&] { return port.DevicePath(); },
                                                    [&] { return port.LastOpenError(); },
                                                    [&] { return port.OpenFailureNote(); }},
                         false);
    LinkState state;
    state.startupUnconfirmed = false;
    UnwrittenSettings store;
    DecodeParameters params;
    ReceivePath path(params, ReceiveHandlers{});
    NoOwner owner;
    ConnectionPanel panel(state, view, store, port, owner, path, nullptr);
    LineSettings line;
    line.portnr = 5;
    line.baud = 19200;
    panel.TakeLine(line);

    EXPECT_FALSE(panel.OpenCloseToggle());
    EXPECT_EQ(state.portnr, 5u);
    EXPECT_EQ(state.baud, 19200u);
    EXPECT_FALSE(view.LinkShownOpen());
    EXPECT_EQ(out.Lines(),
              "tiltlog: cannot open /dev/tiltlog-test-none: No such file or directory\n");
}
