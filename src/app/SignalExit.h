#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

// SIGTERM, SIGINT and SIGHUP end the window as its close does, so that every
// row received is written. The handler only writes the signal's number to a
// pipe (nothing else is safe there); the window's thread reads it through a
// socket notifier and runs `onSignal`.
class SignalExit : public QObject {
public:
    explicit SignalExit(std::function<void(int signo)> onSignal);
    ~SignalExit() override;
    SignalExit(const SignalExit&) = delete;
    SignalExit& operator=(const SignalExit&) = delete;

    // False when the pipe or a handler could not be set up (the signals then
    // keep their default action).
    bool Armed() const { return armed_; }

private:
    static void Handler(int signo);
    void Drain();

    std::function<void(int)> onSignal_;
    QSocketNotifier* notifier_ = nullptr;
    bool armed_ = false;
};
