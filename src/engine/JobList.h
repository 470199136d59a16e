// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/Job.h"

#include <QList>

// The ordered list of jobs. Index i is row i of the job list view; a job's id stays with it
// wherever it moves.
class JobList {
public:
    qsizetype Count() const { return jobs.size(); }
    bool IsValidIndex(qsizetype index) const { return index >= 0 && index < jobs.size(); }
    const Job& At(qsizetype index) const { return jobs.at(index); }
    // The row of a job, -1 when it is not (or no longer) in the list.
    qsizetype IndexOf(JobId id) const;

    // Appends a job under a new id and returns its index.
    qsizetype Append(const Job& job);
    // Writes a whole record back at index (the engine's copy-change-store cycle); the id and
    // the output name stay the list's.
    void Set(qsizetype index, const Job& job);
    void RemoveAt(qsizetype index);
    // Moves the job at from to row to (both valid indexes).
    void Move(qsizetype from, qsizetype to);
    void Clear();

    // Clears the figures of every job before a batch (only of the jobs that a retry converts
    // again when unfinishedOnly): a finished job waits again; size, speed, encoded time and
    // time left go. A failed, canceled or skipped status stays until the job's turn.
    void ResetProgress(bool unfinishedOnly = false);
    // Gives every job its output name from its base name again (unique within the list),
    // undoing the names a batch chose to keep existing files.
    void ResetOutputNames();
    // Gives a job the output name a batch chose for it: it stays while rows are added, moved
    // or removed, until ResetOutputNames.
    void SetOutputName(qsizetype index, const QString& name);

    auto begin() const { return jobs.cbegin(); }
    auto end() const { return jobs.cend(); }

private:
    void UpdateOutputNames();

    QList<Job> jobs;
};
