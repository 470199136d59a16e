// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/CliProgressPrinter.h"

#include "engine/ConversionEngine.h"
#include "engine/ErrorLog.h"
#include "engine/JobCellText.h"
#include "media/FileNames.h"

namespace {

// Running figures change many times a second; a terminal needs only a few lines of them.
constexpr qint64 StatusIntervalMs = 300;
constexpr qint64 BatchIntervalMs = 2000;

} // namespace

CliProgressPrinter::CliProgressPrinter(const JobList& jobs, StandardOutput& out, QString extension,
                                       bool withTimeLeft)
    : jobs(jobs), out(out), extension(std::move(extension)), withTimeLeft(withTimeLeft) {}

void CliProgressPrinter::JobChanged(int row, const BatchProgress& batch) {
    Q_ASSERT_X(jobs.IsValidIndex(row), "CliProgressPrinter", "the engine names its own rows");
    if (!jobs.IsValidIndex(row))
        return;
    const Job& job = jobs.At(row);
    const QString text = JobProgressCell(job, withTimeLeft).text.trimmed();
    if (text.isEmpty() || text == shown.value(row))
        return;
    while (sinceStatus.size() <= row)
        sinceStatus.append(QElapsedTimer());
    QElapsedTimer& since = sinceStatus[row];
    if (job.status == JobStatus::FirstPass || job.status == JobStatus::Exporting) {
        if (since.isValid() && since.elapsed() < StatusIntervalMs)
            return;
        since.start();
    }
    Print(row, text);
    if (jobs.Count() < 2 || (sinceBatch.isValid() && sinceBatch.elapsed() < BatchIntervalMs))
        return;
    QString line = QStringLiteral("%1%").arg(batch.percent);
    if (batch.secondsLeft >= 0.0)
        line += QStringLiteral(" - ") + FormatTimeLeft(batch.secondsLeft);
    if (line == batchShown)
        return;
    sinceBatch.start();
    batchShown = line;
    out.Line(QStringLiteral("[batch] ") + line);
}

void CliProgressPrinter::JobEnded(int row, JobStatus status) {
    Q_ASSERT_X(jobs.IsValidIndex(row), "CliProgressPrinter", "the engine names its own rows");
    if (!jobs.IsValidIndex(row))
        return;
    const Job& job = jobs.At(row);
    const QString text = JobProgressCell(job).text.trimmed();
    if (!text.isEmpty() && text != shown.value(row))
        Print(row, text);
    if (status == JobStatus::Finished && job.outputName != job.baseName)
        Print(row,
              QStringLiteral("saved as %1").arg(job.outputName + extension) +
                  (skipsSameSource ? QStringLiteral(": ") + KeptBothReason(job.baseName + extension)
                                   : QString()));
    else if (status == JobStatus::Failed && !job.failReason.isEmpty())
        Print(row, job.failReason);
    else if (status == JobStatus::Skipped)
        Print(row, SkippedReason(job.outputName + extension));
}

QString CliProgressPrinter::SkippedReason(const QString& output) {
    return QStringLiteral("%1 already exists, made from this source with these settings")
        .arg(output);
}

QString CliProgressPrinter::KeptBothReason(const QString& taken) {
    return QStringLiteral(
               "%1 is not known to be made from this source with these settings, so both are kept")
        .arg(taken);
}

void CliProgressPrinter::Print(int row, const QString& text) {
    while (shown.size() <= row)
        shown.append(QString());
    shown[row] = text;
    const Job& job = jobs.At(row);
    out.Line(QStringLiteral("[%1/%2] %3: %4")
                 .arg(row + 1)
                 .arg(jobs.Count())
                 .arg(EscapeForLog(DisplayFileName(SourceFileNameOf(job.sourcePath))),
                      EscapeForLog(text)));
}
