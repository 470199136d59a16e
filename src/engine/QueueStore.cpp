// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/QueueStore.h"

#include "engine/ErrorLog.h"
#include "media/FileNames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <cmath>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int FormatVersion = 1;

// Statuses by name in the file, so that the file does not depend on the enum's order.
const std::pair<JobStatus, const char*> statusNames[] = {
    {JobStatus::Waiting, "waiting"},      {JobStatus::Exporting, "exporting"},
    {JobStatus::FirstPass, "first-pass"}, {JobStatus::SecondPass, "second-pass"},
    {JobStatus::ThirdPass, "third-pass"}, {JobStatus::Finished, "finished"},
    {JobStatus::Failed, "failed"},        {JobStatus::Canceled, "canceled"},
    {JobStatus::Skipped, "skipped"},      {JobStatus::Interrupted, "interrupted"},
};

QString StatusName(JobStatus status) {
    for (const auto& [value, name] : statusNames) {
        if (value == status)
            return QString::fromLatin1(name);
    }
    return QStringLiteral("waiting");
}

std::optional<JobStatus> StatusOf(const QString& text) {
    for (const auto& [value, name] : statusNames) {
        if (text == QLatin1String(name))
            return value;
    }
    return std::nullopt;
}

QJsonObject JobToJson(const Job& job) {
    QJsonObject object;
    object[QStringLiteral("source")] = job.sourcePath;
    object[QStringLiteral("begin")] = job.beginTime;
    object[QStringLiteral("end")] = job.endTime;
    object[QStringLiteral("length")] = job.clipLength;
    object[QStringLiteral("output")] = job.outputName;
    object[QStringLiteral("written")] = job.writtenName;
    object[QStringLiteral("status")] = StatusName(job.status);
    object[QStringLiteral("reason")] = job.failReason;
    object[QStringLiteral("type")] = job.ownOutputType;
    object[QStringLiteral("profile")] = job.ownProfile;
    return object;
}

bool IsTime(const QJsonValue& value) {
    return value.isDouble() && std::isfinite(value.toDouble()) && value.toDouble() >= 0.0;
}

Result<Job> JobFromJson(const QJsonValue& value, int index) {
    const QString where = QStringLiteral("row %1").arg(index + 1);
    if (!value.isObject())
        return Failure(where + QStringLiteral(" is not a record"));
    const QJsonObject object = value.toObject();
    const QString source = object.value(QStringLiteral("source")).toString();
    if (source.isEmpty())
        return Failure(where + QStringLiteral(" names no source file"));
    for (const char* key : {"begin", "end", "length"}) {
        if (!IsTime(object.value(QLatin1String(key))))
            return Failure(where + QStringLiteral(" has no valid \"%1\" time").arg(key));
    }
    const std::optional<JobStatus> status =
        StatusOf(object.value(QStringLiteral("status")).toString());
    if (!status)
        return Failure(where + QStringLiteral(" has an unknown status"));
    Job job = Job::FromPath(source, object.value(QStringLiteral("length")).toDouble());
    job.beginTime = object.value(QStringLiteral("begin")).toDouble();
    job.endTime = object.value(QStringLiteral("end")).toDouble();
    job.outputName = object.value(QStringLiteral("output")).toString();
    job.writtenName = object.value(QStringLiteral("written")).toString();
    job.failReason = object.value(QStringLiteral("reason")).toString();
    job.ownOutputType = object.value(QStringLiteral("type")).toInt(-1);
    job.ownProfile = object.value(QStringLiteral("profile")).toInt(-1);
    if (job.ownOutputType < 0 || job.ownProfile < 0)
        job.ownOutputType = job.ownProfile = -1;
    // Nothing runs at start: what was running when the program died was cut off.
    job.status = IsRunning(*status) ? JobStatus::Interrupted : *status;
    job.sourceMissing = !QFileInfo::exists(source);
    return job;
}

