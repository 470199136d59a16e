// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/StandardOutput.h"
#include "engine/JobList.h"

#include <QElapsedTimer>
#include <QList>
#include <QStringList>

struct BatchProgress;

// The command line's view of a batch: prints a job's Progress text whenever it changes (the
// running encoder status of each job at most a few times a second) and, for a batch of more
// than one job, the batch's share done and time left now and then. Names and reasons are
// escaped as in log.txt, so that no file name can move the cursor or forge a line.
class CliProgressPrinter {
public:
    // extension: the output files' (".3gp" or ".3g2"), for the names printed; withTimeLeft:
    // jobs run side by side, so each status line says its own time left.
    CliProgressPrinter(const JobList& jobs, StandardOutput& out, QString extension,
                       bool withTimeLeft);

    void JobChanged(int row, const BatchProgress& batch);
    void JobEnded(int row, JobStatus status);
    // --skip-existing: a file was given a free name because the one of its name is not known
    // to be made from its source; that is said with the name.
    void SetSkipsSameSource(bool skips) { skipsSameSource = skips; }

    // Why a file was skipped (output: the existing file's name), or kept beside one of its name
    // (taken: that name), for people and the JSON events alike.
    static QString SkippedReason(const QString& output);
    static QString KeptBothReason(const QString& taken);

private:
    void Print(int row, const QString& text);

    const JobList& jobs;
    StandardOutput& out;
    QString extension;
    bool withTimeLeft;
    bool skipsSameSource = false;
    QStringList shown;                // the text last printed per row
    QList<QElapsedTimer> sinceStatus; // per row
    QElapsedTimer sinceBatch;
    QString batchShown;
};
