// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/JobCellText.h"

#include "profiles/OutputType.h"

#include <cmath>

namespace {

ProgressCell Bar(const QString& text, int position) {
    ProgressCell cell;
    cell.text = text;
    cell.hasBar = true;
    cell.range = 100;
    cell.position = position;
    cell.barRed = ProgressBarRed;
    cell.barGreen = ProgressBarGreen;
    cell.barBlue = ProgressBarBlue;
    return cell;
}

int TruncatedPercent(double value) {
    if (!std::isfinite(value))
        return 0;
    return static_cast<int>(std::clamp(std::trunc(value), -1.0e9, 1.0e9));
}

} // namespace

QString JobColumnTitle(JobColumn column) {
    switch (column) {
    case JobColumn::Source:
        return QStringLiteral("Source");
    case JobColumn::BeginTime:
        return QStringLiteral("Begin Time");
    case JobColumn::EndTime:
        return QStringLiteral("End Time");
    case JobColumn::Output:
        return QStringLiteral("Output");
    case JobColumn::Progress:
        return QStringLiteral("Progress");
    }
    return {};
}

int EncodedPercent(const Job& job) {
    if (!(job.endTime > job.beginTime))
        return 0;
    const int percent =
        TruncatedPercent(job.encodedTime * 100.0 / (job.endTime - job.beginTime) + 0.5);
    return percent >= 99 ? 100 : percent;
}

ProgressCell JobProgressCell(const Job& job, bool withTimeLeft) {
    if (job.sourceMissing && !IsRunning(job.status) && job.status != JobStatus::Finished)
        return {QStringLiteral("Source missing")};
    switch (job.status) {
    case JobStatus::Finished:
        return Bar(QStringLiteral(" Finished "), 100);
    case JobStatus::Exporting:
        return Bar(QString::asprintf("Buffering  %.2f%%", job.exportPercent),
                   TruncatedPercent(job.exportPercent));
    case JobStatus::FirstPass: {
        if (!(job.encodedTime > 0) || job.sizeKB <= 0)
            return {};
        const int percent = EncodedPercent(job);
        const QString hms = FormatHms(job.encodedTime);
        ProgressCell cell = Bar(QString::asprintf("%s    %.02fMB    %.02fFrames/s      %%%d ",
                                                  hms.toLatin1().constData(), job.sizeKB / 1024.0,
                                                  job.framesPerSecond, percent),
                                percent);
        if (withTimeLeft && job.secondsLeft >= 0.0)
            cell.text += QStringLiteral("   ") + FormatTimeLeft(job.secondsLeft);
        return cell;
    }
    case JobStatus::SecondPass:
        return {QStringLiteral("Exporting")};
    case JobStatus::ThirdPass:
        return {QStringLiteral("Changeing")};
    case JobStatus::Canceled:
        return {QStringLiteral("Canceled")};
    case JobStatus::Failed:
        return {QStringLiteral("Failed")};
    case JobStatus::Skipped:
        return {QStringLiteral("Skipped")};
    case JobStatus::Interrupted:
        return {QStringLiteral("Interrupted")};
    case JobStatus::Waiting:
        break;
    }
    return {};
}

QString FormatTimeLeft(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0.0)
        return {};
    const auto whole = static_cast<qint64>(std::ceil(std::min(seconds, 1.0e9)));
    if (whole < 60)
        return QStringLiteral("%1 s left").arg(whole);
    const qint64 minutes = (whole + 59) / 60;
    if (minutes < 60)
        return QStringLiteral("%1 min left").arg(minutes);
    return QString::asprintf("%lld h %02lld min left", minutes / 60, minutes % 60);
}

QString JobCellText(const Job& job, JobColumn column, int outputType) {
    switch (column) {
    case JobColumn::Source:
        return SourceFileNameOf(job.sourcePath);
    case JobColumn::BeginTime:
        return FormatHms(job.beginTime);
    case JobColumn::EndTime:
        return FormatHms(job.endTime);
    case JobColumn::Output: {
        if (job.status == JobStatus::Finished && !job.writtenName.isEmpty())
            return job.writtenName; // the file that is there
        if (!IsValidOutputType(outputType))
            return {};
        const QString name = job.outputName.isEmpty() ? job.baseName : job.outputName;
        return name + OutputExtension(static_cast<OutputType>(outputType));
    }
    case JobColumn::Progress:
        return JobProgressCell(job).text;
    }
    return {};
}
