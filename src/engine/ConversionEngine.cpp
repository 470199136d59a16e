// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/ConversionEngine.h"

#include "engine/EncoderCapabilities.h"
#include "engine/ErrorLog.h"
#include "engine/NumberedName.h"
#include "engine/RealMediaExport.h"
#include "engine/SourceRecord.h"
#include "media/AppPaths.h"
#include "media/FileNames.h"
#include "media/MediaExporter.h"
#include "profiles/CProfileIniReader.h"
#include "profiles/Profile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaMethod>
#include <QSet>
#include <QTemporaryFile>
#include <QThread>

#include <algorithm>
#include <optional>
#include <sys/stat.h>

namespace {

// Fixed settings of the RealMedia export.
constexpr int ExportFrameWidth = 320;
constexpr int ExportFrameHeight = 240;
constexpr int ExportBitsPerPixel = 24;
constexpr float ExportFrameRate = 15.0f;

// The batch's figures must have run this long before its time left is worth showing.
constexpr qint64 BatchTimeLeftAfterMs = 3000;

} // namespace

QString ConversionEngine::NoOutputDirMessage() {
    return tr("  Please set the output directory firstly   ");
}

int ConversionEngine::AutoSimultaneousJobs() {
    return std::clamp(QThread::idealThreadCount(), 1, MaxSimultaneousJobs);
}

ConversionEngine::ConversionEngine(QObject* parent)
    : QObject(parent), exporter(new MediaExporter(this)) {
    connect(exporter, &MediaExporter::ExportProgress, this, &ConversionEngine::OnExportProgress);
    connect(exporter, &MediaExporter::ExportDone, this, &ConversionEngine::OnExportDone);
    connect(exporter, &MediaExporter::ExportFailed, this, &ConversionEngine::OnExportFailed);
}

ConversionEngine::~ConversionEngine() {
    cancelRequested = true;
    if (exportingJob != nullptr)
        exporter->StopExport();
    // Each job's runner kills an encoder that still runs.
    qDeleteAll(running);
}

Result<void> ConversionEngine::CheckOutputDir(const QString& outputDir) {
    if (outputDir.trimmed().isEmpty())
        return Failure(NoOutputDirMessage());
    const QString shown = QDir::toNativeSeparators(DisplayFileName(outputDir));
    // The encoder is handed its output path as text, which cannot carry such bytes.
    if (!QtReachesFileName(outputDir))
        return Failure(tr("The output directory %1 has a name that is not valid "
                          "UTF-8, which the encoder cannot write to. Rename it or "
                          "choose another.")
                           .arg(shown));
    const QFileInfo info(outputDir);
    if (!info.exists())
        return Failure(tr("The output directory %1 does not exist.").arg(shown));
    if (!info.isDir())
        return Failure(tr("The output directory %1 is not a directory.").arg(shown));
    // Permission bits do not tell (an administrator, a read-only medium): try it.
    QTemporaryFile probe(QDir(outputDir).filePath(QStringLiteral(".morvane-XXXXXX")));
    if (!probe.open())
        return Failure(tr("The output directory %1 cannot be written to.").arg(shown));
    return {};
}

Result<void> ConversionEngine::CheckEncoder(const QStringList& passTemplates,
                                            const EncoderCapabilities* capabilities) {
    const EncoderNeeds needs = NeedsOfTemplates(passTemplates);
    if (AppPaths::FindProgram(needs.program).isEmpty()) {
        if (needs.program == u"ffmpeg")
            return Failure(tr("The encoder program \"ffmpeg\" cannot be found. "
                              "Install it (on Debian: sudo apt install ffmpeg "
                              "libavcodec-extra)."));
        return Failure(tr("The encoder program \"%1\" that the profile names cannot "
                          "be found. Install it, or correct the profile file.")
                           .arg(needs.program));
    }
    if (capabilities != nullptr)
        return capabilities->MissingFor(needs);
    return {};
}

