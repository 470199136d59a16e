// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/InterruptWatcher.h"

#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The handler may only write to a descriptor; the event loop reads the other end.
int signalSockets[2] = {-1, -1};
volatile std::sig_atomic_t interrupted = 0;

void OnSignal(int number) {
    if (number != SIGTSTP && number != SIGCONT && number != SIGUSR1)
        interrupted = 1;
    const char byte = static_cast<char>(number);
    [[maybe_unused]] const auto written = ::write(signalSockets[0], &byte, 1);
}

} // namespace

InterruptWatcher::InterruptWatcher(QObject* parent) : QObject(parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalSockets) != 0)
        return;
    notifier = new QSocketNotifier(signalSockets[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &InterruptWatcher::OnReadable);
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // A closed terminal stops the batch as Ctrl+C does (the encoder, in a group of its own,
    // would not hear of it).
    sigaction(SIGHUP, &action, nullptr);
    sigaction(SIGTSTP, &action, nullptr);
    sigaction(SIGCONT, &action, nullptr);
    sigaction(SIGUSR1, &action, nullptr);
}

InterruptWatcher::~InterruptWatcher() {
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGHUP, SIG_DFL);
    std::signal(SIGTSTP, SIG_DFL);
    std::signal(SIGCONT, SIG_DFL);
    std::signal(SIGUSR1, SIG_DFL);
    delete notifier;
    for (int& fd : signalSockets) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

bool InterruptWatcher::Interrupted() const {
    return interrupted != 0;
}

void InterruptWatcher::OnReadable() {
    char buffer[16];
    const auto count = ::read(signalSockets[1], buffer, sizeof buffer);
    for (ssize_t i = 0; i < count; ++i) {
        switch (buffer[i]) {
        case SIGTSTP:
            emit SuspendRequested();
            ::raise(SIGSTOP); // what Ctrl+Z would have done; `fg` continues here
            break;
        case SIGCONT:
            emit ResumeRequested();
            break;
        case SIGUSR1:
            emit StopAfterCurrentRequested();
            break;
        default:
            emit InterruptRequested();
            break;
        }
    }
}
