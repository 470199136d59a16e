// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class QSocketNotifier;

// Turns Ctrl+C (SIGINT), SIGTERM and a closed terminal (SIGHUP) into a stop request; SIGUSR1
// into a request to stop after the running jobs; Ctrl+Z (SIGTSTP) into a pause of the encoders
// (in process groups of their own, the terminal does not reach them) before the program stops
// itself; SIGCONT into "resume if paused". One instance per process.
//
// Signals are states, not a queue: the handler only records what was asked (and in which
// order) and wakes the event loop, which acts on the latest state. A Ctrl+Z followed by a
// SIGCONT before the program got round to stopping does not stop it; after the program's own
// stop returns it has been continued, so it resumes there.
class InterruptWatcher : public QObject {
    Q_OBJECT
public:
    // Installs the handlers for the whole life of the program: called first thing in main(),
    // so no signal finds its default action (SIGUSR1 would end the program), also not during
    // the shutdown. Signals that come before the watcher exists are kept.
    static void InstallHandlers();

    explicit InterruptWatcher(QObject* parent = nullptr);
    ~InterruptWatcher() override;

    // A stop was asked (also before the event loop ran).
    bool Interrupted() const;
    // A stop after the running jobs was asked.
    bool StopAfterCurrentAsked() const;

    // Acts on what has been asked so far, for phases that do not run the event loop (opening a
    // long list of files): pauses there on Ctrl+Z, emits the requests.
    void Poll();

signals:
    void InterruptRequested();
    // The program is about to stop itself (it stops once the slots have run).
    void SuspendRequested();
    void ResumeRequested();
    // SIGUSR1: the running jobs finish, no other starts.
    void StopAfterCurrentRequested();

private:
    void OnReadable();

    QSocketNotifier* notifier = nullptr;
    int stopsSeen = 0;
    int stopsAfterSeen = 0;
    int suspendSeen = 0;  // the order number of the last Ctrl+Z acted on
    int continueSeen = 0; // the order number of the last SIGCONT acted on
};
