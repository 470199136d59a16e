// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/InterruptWatcher.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The handler records what was asked and writes a wake-up byte; the event loop reads the
// state. Lock-free atomics are safe in a handler, and between the threads it may run on.
static_assert(std::atomic<int>::is_always_lock_free);
std::atomic<int> stops{0};
std::atomic<int> stopsAfter{0};
std::atomic<int> order{0};        // numbers Ctrl+Z and SIGCONT in the order they came
std::atomic<int> lastSuspend{0};  // the number of the last Ctrl+Z
std::atomic<int> lastContinue{0}; // the number of the last SIGCONT
// Both ends close on exec (no encoder inherits them) and never block: a burst of signals
// while nothing reads cannot hang the handler.
int signalSockets[2] = {-1, -1};

void OnSignal(int number) {
    const int savedErrno = errno;
    switch (number) {
    case SIGTSTP:
        lastSuspend = order.fetch_add(1) + 1;
        break;
    case SIGCONT:
        lastContinue = order.fetch_add(1) + 1;
        break;
    case SIGUSR1:
        stopsAfter.fetch_add(1);
        break;
    default:
        stops.fetch_add(1);
        break;
    }
    const char byte = 0;
    if (signalSockets[0] >= 0) [[maybe_unused]]
        const auto sent = ::send(signalSockets[0], &byte, 1, MSG_DONTWAIT | MSG_NOSIGNAL);
    errno = savedErrno;
}

constexpr int HandledSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGTSTP, SIGCONT, SIGUSR1};

} // namespace

void InterruptWatcher::InstallHandlers() {
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalSockets);
    struct sigaction action {};
    action.sa_handler = OnSignal;
    // One handler at a time per thread: none interrupts another's bookkeeping.
    sigemptyset(&action.sa_mask);
    for (const int number : HandledSignals)
        sigaddset(&action.sa_mask, number);
    action.sa_flags = SA_RESTART;
    // A closed terminal (SIGHUP) stops the batch as Ctrl+C does (the encoder, in a group of
    // its own, would not hear of it).
    for (const int number : HandledSignals)
        sigaction(number, &action, nullptr);
}

InterruptWatcher::InterruptWatcher(QObject* parent) : QObject(parent) {
    InstallHandlers();
    if (signalSockets[1] < 0)
        return;
    notifier = new QSocketNotifier(signalSockets[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &InterruptWatcher::OnReadable);
}

// The handlers stay: a signal during the shutdown still only records a request.
InterruptWatcher::~InterruptWatcher() {
    delete notifier;
}

bool InterruptWatcher::Interrupted() const {
    return stops.load() != 0;
}

bool InterruptWatcher::StopAfterCurrentAsked() const {
    return stopsAfter.load() != 0;
}

void InterruptWatcher::OnReadable() {
    char buffer[64];
    while (::read(signalSockets[1], buffer, sizeof buffer) > 0) {
    }
    Poll();
}

void InterruptWatcher::Poll() {
    for (bool acted = true; acted;) {
        acted = false;
        if (const int asked = stops.load(); asked != stopsSeen) {
            stopsSeen = asked;
            acted = true;
            emit InterruptRequested();
        }
        if (const int asked = stopsAfter.load(); asked != stopsAfterSeen) {
            stopsAfterSeen = asked;
            acted = true;
            emit StopAfterCurrentRequested();
        }
        // A Ctrl+Z counts only when no SIGCONT came after it: "stop, continue" ends running,
        // whichever of the two is seen first.
        if (const int suspend = lastSuspend.load(); suspend != suspendSeen) {
            suspendSeen = suspend;
            acted = true;
            if (lastContinue.load() < suspend) {
                emit SuspendRequested();
                if (lastContinue.load() < suspend)
                    ::raise(SIGSTOP); // what Ctrl+Z would have done
                // Whatever continued the program (fg, SIGCONT, or a SIGCONT that came while the
                // encoders were being paused), it runs: so does the batch.
                emit ResumeRequested();
            }
        }
        if (const int resume = lastContinue.load(); resume != continueSeen) {
            continueSeen = resume;
            acted = true;
            emit ResumeRequested(); // resume if paused
        }
    }
}
