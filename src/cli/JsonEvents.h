// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/JobList.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QJsonObject>

class StandardOutput;
struct BatchResult;

// morvane-cli's --json output: one JSON object a line for each job event, for scripts. The
// field names are part of the program's interface (the user guide lists them): change them
// only by adding.
class JsonEvents {
public:
    // outputDir ends with a separator; extension is the output files' (".3gp", ".3g2");
    // firstJob: the number of the list's first job in the run (batches of one run count on).
    JsonEvents(const JobList& jobs, StandardOutput& out, QString outputDir, QString extension,
               int firstJob);

    // A file that could not be opened (it never became a job).
    static void OpenFailed(StandardOutput& out, const QString& path, const QString& reason);
    // A job's record changed: "started" once it runs, then "progress" at most once a second.
    void JobChanged(int row);
    // "finished", "failed", "skipped" or "canceled", with the output and figures.
    void JobEnded(int row);
    // As CliProgressPrinter::SetSkipsSameSource: a finished file kept beside another says why.
    void SetSkipsSameSource(bool skips) { skipsSameSource = skips; }
    // The last line: the counts of every batch of the run and the code the program ends with.
    static void BatchEnded(StandardOutput& out, const BatchResult& result, int jobs, int exitCode);

private:
    static void Write(StandardOutput& out, const QJsonObject& object);

    const JobList& jobs;
    StandardOutput& out;
    QString outputDir;
    QString extension;
    int firstJob;
    bool skipsSameSource = false;
    QHash<int, QDateTime> startedAt; // by row
    QHash<int, QElapsedTimer> sinceProgress;
};
