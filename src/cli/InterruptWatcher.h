// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class QSocketNotifier;

// Turns Ctrl+C (SIGINT), SIGTERM and a closed terminal (SIGHUP) into a stop request; SIGUSR1
// into a request to stop after the running jobs; Ctrl+Z (SIGTSTP) into a pause of the encoders
// (in process groups of their own, the terminal does not reach them) before the program stops
// itself; SIGCONT into "resume if paused". One instance per process.
//
// Signals are states, not a queue. They are blocked in every thread and read from a signalfd
// by the event loop, so none is lost to a thread that is slow to run its handler, and the
// system keeps at most one of Ctrl+Z and SIGCONT pending: the later one. A Ctrl+Z followed by
// a SIGCONT before the program got round to stopping does not stop it; after the program's
// own stop returns it has been continued, so it resumes there.
class InterruptWatcher : public QObject {
    Q_OBJECT
public:
    // Blocks the signals for the whole life of the program: called first thing in main(),
    // before any thread exists (threads inherit the mask), so no signal finds its default
    // action (SIGUSR1 would end the program), also not during the shutdown. Signals that come
    // before the watcher exists are kept. Children get an empty mask (ChildProcess::SetUp).
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
    // Reads what has come; true when anything did.
    bool ReadSignals();

    QSocketNotifier* notifier = nullptr;
    bool stopAsked = false;
    bool stopAfterAsked = false;
    // Not yet acted on:
    bool newStop = false;
    bool newStopAfter = false;
    bool suspendAsked = false; // a Ctrl+Z that no SIGCONT followed
    bool resumeAsked = false;
};
