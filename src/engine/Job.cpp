// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/Job.h"

#include <cmath>
#include <limits>

namespace {

qsizetype FileNameStart(const QString& path) {
    return std::max(path.lastIndexOf(u'\\'), path.lastIndexOf(u'/')) + 1;
}

} // namespace

Job Job::FromPath(const QString& path, double clipLength) {
    Job job;
    job.sourcePath = path;
    job.baseName = BaseNameOf(path);
    job.outputName = job.baseName;
    job.endTime = clipLength;
    job.clipLength = clipLength;
    job.isRealMedia = IsRealMediaPath(path);
    return job;
}

bool HasEnded(JobStatus status) {
    return status == JobStatus::Finished || status == JobStatus::Failed ||
           status == JobStatus::Canceled || status == JobStatus::Skipped ||
           status == JobStatus::Interrupted;
}

bool NeedsRetry(JobStatus status) {
    return status != JobStatus::Finished && status != JobStatus::Skipped;
}

bool IsRunning(JobStatus status) {
    return status == JobStatus::Exporting || status == JobStatus::FirstPass ||
           status == JobStatus::SecondPass || status == JobStatus::ThirdPass;
}

QString SourceFileNameOf(const QString& path) {
    return path.mid(FileNameStart(path));
}

QString BaseNameOf(const QString& path) {
    const QString fileName = SourceFileNameOf(path);
    const qsizetype dot = fileName.lastIndexOf(u'.');
    // A name that has no dot, or only a leading one, has no extension to strip:
    // an empty base name would hide the output and make every such job collide.
    if (dot <= 0)
        return fileName;
    return fileName.left(dot);
}

bool IsRealMediaPath(const QString& path) {
    const qsizetype start = FileNameStart(path);
    const qsizetype dot = path.lastIndexOf(u'.');
    if (dot < start)
        return false;
    return path.indexOf(QStringLiteral("rm"), dot) >= 0;
}

QString FormatHms(double seconds) {
    // Truncation toward zero, clamped so that absurd values cannot overflow.
    constexpr double limit = double(std::numeric_limits<qint64>::max() / 2);
    double t = std::trunc(seconds);
    if (std::isnan(t))
        t = 0;
    t = std::clamp(t, -limit, limit);
    const auto s = static_cast<qint64>(t);
    return QString::asprintf("%02lld:%02lld:%02lld", s / 3600, (s % 3600) / 60, s % 60);
}

namespace {

// Keeps absurd times (a broken header's years) from overflowing the conversion.
double ClampedMilliseconds(double seconds) {
    constexpr double limit = 1.0e15;
    if (!(seconds > 0.0))
        return 0.0;
    return std::min(seconds * 1000.0, limit);
}

} // namespace

qint64 FloorMilliseconds(double seconds) {
    // A hair of slack so that 1.001 (stored as 1.00099999...) stays 1001.
    return static_cast<qint64>(std::floor(ClampedMilliseconds(seconds) + 1e-6));
}

qint64 CeilMilliseconds(double seconds) {
    return static_cast<qint64>(std::ceil(ClampedMilliseconds(seconds) - 1e-6));
}

QString FormatHmsMilliseconds(qint64 milliseconds) {
    const qint64 ms = std::max<qint64>(milliseconds, 0);
    const qint64 s = ms / 1000;
    return QString::asprintf("%02lld:%02lld:%02lld.%03lld", s / 3600, (s % 3600) / 60, s % 60,
                             ms % 1000);
}
