// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/JsonEvents.h"

#include "cli/CliProgressPrinter.h"
#include "cli/StandardOutput.h"

#include "engine/ConversionEngine.h"
#include "media/FileNames.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

constexpr qint64 ProgressIntervalMs = 1000;

QString Timestamp(const QDateTime& time) {
    return time.toUTC().toString(Qt::ISODateWithMs);
}

// A path for JSON, which holds Unicode only: the name as text and, when it has bytes that
// are not UTF-8, those bytes too (base64), so a script can still find the file.
void AddPath(QJsonObject& object, const QString& key, const QString& path) {
    object.insert(key, QDir::toNativeSeparators(DisplayFileName(path)));
    if (!QtReachesFileName(path))
        object.insert(key + QStringLiteral("_base64"),
                      QString::fromLatin1(EncodeFileName(path).toBase64()));
}

QString EventOf(JobStatus status) {
    switch (status) {
    case JobStatus::Finished:
        return QStringLiteral("finished");
    case JobStatus::Failed:
        return QStringLiteral("failed");
    case JobStatus::Skipped:
        return QStringLiteral("skipped");
    case JobStatus::Canceled:
        return QStringLiteral("canceled");
    default:
        return QStringLiteral("ended");
    }
}

} // namespace

JsonEvents::JsonEvents(const JobList& jobs, StandardOutput& out, QString outputDir,
                       QString extension, int firstJob)
    : jobs(jobs), out(out), outputDir(std::move(outputDir)), extension(std::move(extension)),
      firstJob(firstJob) {}

void JsonEvents::OpenFailed(StandardOutput& out, const QString& path, const QString& reason) {
    QJsonObject event{{QStringLiteral("event"), QStringLiteral("unreadable")},
                      {QStringLiteral("reason"), reason},
                      {QStringLiteral("time"), Timestamp(QDateTime::currentDateTimeUtc())}};
    AddPath(event, QStringLiteral("source"), path);
    Write(out, event);
}

void JsonEvents::JobChanged(int row) {
    if (!jobs.IsValidIndex(row))
        return;
    const Job& job = jobs.At(row);
    if (!IsRunning(job.status))
        return;
    if (!startedAt.contains(row)) {
        startedAt.insert(row, QDateTime::currentDateTimeUtc());
        sinceProgress[row].start();
        QJsonObject event{{QStringLiteral("event"), QStringLiteral("started")},
                          {QStringLiteral("job"), firstJob + row},
                          {QStringLiteral("time"), Timestamp(startedAt.value(row))}};
        AddPath(event, QStringLiteral("source"), job.sourcePath);
        Write(out, event);
        return;
    }
    QElapsedTimer& since = sinceProgress[row];
    if (since.elapsed() < ProgressIntervalMs)
        return;
    since.start();
    const double length = job.endTime - job.beginTime;
    QJsonObject event{{QStringLiteral("event"), QStringLiteral("progress")},
                      {QStringLiteral("job"), firstJob + row},
                      {QStringLiteral("encoded_seconds"), job.encodedTime},
                      {QStringLiteral("size_kb"), job.sizeKB}};
    if (job.status == JobStatus::Exporting)
        event.insert(QStringLiteral("percent"), job.exportPercent);
    else if (length > 0.0)
        event.insert(QStringLiteral("percent"),
                     std::clamp(100.0 * job.encodedTime / length, 0.0, 100.0));
    if (job.secondsLeft >= 0.0)
        event.insert(QStringLiteral("seconds_left"), job.secondsLeft);
    Write(out, event);
}

void JsonEvents::JobEnded(int row) {
    if (!jobs.IsValidIndex(row))
        return;
    const Job& job = jobs.At(row);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QJsonObject event{{QStringLiteral("event"), EventOf(job.status)},
                      {QStringLiteral("job"), firstJob + row},
                      {QStringLiteral("begin"), job.beginTime},
                      {QStringLiteral("end"), job.endTime},
                      {QStringLiteral("time"), Timestamp(now)}};
    AddPath(event, QStringLiteral("source"), job.sourcePath);
    const QString output = outputDir + job.outputName + extension;
    if (job.status == JobStatus::Finished || job.status == JobStatus::Skipped) {
        AddPath(event, QStringLiteral("output"), output);
        event.insert(QStringLiteral("size"), QFileInfo(QDir::fromNativeSeparators(output)).size());
    }
    if (job.status == JobStatus::Skipped)
        event.insert(QStringLiteral("reason"),
                     CliProgressPrinter::SkippedReason(job.outputName + extension));
    if (job.status == JobStatus::Finished && skipsSameSource && job.outputName != job.baseName)
        event.insert(QStringLiteral("reason"),
                     CliProgressPrinter::KeptBothReason(job.baseName + extension));
    if (job.status == JobStatus::Failed)
        event.insert(QStringLiteral("reason"), job.failReason);
    if (startedAt.contains(row)) {
        event.insert(QStringLiteral("started"), Timestamp(startedAt.value(row)));
        event.insert(QStringLiteral("elapsed_seconds"),
                     double(startedAt.value(row).msecsTo(now)) / 1000.0);
    }
    Write(out, event);
}

void JsonEvents::BatchEnded(StandardOutput& out, const BatchResult& result, int jobs,
                            int exitCode) {
    Write(out, {{QStringLiteral("event"), QStringLiteral("batch")},
                {QStringLiteral("jobs"), jobs},
                {QStringLiteral("finished"), result.finishedJobs},
                {QStringLiteral("failed"), result.failedJobs},
                {QStringLiteral("skipped"), result.skippedJobs},
                {QStringLiteral("canceled"), result.canceledJobs},
                {QStringLiteral("exit_code"), exitCode},
                {QStringLiteral("time"), Timestamp(QDateTime::currentDateTimeUtc())}});
}

void JsonEvents::Write(StandardOutput& out, const QJsonObject& object) {
    out.Line(QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)));
}
