// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class ConversionEngine;
class JobList;
class QAction;

// The batch's actions and when they apply: Start, Stop, Pause, "Stop after current jobs",
// "Retry failed", the simultaneous jobs and the output folder's Browse. Their enabled (and
// checked) state follows the engine, so the handlers behind them need no guards of their own.
class BatchController : public QObject {
    Q_OBJECT
public:
    BatchController(ConversionEngine& engine, const JobList& jobs, QObject* parent = nullptr);

    QAction* StartAction() const { return start; }
    QAction* StopAction() const { return stop; }
    QAction* PauseAction() const { return pause; }
    QAction* StopAfterAction() const { return stopAfter; }
    QAction* RetryAction() const { return retry; }
    // Enables the "Simultaneous jobs" submenu and Browse: what waits for the batch's end.
    QAction* IdleAction() const { return idle; }

    // A batch has run on the list (or the list was read back from one): "Retry failed" means
    // something when rows are left unfinished.
    void SetBatchEnded(bool ended);
    bool BatchEnded() const { return batchEnded; }
    // Sets every action's state from the engine and the list.
    void UpdateActions();

private:
    ConversionEngine& engine;
    const JobList& jobs;
    bool batchEnded = false;
    QAction* start;
    QAction* stop;
    QAction* pause;
    QAction* stopAfter;
    QAction* retry;
    QAction* idle;
};