Result<void> ConversionEngine::CheckSettings(const BatchSettings& batchSettings,
                                             const JobList* list) {
    if (const Result<void> dir = CheckOutputDir(batchSettings.outputDir); !dir)
        return dir;
    CProfileIniReader reader;
    const auto check = [&](OutputType type, int selection) -> Result<void> {
        const Result<ResolvedProfile> profile =
            ResolveProfile(reader, AppPaths::ProfileDirs(), type, selection);
        if (!profile)
            return Failure(profile.error());
        return CheckEncoder(profile->passTemplates, batchSettings.capabilities);
    };
    if (const Result<void> own = check(batchSettings.outputType, batchSettings.profileSelection);
        !own)
        return own;
    if (list == nullptr)
        return {};
    BatchPlan batchPlan;
    batchPlan.outputType = batchSettings.outputType;
    batchPlan.profileSelection = batchSettings.profileSelection;
    QSet<QPair<int, int>> checked{{int(batchPlan.outputType), batchPlan.profileSelection}};
    for (const Job& job : *list) {
        if (batchSettings.retryUnfinished && !NeedsRetry(job.status))
            continue;
        const BatchPlan jobPlan = batchPlan.For(job);
        const QPair<int, int> key{int(jobPlan.outputType), jobPlan.profileSelection};
        if (checked.contains(key))
            continue;
        checked.insert(key);
        if (const Result<void> ready = check(jobPlan.outputType, jobPlan.profileSelection); !ready)
            return Failure(tr("%1 (its own type and profile): %2")
                               .arg(QDir::toNativeSeparators(SourceFileNameOf(job.sourcePath)),
                                    ready.error()));
    }
    return {};
}

BatchResult ConversionEngine::StartBatch(JobList& list, const BatchSettings& batchSettings) {
    BatchResult refusal;
    if (converting) {
        refusal.status = BatchResult::Status::AlreadyConverting;
        return refusal;
    }
    QList<JobId> ids;
    for (const Job& job : list) {
        if (!batchSettings.retryUnfinished || NeedsRetry(job.status))
            ids.append(job.id);
    }
    if (ids.isEmpty())
        return refusal;
    exporter->StopExport();

    // Everything that would stop every job is checked before anything runs.
    refusal.status = BatchResult::Status::Refused;
    const auto refuse = [&refusal](const QString& why) {
        refusal.message = why;
        return refusal;
    };
    if (const Result<void> ready = CheckSettings(batchSettings, &list); !ready)
        return refuse(ready.error());
    const QString outputDir = QDir(batchSettings.outputDir).absolutePath();
    const QString workDir =
        batchSettings.workDir.isEmpty() ? outputDir : QDir(batchSettings.workDir).absolutePath();
    if (const Result<void> made = workFolder.Create(workDir); !made)
        return refuse(made.error());
    if (workDir != outputDir)
        WorkFolder::RemoveAbandoned(outputDir); // what runs without a work folder of their own left

    jobs = &list;
    settings = batchSettings;
    settings.simultaneousJobs = std::clamp(settings.simultaneousJobs, 1, MaxSimultaneousJobs);
    plan.outputType = settings.outputType;
    plan.profileSelection = settings.profileSelection;
    plan.outputDir = AppPaths::WithTrailingSeparator(QDir(settings.outputDir).absolutePath());
    plan.existing = settings.existing;
    plan.sourceIndex = settings.sourceIndex;
    plan.stallTimeoutSeconds = std::max(settings.stallTimeoutSeconds, 0);
    plan.fitBytes = std::max<qint64>(settings.fitBytes, 0);
    batchJobs = ids;
    waiting = QSet<JobId>(ids.cbegin(), ids.cend());
    startedJobs = 0;
    result = BatchResult();
    cancelRequested = false;
    stopAfterCurrent = false;
    paused = false;
    converting = true;
    list.ResetProgress(settings.retryUnfinished);
    PlanOutputs();
    batchClock.Start();
    emit ConvertingChanged(true);
    // The jobs start from the event loop: whoever started the batch sees Started first.
    QMetaObject::invokeMethod(this, &ConversionEngine::ScheduleJobs, Qt::QueuedConnection);

    BatchResult started;
    started.status = BatchResult::Status::Started;
    return started;
}

