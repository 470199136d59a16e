// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/JobCellText.h"

#include "profiles/OutputType.h"

#include <QCoreApplication>

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
        return QCoreApplication::translate("JobCellText", "Source");
    case JobColumn::BeginTime:
        return QCoreApplication::translate("JobCellText", "Begin Time");
    case JobColumn::EndTime:
        return QCoreApplication::translate("JobCellText", "End Time");
    case JobColumn::Output:
        return QCoreApplication::translate("JobCellText", "Output");
    case JobColumn::Progress:
        return QCoreApplication::translate("JobCellText", "Progress");
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
        return {QCoreApplication::translate("JobCellText", "Source missing")};
    switch (job.status) {
    case JobStatus::Finished:
        return Bar(QCoreApplication::translate("JobCellText", " Finished "), 100);
    case JobStatus::Exporting:
        return Bar(QCoreApplication::translate("JobCellText", "Buffering  %1%")
                       .arg(QString::number(job.exportPercent, 'f', 2)),
                   TruncatedPercent(job.exportPercent));
    case JobStatus::FirstPass: {
        if (!(job.encodedTime > 0) || job.sizeKB <= 0)
            return {};
        const int percent = EncodedPercent(job);
        const QString hms = FormatHms(job.encodedTime);
        ProgressCell cell =
            Bar(QCoreApplication::translate("JobCellText", "%1    %2MB    %3Frames/s      %%4 ")
                    .arg(hms, QString::number(job.sizeKB / 1024.0, 'f', 2),
                         QString::number(job.framesPerSecond, 'f', 2), QString::number(percent)),
                percent);
        if (withTimeLeft && job.secondsLeft >= 0.0)
            cell.text += QStringLiteral("   ") + FormatTimeLeft(job.secondsLeft);
        return cell;
    }
    case JobStatus::SecondPass:
        return {QCoreApplication::translate("JobCellText", "Exporting")};
    case JobStatus::ThirdPass:
        return {QCoreApplication::translate("JobCellText", "Changeing")};
    case JobStatus::Canceled:
        return {QCoreApplication::translate("JobCellText", "Canceled")};
    case JobStatus::Failed:
        return {QCoreApplication::translate("JobCellText", "Failed")};
    case JobStatus::Skipped:
        return {QCoreApplication::translate("JobCellText", "Skipped")};
    case JobStatus::Interrupted:
        return {QCoreApplication::translate("JobCellText", "Interrupted")};
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
        return QCoreApplication::translate("JobCellText", "%1 s left").arg(whole);
    const qint64 minutes = (whole + 59) / 60;
    if (minutes < 60)
        return QCoreApplication::translate("JobCellText", "%1 min left").arg(minutes);
    return QCoreApplication::translate("JobCellText", "%1 h %2 min left")
        .arg(minutes / 60)
        .arg(minutes % 60, 2, 10, QChar(u'0'));
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
