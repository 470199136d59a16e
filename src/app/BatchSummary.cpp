// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/BatchSummary.h"

#include "engine/JobList.h"

#include <QCoreApplication>
#include <QDir>
#include <QStringList>

namespace {

// What became of the jobs the batch converted; the skipped ones are told apart.
QStringList OutcomeParts(const BatchCounts& counts) {
    QStringList parts;
    auto add = [&parts](int count, const QString& text) {
        if (count > 0)
            parts.append(text.arg(count));
    };
    add(counts.finished, QCoreApplication::translate("BatchSummary", "%1 finished"));
    add(counts.failed, QCoreApplication::translate("BatchSummary", "%1 failed"));
    add(counts.canceled, QCoreApplication::translate("BatchSummary", "%1 canceled"));
    add(counts.notConverted, QCoreApplication::translate("BatchSummary", "%1 not converted"));
    return parts;
}

// "N of M jobs finished", counting only the jobs the batch was to convert.
QString FinishedOf(const BatchCounts& counts) {
    const int converted = counts.total - counts.skipped;
    return converted == 1 ? QCoreApplication::translate("BatchSummary", "%1 of 1 job finished")
                                .arg(counts.finished)
                          : QCoreApplication::translate("BatchSummary", "%1 of %2 jobs finished")
                                .arg(counts.finished)
                                .arg(converted);
}

QString SkippedText(int skipped) {
    return skipped == 1
               ? QCoreApplication::translate("BatchSummary",
                                             "1 job skipped: its output file existed and was kept.")
               : QCoreApplication::translate("BatchSummary", "%1 jobs skipped: their output files "
                                                             "existed and were kept.")
                     .arg(skipped);
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
        return QCoreApplication::translate(
            "BatchSummary", "           \t          Converting Finished         \t            ");
    QStringList paragraphs;
    if (counts.skipped < counts.total) {
        paragraphs.append(QCoreApplication::translate("BatchSummary", "Converting ended: %1.")
                              .arg(FinishedOf(counts)));
        if (counts.finished < counts.total - counts.skipped)
            paragraphs.append(OutcomeParts(counts).join(QStringLiteral(", ")) + u'.');
    } else {
        paragraphs.append(QCoreApplication::translate("BatchSummary",
                                                      "Converting ended: nothing was converted."));
    }
    if (counts.skipped > 0)
        paragraphs.append(SkippedText(counts.skipped));
    if (counts.failed > 0) {
        paragraphs.append(
            QCoreApplication::translate("BatchSummary",
                                        "Why a job failed shows in the tooltip of its Progress "
                                        "cell and in %1")
                .arg(QDir::toNativeSeparators(logPath)));
    }
    return paragraphs.join(QStringLiteral("\n\n"));
}

QString BatchEndCaption(const BatchCounts& counts) {
    return counts.failed > 0 ? QCoreApplication::translate("BatchSummary", "Warning")
                             : QCoreApplication::translate("BatchSummary", "Information");
}

QString BatchEndSummary(const BatchCounts& counts) {
    QString summary = FinishedOf(counts);
    if (counts.failed > 0)
        summary += QCoreApplication::translate("BatchSummary", ", %1 failed").arg(counts.failed);
    if (counts.skipped > 0)
        summary += QCoreApplication::translate("BatchSummary", ", %1 skipped").arg(counts.skipped);
    return summary;
}