// Starts jobs in list order while a slot is free. A job whose output the user chose to keep
// ends at once as skipped; a RealMedia job waits for the exporter, and the jobs after it with it.
// A job whose file is being checked holds no slot: its check and the next encoder overlap.
void ConversionEngine::ScheduleJobs() {
    if (!converting)
        return;
    const auto encoding = [this] {
        return std::count_if(running.cbegin(), running.cend(), [this](const ConversionJob* job) {
            const qsizetype row = jobs->IndexOf(job->Id());
            return row < 0 || !jobs->At(row).checking;
        });
    };
    while (!cancelRequested && !stopAfterCurrent && !paused &&
           encoding() < settings.simultaneousJobs) {
        const qsizetype row = NextWaitingRow();
        if (row < 0)
            break;
        const Job& job = jobs->At(row);
        if (job.status == JobStatus::Skipped) {
            waiting.remove(job.id);
            ++result.skippedJobs;
            emit JobEnded(job.id, JobStatus::Skipped);
            continue;
        }
        if (job.isRealMedia && exportingJob != nullptr)
            break;
        waiting.remove(job.id);
        if (joinedLate.contains(job.id))
            PlanLateOutput(row);
        ConvertActiveJob(job.id);
    }
    EndBatchWhenIdle();
}

qsizetype ConversionEngine::NextWaitingRow() const {
    if (waiting.isEmpty())
        return -1;
    for (qsizetype row = 0; row < jobs->Count(); ++row) {
        if (waiting.contains(jobs->At(row).id))
            return row;
    }
    return -1;
}

bool ConversionEngine::IsEditable(JobId id) const {
    return !converting || waiting.contains(id);
}

void ConversionEngine::AddToBatch(JobId id) {
    if (!converting || cancelRequested)
        return;
    batchJobs.append(id);
    waiting.insert(id);
    joinedLate.insert(id);
    // A slot may be free now (the rest of the batch had already started).
    QMetaObject::invokeMethod(this, &ConversionEngine::ScheduleJobs, Qt::QueuedConnection);
}

bool ConversionEngine::RemoveFromBatch(JobId id) {
    if (!converting)
        return true;
    if (!waiting.remove(id))
        return false;
    batchJobs.removeOne(id);
    // The batch may have been waiting for this job only (paused, or stopping).
    QMetaObject::invokeMethod(this, &ConversionEngine::EndBatchWhenIdle, Qt::QueuedConnection);
    return true;
}

void ConversionEngine::ConvertActiveJob(JobId id) {
    Q_ASSERT(jobs != nullptr && jobs->IndexOf(id) >= 0);
    BatchPlan jobPlan = plan.For(jobs->At(jobs->IndexOf(id)));
    if (joinedLate.contains(id))
        jobPlan.existing = ExistingOutputs::KeepBoth; // the user was asked about none of its files
    auto* job = new ConversionJob(*jobs, id, jobPlan, workFolder.JobDir(startedJobs++), this);
    running.append(job);
    connect(job, &ConversionJob::Changed, this, &ConversionEngine::JobChanged);
    connect(job, &ConversionJob::EncodingDone, this, &ConversionEngine::ScheduleJobs);
    // Only for a listener: every chunk would be copied otherwise.
    if (isSignalConnected(QMetaMethod::fromSignal(&ConversionEngine::EncoderOutput)))
        connect(job, &ConversionJob::EncoderOutput, this, &ConversionEngine::EncoderOutput);
    // Handled once the job's own call has returned: the engine may delete it then.
    connect(job, &ConversionJob::Ended, this, [this](JobId ended, JobStatus status) {
        QMetaObject::invokeMethod(
            this, [this, ended, status] { OnJobEnded(ended, status); }, Qt::QueuedConnection);
    });
    if (paused)
        job->Suspend(true);
    if (jobs->At(jobs->IndexOf(id)).isRealMedia)
        ExportRealMediaJob(*job);
    else
        job->Convert();
}

