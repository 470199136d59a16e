// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/BatchSummary.h"

#include "engine/JobList.h"

#include <QDir>
#include <QStringList>

namespace {

const QString finishedText =
    QStringLiteral("           \t          Converting Finished         \t            ");

QStringList OutcomeParts(const BatchCounts& counts) {
    QStringList parts;
    auto add = [&parts](int count, const char* what) {
        if (count > 0)
            parts.append(QStringLiteral("%1 %2").arg(count).arg(QLatin1String(what)));
    };
    add(counts.finished, "finished");
    add(counts.failed, "failed");
    add(counts.canceled, "canceled");
    add(counts.skipped, "skipped (the output file existed)");
    add(counts.notConverted, "not converted");
    return parts;
}

} // namespace

BatchCounts BatchCounts::Of(const JobList& jobs) {
    BatchCounts counts;
    counts.total = int(jobs.Count());
    for (qsizetype i = 0; i < jobs.Count(); ++i) {
        const Job& job = jobs.At(i);
        if (job.status == JobStatus::Finished)
            ++counts.finished;
        else if (job.status == JobStatus::Failed)
            ++counts.failed;
        else if (job.status == JobStatus::Canceled)
            ++counts.canceled;
        else if (job.status == JobStatus::Skipped)
            ++counts.skipped;
        else
            ++counts.notConverted;
    }
    return counts;
}

QString BatchEndText(const BatchCounts& counts, const QString& logPath) {
    if (counts.AllFinished())
        return finishedText;
    QString text = QStringLiteral("Converting ended: %1 of %2 jobs finished.\n\n%3.")
                       .arg(counts.finished)
                       .arg(counts.total)
                       .arg(OutcomeParts(counts).join(QStringLiteral(", ")));
    if (counts.failed > 0) {
        text += QStringLiteral("\n\nWhy a job failed shows in the tooltip of its Progress cell "
                               "and in %1")
                    .arg(QDir::toNativeSeparators(logPath));
    }
    return text;
}

QString BatchEndCaption(const BatchCounts& counts) {
    return counts.failed > 0 ? QStringLiteral("Warning") : QStringLiteral("Information");
}

QString BatchEndSummary(const BatchCounts& counts) {
    return QStringLiteral("%1 of %2 jobs finished").arg(counts.finished).arg(counts.total) +
           (counts.failed > 0 ? QStringLiteral(", %1 failed").arg(counts.failed) : QString());
}
