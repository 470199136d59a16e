// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/BatchController.h"

#include "engine/ConversionEngine.h"

#include <QAction>
#include <QSignalBlocker>

BatchController::BatchController(ConversionEngine& engine, const JobList& jobs, QObject* parent)
    : QObject(parent), engine(engine), jobs(jobs), start(new QAction(tr("Start Converting"), this)),
      stop(new QAction(tr("Stop Converting"), this)), pause(new QAction(tr("&Pause"), this)),
      stopAfter(new QAction(tr("Stop &after current jobs"), this)),
      retry(new QAction(tr("&Retry failed"), this)),
      idle(new QAction(tr("&Simultaneous jobs"), this)) {
    pause->setCheckable(true);
    for (auto changed : {&ConversionEngine::ConvertingChanged, &ConversionEngine::PausedChanged,
                         &ConversionEngine::StopAfterCurrentChanged})
        connect(&engine, changed, this, &BatchController::UpdateActions);
    connect(&engine, &ConversionEngine::BatchFinished, this, [this](const BatchResult& result) {
        if (result.Ran())
            SetBatchEnded(true);
    });
    UpdateActions();
}

void BatchController::SetBatchEnded(bool ended) {
    batchEnded = ended;
    UpdateActions();
}

void BatchController::UpdateActions() {
    const bool converting = engine.IsConverting();
    const bool canceling = engine.CancelRequested();
    start->setEnabled(!converting);
    stop->setEnabled(converting && !canceling);
    pause->setEnabled(converting && !canceling);
    {
        const QSignalBlocker quiet(pause); // its state follows; it asks for nothing
        pause->setChecked(engine.IsPaused());
    }
    stopAfter->setEnabled(converting && !engine.StopsAfterCurrentJobs() && !canceling);
    // After a batch: the jobs that failed, were canceled or interrupted, or were not reached.
    const bool anyLeft = std::any_of(jobs.begin(), jobs.end(),
                                     [](const Job& job) { return NeedsRetry(job.status); });
    retry->setEnabled(!converting && batchEnded && anyLeft);
    idle->setEnabled(!converting);
}