void ConversionEngine::OnJobEnded(JobId id, JobStatus status) {
    [[maybe_unused]] bool wasRunning = false;
    for (qsizetype i = 0; i < running.size(); ++i) {
        if (running.at(i)->Id() == id) {
            running.takeAt(i)->deleteLater();
            wasRunning = true;
            break;
        }
    }
    Q_ASSERT_X(wasRunning, "ConversionEngine::OnJobEnded", "a job ends once, while it runs");
    switch (status) {
    case JobStatus::Finished:
        ++result.finishedJobs;
        break;
    case JobStatus::Failed:
        ++result.failedJobs;
        break;
    case JobStatus::Canceled:
        ++result.canceledJobs;
        break;
    default:
        break;
    }
    emit JobEnded(id, status);
    ScheduleJobs();
}

// The batch ends when no job runs and none is left to start (or none may start).
void ConversionEngine::EndBatchWhenIdle() {
    if (!converting || !running.isEmpty())
        return;
    const bool rest = !waiting.isEmpty();
    if (rest && !cancelRequested && !stopAfterCurrent)
        return; // paused before the next job: it starts on resume
    workFolder.Remove();
    converting = false;
    if (paused)
        exporter->Suspend(false);
    paused = false;
    jobs = nullptr;
    waiting.clear();
    joinedLate.clear();
    batchJobs.clear();
    result.status = cancelRequested ? BatchResult::Status::Canceled
                    : rest          ? BatchResult::Status::Stopped
                                    : BatchResult::Status::Completed;
    emit ConvertingChanged(false);
    emit BatchFinished(result);
}

void ConversionEngine::CancelActiveJob() {
    if (!converting || cancelRequested)
        return;
    cancelRequested = true;
    // Canceled first, then resumed: a job held back by the pause ends rather than starting a
    // pass, and a stopped encoder is resumed by its runner to hear the request.
    if (exportingJob != nullptr) {
        ConversionJob* job = exportingJob;
        job->Cancel();
        EndExport(false);
    }
    for (ConversionJob* job : QList<ConversionJob*>(running))
        job->Cancel();
    if (paused)
        SetPaused(false);
    EndBatchWhenIdle();
}

void ConversionEngine::StopAfterCurrentJobs() {
    if (!converting || stopAfterCurrent || cancelRequested)
        return;
    stopAfterCurrent = true;
    emit StopAfterCurrentChanged(true);
    EndBatchWhenIdle();
}

void ConversionEngine::SetPaused(bool pause) {
    if (!converting || pause == paused || (pause && cancelRequested))
        return;
    paused = pause;
    batchClock.Pause(pause);
    // The exporter is one more child: it pauses with the encoders (and a job whose export is
    // held does not go on to its passes).
    exporter->Suspend(pause);
    for (ConversionJob* job : QList<ConversionJob*>(running))
        job->Suspend(pause);
    emit PausedChanged(paused);
    if (!paused)
        ScheduleJobs();
}

BatchProgress ConversionEngine::Progress() const {
    BatchProgress progress;
    if (!converting)
        return progress;
    double total = 0.0;
    double done = 0.0;
    for (const JobId id : batchJobs) {
        const qsizetype row = jobs->IndexOf(id);
        if (row < 0)
            continue;
        const Job& job = jobs->At(row);
        if (job.status == JobStatus::Skipped)
            continue;
        const double length = std::max(job.endTime - job.beginTime, 0.1);
        total += length;
        if (HasEnded(job.status) || job.status == JobStatus::SecondPass ||
            job.status == JobStatus::ThirdPass)
            done += length;
        else if (job.status == JobStatus::FirstPass)
            done += std::clamp(job.encodedTime, 0.0, length);
    }
    if (total <= 0.0)
        return progress;
    const double share = done / total;
    progress.percent = std::clamp(int(share * 100.0), 0, 100);
    const qint64 elapsed = batchClock.ElapsedMs();
    if (share >= 0.01 && elapsed >= BatchTimeLeftAfterMs)
        progress.secondsLeft = double(elapsed) / 1000.0 * (1.0 - share) / share;
    return progress;
}

