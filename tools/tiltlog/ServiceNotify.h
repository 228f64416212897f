#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

// Tells systemd how a service run is going, in its notification protocol: one
// datagram per notice to the socket named in NOTIFY_SOCKET. Nothing is sent
// when tiltlog was not started by a service manager that asked for notices.
class ServiceNotify {
public:
    using SteadyClock = std::chrono::steady_clock;
    // Told once, the first time a notice cannot be sent.
    using Tell = std::function<void(const std::string&)>;

    // From NOTIFY_SOCKET, WATCHDOG_USEC and WATCHDOG_PID, which are then
    // removed: nothing tiltlog starts is the service's main process.
    static ServiceNotify FromEnvironment(Tell tell);

    // `socket`: a path, or an abstract name beginning with '@'; empty sends
    // nothing. `watchdog`: the manager's watchdog period, zero for none.
    ServiceNotify(std::string socket, std::chrono::microseconds watchdog, Tell tell);
    ~ServiceNotify();
    ServiceNotify(ServiceNotify&& other) noexcept;
    ServiceNotify& operator=(ServiceNotify&&) = delete;
    ServiceNotify(const ServiceNotify&) = delete;
    ServiceNotify& operator=(const ServiceNotify&) = delete;

    bool Enabled() const { return !socket_.empty(); }
    void Ready(const std::string& status);
    void Status(const std::string& status);
    // From the loop on each turn: the watchdog hears of it at half its period,
    // so that a late turn still comes in time.
    void Alive(SteadyClock::time_point now);
    // When Alive should next be called; none without a watchdog.
    std::optional<SteadyClock::time_point> NextDue() const;
    void Stopping();

private:
    void Send(const std::string& message);

    std::string socket_;
    SteadyClock::duration every_{};
    std::optional<SteadyClock::time_point> due_;
    Tell tell_;
    int fd_ = -1;
    bool told_ = false;
};
