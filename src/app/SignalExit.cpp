#include "SignalExit.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>

namespace {

// One pipe for the process: a handler can reach nothing but globals.
int gPipe[2] = {-1, -1};
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

}  // namespace

void SignalExit::Handler(int signo) {
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(signo);
    // A full pipe already holds a signal to act on; losing this byte loses nothing.
    if (::write(gPipe[1], &byte, 1) < 0) {
    }
    errno = saved;
}

SignalExit::SignalExit(std::function<void(int)> onSignal) : onSignal_(std::move(onSignal)) {
    if (gPipe[0] >= 0 || ::pipe2(gPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    notifier_ = new QSocketNotifier(gPipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { Drain(); });
    struct sigaction sa {};
    sa.sa_handler = &SignalExit::Handler;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    armed_ = true;
    for (int signo : kSignals) armed_ = ::sigaction(signo, &sa, nullptr) == 0 && armed_;
}

SignalExit::~SignalExit() {
    if (gPipe[0] < 0) return;
    for (int signo : kSignals) ::signal(signo, SIG_DFL);
    delete notifier_;
    ::close(gPipe[0]);
    ::close(gPipe[1]);
    gPipe[0] = gPipe[1] = -1;
}

void SignalExit::Drain() {
    unsigned char byte = 0;
    int last = 0;
    while (::read(gPipe[0], &byte, 1) == 1) last = byte;
    if (last != 0 && onSignal_) onSignal_(last);
}
