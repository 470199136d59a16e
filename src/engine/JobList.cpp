// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/JobList.h"

#include "engine/NumberedName.h"

#include <QSet>

qsizetype JobList::Append(const Job& job) {
    jobs.append(job);
    UpdateOutputNames(jobs.size() - 1);
    return jobs.size() - 1;
}

void JobList::Set(qsizetype index, const Job& job) {
    // The output name belongs to the list, whatever the caller's copy holds.
    const QString outputName = jobs[index].outputName;
    const bool renamed = jobs[index].baseName != job.baseName;
    jobs[index] = job;
    jobs[index].outputName = outputName;
    if (renamed)
        UpdateOutputNames(index);
}

void JobList::RemoveAt(qsizetype index) {
    jobs.removeAt(index);
    UpdateOutputNames(index);
}

void JobList::Clear() {
    jobs.clear();
}

void JobList::ResetProgress(bool unfinishedOnly) {
    for (Job& job : jobs) {
        if (unfinishedOnly && !NeedsRetry(job.status))
            continue;
        if (job.status == JobStatus::Finished)
            job.status = JobStatus::Waiting;
        job.secondsLeft = -1.0;
        job.sizeKB = 0;
        job.framesPerSecond = 0.0;
        job.encodedTime = 0.0;
        job.failReason.clear();
    }
}

// A job whose base name an earlier job already uses gets " (2)", " (3)", ...: the same
// file added twice with two trims must give two output files. A name too long for the file
// system with the passes' suffixes is cut.
void JobList::UpdateOutputNames(qsizetype from) {
    QSet<QString> taken;
    taken.reserve(jobs.size());
    for (qsizetype i = 0; i < from && i < jobs.size(); ++i)
        taken.insert(jobs[i].outputName);
    for (qsizetype i = from; i < jobs.size(); ++i) {
        Job& job = jobs[i];
        QString name = FitOutputName(job.baseName);
        if (taken.contains(name))
            name =
                NextFreeName(name, [&taken](const QString& next) { return taken.contains(next); });
        job.outputName = name;
        taken.insert(name);
    }
}
