// tiltlog's notices to systemd, received on a real datagram socket.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "NotifySocket.h"
#include "ServiceNotify.h"

namespace {

using std::chrono::seconds;
using Notices = std::vector<std::string>;

std::string TempSocketPath() {
    return "/tmp/tiltlog-notify-" + std::to_string(::getpid()) + ".sock";
}

TEST(ServiceNotify, ReadyWatchdogAndStoppingReachASocketAtAPath) {
    NotifySocket manager(TempSocketPath());
    ASSERT_TRUE(manager.Bound());
    std::vector<std::string> told;
    ServiceNotify notify(manager.Name(), seconds(4),
                         [&](const std::string& m) { told.push_back(m); });
    const auto start = ServiceNotify::SteadyClock::now();
    notify.Ready("logging COM1\nagain");
    notify.Alive(start);
    // Half the watchdog's period later, not before.
    notify.Alive(start + seconds(1));
    ASSERT_TRUE(notify.NextDue().has_value());
    EXPECT_EQ(*notify.NextDue(), start + seconds(2));
    notify.Alive(start + seconds(2));
    notify.Stopping();
    EXPECT_FALSE(notify.NextDue().has_value());
    EXPECT_EQ(manager.Take(), (Notices{"READY=1\nSTATUS=logging COM1 again", "WATCHDOG=1",
                                       "WATCHDOG=1", "STOPPING=1"}));
    EXPECT_TRUE(told.empty());
}

TEST(ServiceNotify, AnAbstractNameFromTheEnvironmentIsReachedAndTheVariablesTaken) {
    NotifySocket manager("@tiltlog-notify-" + std::to_string(::getpid()));
    ASSERT_TRUE(manager.Bound());
    ::setenv("NOTIFY_SOCKET", manager.Name().c_str(), 1);
    ::setenv("WATCHDOG_USEC", "2000000", 1);
    ::setenv("WATCHDOG_PID", std::to_string(::getpid()).c_str(), 1);
    ServiceNotify notify = ServiceNotify::FromEnvironment(nullptr);
    EXPECT_EQ(std::getenv("NOTIFY_SOCKET"), nullptr);
    EXPECT_EQ(std::getenv("WATCHDOG_USEC"), nullptr);
    notify.Ready("waiting");
    notify.Alive(ServiceNotify::SteadyClock::now());
    EXPECT_EQ(manager.Take(), (Notices{"READY=1\nSTATUS=waiting", "WATCHDOG=1"}));
}

TEST(ServiceNotify, AnotherProcesssWatchdogIsNotFedAndAGoneManagerIsToldOnce) {
    const std::string gone = TempSocketPath() + ".gone";
    ::setenv("NOTIFY_SOCKET", gone.c_str(), 1);
    ::setenv("WATCHDOG_USEC", "2000000", 1);
    ::setenv("WATCHDOG_PID", "1", 1);
    std::vector<std::string> told;
    ServiceNotify notify =
        ServiceNotify::FromEnvironment([&](const std::string& m) { told.push_back(m); });
    EXPECT_FALSE(notify.NextDue().has_value());
    notify.Ready("logging");
    notify.Stopping();
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0], "cannot tell the service manager (" + gone + "): No such file or directory");
}

}  // namespace
