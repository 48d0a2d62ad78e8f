// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/signal_watch.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace zel {

namespace {

constexpr int WatchedSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The handler's end and the event loop's end of a socket pair.
int signalSocket[2] = {-1, -1};

void OnSignal(int signalNumber) {
    // Only async-signal-safe calls here: the event loop reads the byte.
    const int savedErrno = errno;
    const char byte = char(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(signalSocket[0], &byte, 1);
    errno = savedErrno;
}

void SetHandler(int signalNumber, void (*handler)(int)) {
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(signalNumber, &action, nullptr);
}

} // namespace

SignalWatch::SignalWatch(QObject* parent) : QObject(parent) {
    Q_ASSERT(signalSocket[0] < 0);
    // Without the pair the signals keep their default action: the program still ends.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalSocket) != 0)
        return;
    notifier_ = new QSocketNotifier(signalSocket[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &SignalWatch::Drain);
    for (int signalNumber : WatchedSignals)
        SetHandler(signalNumber, OnSignal);
}

SignalWatch::~SignalWatch() {
    if (!notifier_)
        return;
    for (int signalNumber : WatchedSignals)
        SetHandler(signalNumber, SIG_DFL);
    delete notifier_;
    ::close(signalSocket[0]);
    ::close(signalSocket[1]);
    signalSocket[0] = signalSocket[1] = -1;
}

void SignalWatch::Drain() {
    char byte = 0;
    while (::read(signalSocket[1], &byte, 1) == 1)
        emit Received(int(byte));
}

} // namespace zel