void SyncFolder(const QString& folder) {
    const int fd = ::open(EncodeFileName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

namespace QueueStore {

QString DefaultPath() {
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    // As XDG has it: a relative path there is invalid and ignored.
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return base + QStringLiteral("/Morvane/queue.json");
}

Result<void> Write(const QString& path, const QueueState& state) {
    QJsonArray rows;
    for (const Job& job : state.jobs)
        rows.append(JobToJson(job));
    QJsonObject root;
    root[QStringLiteral("version")] = FormatVersion;
    root[QStringLiteral("outputType")] = state.outputType;
    root[QStringLiteral("profile")] = state.profileSelection;
    root[QStringLiteral("simultaneousJobs")] = state.simultaneousJobs;
    root[QStringLiteral("jobs")] = rows;
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        return Failure(QStringLiteral("The folder %1 cannot be made.").arg(folder));
    // QSaveFile writes a temporary file, flushes it to the disk and renames it over the old.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(QJsonDocument(root).toJson(QJsonDocument::Indented)) < 0 || !file.commit())
        return Failure(QStringLiteral("%1 cannot be written: %2").arg(path, file.errorString()));
    SyncFolder(folder); // the rename itself reaches the disk
    return {};
}

Result<QueueState> Read(const QString& path) {
    QFile file(path);
    if (!file.exists())
        return QueueState();
    if (!file.open(QIODevice::ReadOnly))
        return Failure(QStringLiteral("it cannot be read: %1").arg(file.errorString()));
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError)
        return Failure(QStringLiteral("it is not whole (%1 at byte %2)")
                           .arg(error.errorString())
                           .arg(error.offset));
    const QJsonObject root = document.object();
    if (!document.isObject() || root.value(QStringLiteral("version")).toInt() != FormatVersion ||
        !root.value(QStringLiteral("jobs")).isArray())
        return Failure(QStringLiteral("it is not a job list of this version"));
    QueueState state;
    state.outputType = root.value(QStringLiteral("outputType")).toInt();
    state.profileSelection = root.value(QStringLiteral("profile")).toInt(-1);
    state.simultaneousJobs = root.value(QStringLiteral("simultaneousJobs")).toInt(1);
    const QJsonArray rows = root.value(QStringLiteral("jobs")).toArray();
    for (int i = 0; i < rows.size(); ++i) {
        const Result<Job> job = JobFromJson(rows.at(i), i);
        if (!job)
            return Failure(job.error());
        const qsizetype row = state.jobs.Append(*job);
        // A name a batch chose (an existing file kept) stays the row's.
        if (!job->outputName.isEmpty() && state.jobs.At(row).outputName != job->outputName)
            state.jobs.SetOutputName(row, job->outputName);
    }
    return state;
}

QueueState ReadOrSetAside(const QString& path) {
    const Result<QueueState> state = Read(path);
    if (state)
        return *state;
    const QString aside = path + QStringLiteral(".unreadable");
    QFile::remove(aside);
    const bool moved = QFile::rename(path, aside);
    AppendToLog(QStringLiteral("QUEUE:   file            =   %1\n"
                               "         reason          =   %2; %3\n")
                    .arg(EscapeForLog(QDir::toNativeSeparators(path)), EscapeForLog(state.error()),
                         moved ? QStringLiteral("kept as %1, the list starts empty")
                                     .arg(EscapeForLog(QDir::toNativeSeparators(aside)))
                               : QStringLiteral("the list starts empty")));
    return QueueState();
}

} // namespace QueueStore

QueueKeeper::QueueKeeper(QString path, std::function<QueueState()> snapshot, QObject* parent)
    : QObject(parent), path(std::move(path)), snapshot(std::move(snapshot)) {
    timer.setSingleShot(true);
    timer.setInterval(IntervalMs);
    connect(&timer, &QTimer::timeout, this, &QueueKeeper::Flush);
}

QueueKeeper::~QueueKeeper() {
    Flush();
}

void QueueKeeper::Changed() {
    pending = true;
    if (!timer.isActive())
        timer.start();
}

void QueueKeeper::Flush() {
    timer.stop();
    if (!pending)
        return;
    pending = false;
    const Result<void> written = QueueStore::Write(path, snapshot());
    // Said once: a full disk must not fill log.txt a few times a second.
    if (!written && !reportedFailure)
        AppendToLog(QStringLiteral("QUEUE:   %1\n").arg(EscapeForLog(written.error())));
    reportedFailure = !written;
}
