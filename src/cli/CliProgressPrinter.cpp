#include "cli/CliProgressPrinter.h"

#include "media/FileNames.h"

#include "engine/JobCellText.h"

namespace {

// Running figures change many times a second; a terminal needs only a few lines of them.
constexpr qint64 StatusIntervalMs = 300;

} // namespace

CliProgressPrinter::CliProgressPrinter(const JobList& jobs, QTextStream& out,
                                       MediaExporter* exporter, QString extension)
    : jobs(jobs), out(out), exporter(exporter), extension(std::move(extension)) {}

void CliProgressPrinter::RepaintProgressCell(int row) {
    if (!jobs.IsValidIndex(row))
        return;
    const Job& job = jobs.At(row);
    const QString text = JobProgressCell(job).text.trimmed();
    if (text.isEmpty() || text == shown.value(row))
        return;
    const bool running =
        job.finished == 0 && (job.phase == JobPhase::FirstPass ||
                              (job.isRealMedia && job.phase == JobPhase::NotStarted));
    if (running) {
        if (sinceStatus.isValid() && sinceStatus.elapsed() < StatusIntervalMs)
            return;
        sinceStatus.start();
    }
    Print(row, text);
}

void CliProgressPrinter::JobEnded(int row, JobOutcome outcome) {
    sinceStatus.invalidate();
    RepaintProgressCell(row);
    const Job& job = jobs.At(row);
    if (outcome == JobOutcome::Finished && job.outputName != job.baseName)
        Print(row, QStringLiteral("saved as %1").arg(job.outputName + extension));
    else if (outcome == JobOutcome::Failed && !job.failReason.isEmpty())
        Print(row, job.failReason);
    else if (outcome == JobOutcome::Skipped)
        Print(row, QStringLiteral("its output already exists"));
}

void CliProgressPrinter::Print(int row, const QString& text) {
    while (shown.size() <= row)
        shown.append(QString());
    shown[row] = text;
    const Job& job = jobs.At(row);
    out << '[' << (row + 1) << '/' << jobs.Count() << "] "
        << DisplayFileName(SourceFileNameOf(job.sourcePath)) << ": " << text << Qt::endl;
}
