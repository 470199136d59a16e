// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/JobListController.h"

#include "engine/ConversionEngine.h"

#include <QAction>

JobListController::JobListController(JobList& jobs, ConversionEngine& engine, QObject* parent)
    : QObject(parent), jobs(jobs), engine(engine), add(new QAction(tr("&Add..."), this)),
      remove(new QAction(tr("Re&move"), this)), removeAll(new QAction(tr("Remove a&ll"), this)),
      moveUp(new QAction(tr("Move &up"), this)), moveDown(new QAction(tr("Move &down"), this)),
      ownProfile(new QAction(tr("Use this &type and profile for the selected rows"), this)),
      pageProfile(
          new QAction(tr("&Follow the page's type and profile in the selected rows"), this)) {
    moveUp->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Up));
    moveDown->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Down));
    ownProfile->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    pageProfile->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_T));
    for (QAction* action : {moveUp, moveDown, ownProfile, pageProfile})
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(&engine, &ConversionEngine::ConvertingChanged, this, &JobListController::UpdateActions);
    UpdateActions();
}

void JobListController::SetCurrentRow(int row) {
    currentRow = row;
    UpdateActions();
}

Result<void> JobListController::CheckEditable(int row) const {
    if (!jobs.IsValidIndex(row))
        return Failure(tr("No row is selected."));
    const Job& job = jobs.At(row);
    if (engine.IsEditable(job.id))
        return {};
    if (IsRunning(job.status))
        return Failure(tr("%1 is being converted: it cannot be changed now.")
                           .arg(SourceFileNameOf(job.sourcePath)));
    return Failure(tr("%1 has had its turn in this batch: it can be changed when the "
                      "batch is over.")
                       .arg(SourceFileNameOf(job.sourcePath)));
}

int JobListController::Append(const Job& job) {
    const int row = int(jobs.Append(job));
    engine.AddToBatch(jobs.At(row).id);
    emit Changed();
    return row;
}

Result<void> JobListController::Remove(int row) {
    if (const Result<void> editable = CheckEditable(row); !editable)
        return editable;
    if (!engine.RemoveFromBatch(jobs.At(row).id))
        return CheckEditable(row);
    jobs.RemoveAt(row);
    if (currentRow >= jobs.Count())
        currentRow = int(jobs.Count()) - 1;
    UpdateActions();
    emit Changed();
    return {};
}

Result<void> JobListController::Move(int from, int to) {
    if (const Result<void> editable = CheckEditable(from); !editable)
        return editable;
    if (!jobs.IsValidIndex(to) || to == from)
        return {};
    jobs.Move(from, to);
    if (currentRow == from)
        currentRow = to;
    UpdateActions();
    emit Changed();
    return {};
}

Result<void> JobListController::Change(int row, const Job& job) {
    if (const Result<void> editable = CheckEditable(row); !editable)
        return editable;
    jobs.Set(row, job);
    UpdateActions();
    emit Changed();
    return {};
}

Result<void> JobListController::SetOwnProfile(int row, int type, int profile) {
    if (const Result<void> editable = CheckEditable(row); !editable)
        return editable;
    Job job = jobs.At(row);
    job.ownOutputType = profile >= 0 ? type : -1;
    job.ownProfile = profile >= 0 ? profile : -1;
    return Change(row, job);
}

void JobListController::Clear() {
    if (engine.IsConverting())
        return;
    jobs.Clear();
    currentRow = -1;
    UpdateActions();
    emit Changed();
}

void JobListController::UpdateActions() {
    // Remove and the moves stay enabled on a row that may not change now: the status line then
    // says why.
    remove->setEnabled(jobs.IsValidIndex(currentRow));
    removeAll->setEnabled(!engine.IsConverting());
    moveUp->setEnabled(jobs.IsValidIndex(currentRow) && currentRow > 0);
    moveDown->setEnabled(jobs.IsValidIndex(currentRow) && currentRow + 1 < jobs.Count());
    ownProfile->setEnabled(jobs.IsValidIndex(currentRow));
    pageProfile->setEnabled(jobs.IsValidIndex(currentRow) && jobs.At(currentRow).ownProfile >= 0);
}
