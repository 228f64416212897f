#include "Simulator.h"

#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "LineMatch.h"

namespace {

double Now() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

}  // namespace

Simulator::Simulator(const SimArgs& args)
    : args_(args), bus_(args.sim, args.addresses), sensor_(bus_.Primary()), queue_(args.split) {
    if (args.lineRate > 0)
        pacer_.emplace(static_cast<uint32_t>(args.lineRate),
                       LinePacer::BitsPerByte(args.sim.parity));
}

double Simulator::Clock() const {
    return Now() - start_;
}

bool Simulator::OpenLine() {
    serverLine_.baud = sensor_.Baud();
    serverLine_.parity = sensor_.Parity();
    if (args_.listening) {
        std::string why;
        if (!listener_.Open(args_.listenAt, why)) {
            fprintf(stderr, "tiltsim: cannot listen on %s: %s\n",
                    args_.listenAt.Url(args_.listenAt.port).c_str(), why.c_str());
            return false;
        }
        slavePath_ = args_.listenAt.Url(listener_.Port());
        return true;
    }
    int master = -1;
    if (!OpenPty(master, slave_, slavePath_, args_.sim.standardDevice ? &serverLine_ : nullptr)) {
        perror("tiltsim: pseudo-terminal");
        return false;
    }
    Serve(master);
    return true;
}

int Simulator::Run() {
    if (!OpenLine() || !SetUpSignals()) return 1;
    if (!args_.link.empty() && !link_.Create(args_.portsDir, args_.link, slavePath_)) return 1;
    printf("%s\n", slavePath_.c_str());
    fflush(stdout);

    // A paced line waits tens of microseconds at a time: the kernel's default
    // 50 us of timer slack on each wait would stretch every frame.
    if (pacer_) prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    start_ = Now();
    while (!quit_) Step();

    link_.Remove();
    fprintf(stderr, "frames_sent=%llu\n", static_cast<unsigned long long>(framesSent_));
    return 0;
}

bool Simulator::SetUpSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    sigaddset(&set, SIGUSR1);
    sigaddset(&set, SIGUSR2);
    if (sigprocmask(SIG_BLOCK, &set, nullptr) != 0) return false;
    signal(SIGPIPE, SIG_IGN);
    signalFd_ = signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    if (signalFd_ < 0) perror("tiltsim: signalfd");
    return signalFd_ >= 0;
}

void Simulator::OnSignals() {
    signalfd_siginfo info{};
    while (read(signalFd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        if (info.ssi_signo == SIGUSR1) {
            Unplug();
        } else if (info.ssi_signo == SIGUSR2) {
            hushed_ = !hushed_;
        } else {
            quit_ = true;
        }
    }
}

// The adapter is gone: the device node disappears with the last descriptor,
// as a USB port's does, and so does its name.
void Simulator::Unplug() {
    if (master_ < 0 && !listener_.IsOpen()) return;
    for (int* fd : {&master_, &slave_}) {
        if (*fd >= 0) close(*fd);
        *fd = -1;
    }
    listener_.Close();
    queue_.Clear();
    wire_.clear();
    transport_.reset();
    link_.Remove();
    fprintf(stderr, "tiltsim: unplugged after %llu frames\n",
            static_cast<unsigned long long>(framesSent_));
}

// The TCP client went away: its unsent frames with it; the next may connect.
// The port keeps what the client last set, as a device server's does.
void Simulator::DropClient() {
    if (master_ >= 0) close(master_);
    master_ = -1;
    serverLine_ = ClientLine();
    queue_.Clear();
    wire_.clear();
    transport_.reset();
}

void Simulator::Accept() {
    const int fd = listener_.Accept();
    if (fd < 0) return;  // gone before we took it; poll tells of the next
    Serve(fd);
}

// `fd` is the client's end of the line from now on.
void Simulator::Serve(int fd) {
    master_ = fd;
    readRetryAt_ = 0;
    wire_.clear();
    wireSent_ = 0;
    wireEndsFrame_ = false;
    transport_ = MakeServedTransport(args_.listening ? args_.listenAt.scheme : LinkScheme::RawTcp,
                                     serverLine_, static_cast<size_t>(args_.sim.noiseBytes));
    transport_->Greet(wire_);
}

void Simulator::Step() {
    double now = Clock();
    AutoOutput(now);
    Flush(now);

    pollfd fds[3] = {{signalFd_, POLLIN, 0}, {master_, 0, 0}, {listener_.Fd(), 0, 0}};
    double wakeAt = std::numeric_limits<double>::infinity();
    if (master_ >= 0) {
        if (now >= readRetryAt_) {
            fds[1].events |= POLLIN;
        } else {
            wakeAt = std::min(wakeAt, readRetryAt_);
        }
        if (!wire_.empty()) fds[1].events |= POLLOUT;
        if (!queue_.Empty()) {
            if (queue_.FrontDue() <= now) {
                fds[1].events |= POLLOUT;
            } else {
                wakeAt = std::min(wakeAt, queue_.FrontDue());
            }
        }
        if (AutoOutputOn() && queue_.Frames() < kMaxBacklogFrames) {
            // At the unlimited rate an empty queue means the terminal took
            // everything: only look for requests and signals, then go on.
            const bool unlimited = std::isinf(sensor_.OutputHz());
            if (!unlimited || queue_.Empty())
                wakeAt = std::min(wakeAt, unlimited ? std::max(now, lineRecheckAt_) : nextAuto_);
        }
    }
    if (listener_.IsOpen() && master_ < 0) fds[2].events = POLLIN;
    // Only what asks for something: a hung-up master reports POLLHUP whatever
    // is asked, which must not turn the back-off into a spin.
    pollfd used[3] = {fds[0]};
    nfds_t count = 1;
    int masterAt = -1;
    int listenAt = -1;
    if (fds[1].events != 0) {
        masterAt = static_cast<int>(count);
        used[count++] = fds[1];
    }
    if (fds[2].events != 0) {
        listenAt = static_cast<int>(count);
        used[count++] = fds[2];
    }
    // To the microsecond: at line speed a byte takes tens of microseconds, and
    // a wait rounded up to whole milliseconds would slow the line itself.
    timespec wait{};
    timespec* waitFor = nullptr;
    if (std::isfinite(wakeAt)) {
        const double left = std::max(0.0, wakeAt - now);
        wait.tv_sec = static_cast<time_t>(left);
        wait.tv_nsec = static_cast<long>((left - static_cast<double>(wait.tv_sec)) * 1e9);
        waitFor = &wait;
    }
    const int ready = ppoll(used, count, waitFor, nullptr);
    if (ready < 0) {
        if (errno != EINTR) {
            perror("tiltsim: poll");
            quit_ = true;
        }
        return;
    }
    now = Clock();
    if (used[0].revents & POLLIN) OnSignals();
    if (quit_) return;
    if (listenAt >= 0 && listener_.IsOpen() && (used[listenAt].revents & POLLIN)) Accept();
    if (masterAt < 0 || master_ < 0) return;
    const short got = used[masterAt].revents;
    if (got & POLLIN) {
        ReadRequests(now);
    } else if (got & (POLLHUP | POLLERR)) {
        if (listener_.IsOpen()) {
            DropClient();
        } else {
            readRetryAt_ = now + kReadRetrySeconds;
        }
    }
}