void ConversionEngine::ExportRealMediaJob(ConversionJob& job) {
    Q_ASSERT(exportingJob == nullptr);
    const ExportCodecChoice choice =
        ChooseExportCodecs(exporter->VideoCodecs(), exporter->AudioCodecs());
    const Job record = jobs->At(jobs->IndexOf(job.Id()));
    exporter->CloseClip();
    exporter->SetFrameWidth(ExportFrameWidth);
    exporter->SetFrameHeight(ExportFrameHeight);
    exporter->SetBitsPerPixel(ExportBitsPerPixel);
    exporter->SetFrameRate(ExportFrameRate);
    exporter->SetOutputFormat(ExportOutputFormat(choice));
    if (choice.IsAvi()) {
        exporter->SetUseVideoCodec(true);
        exporter->SetVideoCodecIndex(choice.videoIndex);
        exporter->SetUseAudioCodec(true);
        exporter->SetAudioCodecIndex(choice.audioIndex);
    }
    // The exporter takes the range as a start and a length.
    const double length = record.endTime - record.beginTime;
    exporter->OpenClipRange(record.sourcePath, record.beginTime, length, 0);
    exporter->SetClipRange(record.sourcePath, record.beginTime, length);

    // In the job's own folder of the batch's work folder: no other run or job can meet it,
    // and whatever a crash leaves goes with that folder.
    exportPath = ExportFileName(job.JobDir(), record.outputName, choice.IsAvi(),
                                RandomInRange(10000, 50000));
    QFile::remove(exportPath);
    exportingJob = &job;
    job.BeginExport(exportPath);
    if (exportingJob == nullptr)
        return; // Stop was pressed from inside the job's first repaint: nothing to export
    if (!exporter->ExportToFile(exportPath))
        EndExport(false); // the job reads its source
}

void ConversionEngine::OnExportProgress(double done, double total) {
    if (exportingJob == nullptr)
        return;
    exportingJob->SetExportPercent(total == 0.0 ? 0.0 : 100.0 / total * done);
}

void ConversionEngine::OnExportDone() {
    if (exportingJob != nullptr)
        EndExport(true);
}

void ConversionEngine::OnExportFailed(const QString& message) {
    if (exportingJob == nullptr)
        return;
    AppendToLog(
        QStringLiteral("EXPORT:  source          =   %1.\n"
                       "         message         =   %2.\n")
            .arg(QDir::toNativeSeparators(jobs->At(jobs->IndexOf(exportingJob->Id())).sourcePath),
                 message));
    EndExport(false); // the job reads its source
}

// The export is over (or given up): the exporter is free for the next RealMedia job, and the
// job goes on to its passes (or, canceled, to its end).
void ConversionEngine::EndExport(bool exported) {
    ConversionJob* job = exportingJob;
    exportingJob = nullptr;
    exporter->StopExport();
    if (!exported)
        QFile::remove(exportPath);
    if (job != nullptr)
        job->EndExport(exported);
    if (!cancelRequested)
        QMetaObject::invokeMethod(this, &ConversionEngine::ScheduleJobs, Qt::QueuedConnection);
}

namespace {

// A file's identity on disk, so that a link to a source is known as that source.
struct FileId {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileId&) const = default;
};

std::optional<FileId> IdOf(const QString& path) {
    struct stat info {};
    if (::stat(EncodeFileName(path).constData(), &info) != 0)
        return std::nullopt;
    return FileId{info.st_dev, info.st_ino};
}

bool NameExists(const QString& path) {
    struct stat info {};
    return ::lstat(EncodeFileName(path).constData(), &info) == 0;
}

// The first of "name (2)", "name (3)", ... that neither the list nor the folder holds.
QString FreeName(const QString& name, const QSet<QString>& taken, const QString& folder,
                 const QString& extension) {
    return NextFreeName(name, [&](const QString& next) {
        return taken.contains(next) || NameExists(folder + next + extension);
    });
}

