// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/InterruptWatcher.h"

#include <QSocketNotifier>

#include <csignal>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

// Non-blocking and close-on-exec: no encoder inherits it.
int signalFd = -1;

sigset_t HandledSignals() {
    sigset_t set;
    sigemptyset(&set);
    // A closed terminal (SIGHUP) stops the batch as Ctrl+C does (the encoder, in a group of
    // its own, would not hear of it).
    for (const int number : {SIGINT, SIGTERM, SIGHUP, SIGTSTP, SIGCONT, SIGUSR1})
        sigaddset(&set, number);
    return set;
}

} // namespace

void InterruptWatcher::InstallHandlers() {
    if (signalFd >= 0)
        return;
    const sigset_t set = HandledSignals();
    // Blocked, these signals wait for the signalfd; SIGCONT still continues a stopped program
    // when it comes, and Ctrl+Z no longer stops it by itself.
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    signalFd = ::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
}

InterruptWatcher::InterruptWatcher(QObject* parent) : QObject(parent) {
    InstallHandlers();
    if (signalFd < 0)
        return;
    notifier = new QSocketNotifier(signalFd, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &InterruptWatcher::Poll);
}

// The signals stay blocked: one that comes during the shutdown is only a request.
InterruptWatcher::~InterruptWatcher() {
    delete notifier;
}

bool InterruptWatcher::Interrupted() const {
    return stopAsked;
}

bool InterruptWatcher::StopAfterCurrentAsked() const {
    return stopAfterAsked;
}

bool InterruptWatcher::ReadSignals() {
    bool any = false;
    signalfd_siginfo info[16];
    ssize_t n = 0;
    while (signalFd >= 0 && (n = ::read(signalFd, info, sizeof info)) > 0) {
        for (size_t i = 0; i < size_t(n) / sizeof info[0]; ++i) {
            any = true;
            switch (int(info[i].ssi_signo)) {
            case SIGTSTP:
                suspendAsked = true;
                break;
            case SIGCONT:
                // The system keeps only the later of Ctrl+Z and SIGCONT pending: this one came
                // after any Ctrl+Z not yet acted on.
                suspendAsked = false;
                resumeAsked = true;
                break;
            case SIGUSR1:
                stopAfterAsked = newStopAfter = true;
                break;
            default:
                stopAsked = newStop = true;
                break;
            }
        }
    }
    return any;
}

void InterruptWatcher::Poll() {
    ReadSignals();
    for (;;) {
        if (newStop) {
            newStop = false;
            emit InterruptRequested();
        } else if (newStopAfter) {
            newStopAfter = false;
            emit StopAfterCurrentRequested();
        } else if (suspendAsked) {
            suspendAsked = false;
            emit SuspendRequested();
            // A SIGCONT that came while the encoders were being paused cancels the stop; one
            // that comes after this look continues the stopped program.
            sigset_t pending;
            sigemptyset(&pending);
            if (::sigpending(&pending) != 0 || !sigismember(&pending, SIGCONT))
                ::raise(SIGSTOP); // what Ctrl+Z would have done
            // Whatever continued the program (fg, SIGCONT), it runs: so does the batch.
            emit ResumeRequested();
        } else if (resumeAsked) {
            resumeAsked = false;
            emit ResumeRequested(); // resume if paused
        } else if (!ReadSignals()) {
            return;
        }
    }
}
