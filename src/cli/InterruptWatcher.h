// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class QSocketNotifier;

// Turns Ctrl+C (SIGINT), SIGTERM and a closed terminal (SIGHUP) into a Qt signal delivered by
// the event loop, so that the batch can stop cleanly from inside its own event handling; and
// Ctrl+Z (SIGTSTP) and `fg` (SIGCONT) into suspend and resume requests, which the program
// passes on to its encoder (in a process group of its own, the terminal does not reach it)
// before it stops itself; SIGUSR1 into a request to stop after the running jobs. One instance
// per process.
class InterruptWatcher : public QObject {
    Q_OBJECT
public:
    explicit InterruptWatcher(QObject* parent = nullptr);
    ~InterruptWatcher() override;

    // True once a signal has arrived (also when it came before the event loop ran).
    bool Interrupted() const;

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
};