// The name (from name on: "clip", "clip (2)", ... while they exist) of the file in dir that
// was recorded to be made from the job's source, converted the same way; nothing when none was.
std::optional<QString> OutputOfSameSource(const QString& dir, const QString& name,
                                          const QString& extension, const Job& job,
                                          const BatchSettings& settings) {
    std::optional<SourceIdentity> source;
    for (QString candidate = name; NameExists(dir + candidate + extension);
         candidate = NextFreeName(candidate, [](const QString&) { return false; })) {
        const std::optional<SourceIdentity> recorded = RecordedSource(dir + candidate + extension);
        if (!recorded)
            continue;
        if (!source) {
            // As the job records it: with its own type and profile, and the batch's fit size.
            const bool own = job.ownProfile >= 0 && IsValidOutputType(job.ownOutputType);
            const Result<SourceIdentity> identity = SourceIdentity::Of(
                job.sourcePath,
                SourceIdentity::Settings(int(OutputTypeOf(job, settings.outputType)),
                                         own ? job.ownProfile : settings.profileSelection,
                                         job.beginTime, job.endTime, settings.fitBytes));
            if (!identity)
                return std::nullopt;
            source = *identity;
        }
        if (source->IsSameAs(*recorded))
            return candidate;
    }
    return std::nullopt;
}

} // namespace

QStringList ConversionEngine::ExistingOutputNames(const JobList& list, OutputType type,
                                                  const QString& outputDir, bool retryUnfinished) {
    QStringList names;
    JobList fresh = list;
    if (!retryUnfinished)
        fresh.ResetOutputNames();
    for (const Job& job : fresh) {
        if (retryUnfinished && !NeedsRetry(job.status))
            continue;
        const QString name = job.outputName + OutputExtension(OutputTypeOf(job, type));
        if (NameExists(QDir(outputDir).filePath(name)))
            names.append(name);
    }
    return names;
}

// Decides each job's output name before anything runs: a name already on disk is kept for
// the user's file (a free name for the new one), replaced, or the job is skipped, as the user
// chose; a file that a job of the batch reads is never written, whatever the choice. A retry
// leaves the jobs it does not convert as they are.
void ConversionEngine::PlanOutputs() {
    QList<FileId> sources;
    for (const Job& job : *jobs) {
        if (const auto id = IdOf(job.sourcePath))
            sources.append(*id);
    }
    if (!settings.retryUnfinished)
        jobs->ResetOutputNames();
    QSet<QString> taken;
    for (const Job& job : *jobs)
        taken.insert(job.outputName);
    for (qsizetype i = 0; i < jobs->Count(); ++i) {
        if (!waiting.contains(jobs->At(i).id))
            continue;
        Job job = jobs->At(i);
        const QString extension = OutputExtension(OutputTypeOf(job, settings.outputType));
        if (job.status == JobStatus::Skipped)
            job.status = JobStatus::Waiting;
        const QString target = plan.outputDir + job.outputName + extension;
        const auto id = IdOf(target);
        const bool isSource = id && sources.contains(*id);
        // A file of the name that another source made is no reason to skip, and one that this
        // source made may have a numbered name (another source had the name first).
        const std::optional<QString> same =
            settings.existing == ExistingOutputs::SkipSameSource
                ? OutputOfSameSource(plan.outputDir, FitOutputName(job.baseName), extension, job,
                                     settings)
                : std::nullopt;
        if (same) {
            jobs->SetOutputName(i, *same);
            job.status = JobStatus::Skipped;
        } else if (NameExists(target) &&
                   (isSource || settings.existing != ExistingOutputs::Overwrite)) {
            if (settings.existing == ExistingOutputs::Skip) {
                job.status = JobStatus::Skipped;
            } else {
                const QString name = FreeName(job.outputName, taken, plan.outputDir, extension);
                taken.insert(name);
                jobs->SetOutputName(i, name);
            }
        }
        // Fixed, whatever is added, moved or removed while the batch runs.
        jobs->SetOutputName(i, jobs->At(i).outputName);
        jobs->Set(i, job);
    }
}

// A job added during the batch: the user was asked about none of its files, so a name taken
// in the output folder is kept for the file there, never replaced.
void ConversionEngine::PlanLateOutput(qsizetype row) {
    const QString extension = OutputExtension(OutputTypeOf(jobs->At(row), settings.outputType));
    QSet<QString> taken;
    for (const Job& job : *jobs) {
        if (job.outputNameFixed)
            taken.insert(job.outputName);
    }
    QString name = jobs->At(row).outputName;
    if (taken.contains(name) || NameExists(plan.outputDir + name + extension))
        name = FreeName(name, taken, plan.outputDir, extension);
    jobs->SetOutputName(row, name);
}
