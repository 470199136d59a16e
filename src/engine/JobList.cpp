// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/JobList.h"

#include "engine/NumberedName.h"

#include <QSet>

#include <atomic>

namespace {

// One sequence for the whole program: ids of two lists never meet either.
std::atomic<JobId> nextJobId{1};

} // namespace

qsizetype JobList::IndexOf(JobId id) const {
    for (qsizetype i = 0; i < jobs.size(); ++i) {
        if (jobs.at(i).id == id)
            return i;
    }
    return -1;
}

qsizetype JobList::Append(const Job& job) {
    jobs.append(job);
    jobs.last().id = nextJobId++;
    jobs.last().outputNameFixed = false;
    UpdateOutputNames();
    return jobs.size() - 1;
}

void JobList::Set(qsizetype index, const Job& job) {
    // The id and output name belong to the list, whatever the caller's copy holds.
    Job& stored = jobs[index];
    const JobId id = stored.id;
    const QString outputName = stored.outputName;
    const bool fixed = stored.outputNameFixed;
    const bool renamed = stored.baseName != job.baseName;
    stored = job;
    stored.id = id;
    stored.outputName = outputName;
    stored.outputNameFixed = fixed;
    if (renamed)
        UpdateOutputNames();
}

void JobList::RemoveAt(qsizetype index) {
    jobs.removeAt(index);
    UpdateOutputNames();
}

void JobList::Move(qsizetype from, qsizetype to) {
    jobs.move(from, to);
    UpdateOutputNames();
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

void JobList::SetOutputName(qsizetype index, const QString& name) {
    jobs[index].outputName = name;
    jobs[index].outputNameFixed = true;
}

void JobList::ResetOutputNames() {
    for (Job& job : jobs)
        job.outputNameFixed = false;
    UpdateOutputNames();
}

// A job whose base name an earlier job already uses gets " (2)", " (3)", ...: the same
// file added twice with two trims must give two output files. A name too long for the file
// system with the passes' suffixes is cut. Names a running batch chose are kept and taken.
void JobList::UpdateOutputNames() {
    QSet<QString> taken;
    taken.reserve(jobs.size());
    for (const Job& job : jobs) {
        if (job.outputNameFixed)
            taken.insert(job.outputName);
    }
    for (Job& job : jobs) {
        if (job.outputNameFixed)
            continue;
        QString name = FitOutputName(job.baseName);
        if (taken.contains(name))
            name =
                NextFreeName(name, [&taken](const QString& next) { return taken.contains(next); });
        job.outputName = name;
        taken.insert(name);
    }
}
