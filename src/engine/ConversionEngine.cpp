#include "engine/ConversionEngine.h"

#include "engine/AppPaths.h"
#include "engine/CommandTemplate.h"
#include "engine/EncoderCapabilities.h"
#include "engine/EncoderOutputParser.h"
#include "engine/ErrorLog.h"
#include "engine/EventWait.h"
#include "engine/RealMediaExport.h"
#include "media/FileNames.h"
#include "media/H263Level.h"
#include "media/MediaExporter.h"
#include "media/OutputCheck.h"
#include "profiles/CProfileIniReader.h"
#include "profiles/Profile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryFile>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Fixed settings of the RealMedia export.
constexpr int ExportFrameWidth = 320;
constexpr int ExportFrameHeight = 240;
constexpr int ExportBitsPerPixel = 24;
constexpr float ExportFrameRate = 15.0f;

bool HasContent(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && info.size() > 0;
}

void DeleteFile(const QString& path) {
    if (!path.isEmpty())
        QFile::remove(path);
}

} // namespace

QString ConversionEngine::NoOutputDirMessage() {
    return QStringLiteral("  Please set the output directory firstly   ");
}

ConversionEngine::ConversionEngine(ConversionHost& host, QObject* parent)
    : QObject(parent), host(host), runner(cancelRequested) {
    runner.SetChunkHandler([this](QByteArrayView chunk) { ParseChunk(chunk); });
}

ConversionEngine::~ConversionEngine() {
    cancelRequested = true;
    for (const auto& connection : std::as_const(exportConnections))
        disconnect(connection);
    // The runner kills a child that is still running.
}

QString ConversionEngine::CheckOutputDir(const QString& outputDir) {
    if (outputDir.trimmed().isEmpty())
        return NoOutputDirMessage();
    const QFileInfo info(outputDir);
    const QString shown = QDir::toNativeSeparators(outputDir);
    if (!info.exists())
        return QStringLiteral("The output directory %1 does not exist.").arg(shown);
    if (!info.isDir())
        return QStringLiteral("The output directory %1 is not a directory.").arg(shown);
    // Permission bits do not tell (an administrator, a read-only medium): try it.
    QTemporaryFile probe(QDir(outputDir).filePath(QStringLiteral(".morvane-XXXXXX")));
    if (!probe.open())
        return QStringLiteral("The output directory %1 cannot be written to.").arg(shown);
    return {};
}

QString ConversionEngine::CheckEncoder(const QStringList& passTemplates,
                                       const EncoderCapabilities* capabilities) {
    const EncoderNeeds needs = NeedsOfTemplates(passTemplates);
    if (AppPaths::FindProgram(needs.program).isEmpty()) {
        if (needs.program == u"ffmpeg")
            return QStringLiteral("The encoder program \"ffmpeg\" cannot be found. Install it "
                                  "(on Debian: sudo apt install ffmpeg libavcodec-extra).");
        return QStringLiteral("The encoder program \"%1\" that the profile names cannot be "
                              "found. Install it, or correct the profile file.")
            .arg(needs.program);
    }
    return capabilities != nullptr ? capabilities->MissingFor(needs) : QString();
}

BatchResult ConversionEngine::StartBatch(JobList& list, const BatchSettings& batchSettings) {
    BatchResult result;
    if (converting) {
        result.status = BatchResult::Status::AlreadyConverting;
        return result;
    }
    const auto count = static_cast<int>(list.Count());
    if (count < 1)
        return result;
    if (MediaExporter* exporter = host.Exporter())
        exporter->StopExport();

    // Everything that would stop every job is checked before anything runs.
    result.status = BatchResult::Status::Refused;
    result.message = CheckOutputDir(batchSettings.outputDir);
    if (!result.message.isEmpty())
        return result;
    CProfileIniReader reader;
    const ProfileResolution profile = ResolveProfile(
        reader, AppPaths::ProfileDir(), batchSettings.outputType, batchSettings.profileSelection);
    if (!profile.IsValid()) {
        result.message = profile.message;
        return result;
    }
    result.message = CheckEncoder(profile.passTemplates, batchSettings.capabilities);
    if (!result.message.isEmpty())
        return result;

    outputDir = AppPaths::WithTrailingSeparator(QDir(batchSettings.outputDir).absolutePath());
    if (!workFolder.Create(outputDir, &result.message))
        return result;

    jobs = &list;
    settings = batchSettings;
    runner.SetWorkingDirectory(AppPaths::ProfileDir());
    converting = true;
    host.ConvertingChanged(true);
    cancelRequested = false;
    list.ResetProgress();
    PlanOutputs();

    for (activeJobIndex = 0; activeJobIndex < count; ++activeJobIndex) {
        if (ActiveJob().phase == JobPhase::Skipped) {
            ++result.skippedJobs;
            host.JobEnded(activeJobIndex, JobOutcome::Skipped);
            continue;
        }
        if (ActiveJob().isRealMedia == 1) {
            ExportRealMediaJob();
            if (cancelRequested) {
                SetJobPhase(JobPhase::Canceled);
                host.JobEnded(activeJobIndex, JobOutcome::Canceled);
                break;
            }
        }
        stepStartTick = TickCount();
        const JobOutcome outcome = ConvertActiveJob();
        if (cancelRequested) {
            host.JobEnded(activeJobIndex, JobOutcome::Canceled);
            break;
        }
        if (outcome == JobOutcome::Finished) {
            Job job = ActiveJob();
            job.finished = 1;
            StoreActiveJob(job);
            host.RepaintProgressCell(activeJobIndex);
            ++result.finishedJobs;
        } else {
            ++result.failedJobs;
        }
        host.JobEnded(activeJobIndex, outcome);
    }

    workFolder.Remove();
    converting = false;
    host.ConvertingChanged(false);
    jobs = nullptr;
    result.status =
        cancelRequested ? BatchResult::Status::Canceled : BatchResult::Status::Completed;
    result.message.clear();
    return result;
}

JobOutcome ConversionEngine::ConvertActiveJob() {
    // The profile is read again for every job, as the file may be edited by hand.
    CProfileIniReader reader;
    const ProfileResolution profile = ResolveProfile(
        reader, AppPaths::ProfileDir(), settings.outputType, settings.profileSelection);
    if (!profile.IsValid())
        return FailJob({}, profile.message);
    const QStringList& templates = profile.passTemplates;
    // Every pass writes into the job's own folder inside the work folder, never beside the
    // user's files; only the checked result is moved out.
    jobDir = workFolder.JobDir(activeJobIndex);
    activeSource = ProbeMedia(ActiveJob().sourcePath);
    Job reading = ActiveJob(); // what the templates are expanded with
    if (!QtReachesFileName(reading.sourcePath)) {
        // A name that is not valid UTF-8 cannot travel in an argument list: the encoder reads
        // it through a link with a plain name in the job's folder.
        const QString link =
            jobDir + QStringLiteral("source") +
            DisplayFileName(reading.sourcePath.mid(reading.sourcePath.lastIndexOf(u'.')));
        if (::symlink(EncodeFileName(reading.sourcePath).constData(),
                      QFile::encodeName(link).constData()) == 0)
            reading.sourcePath = link;
    }

    CommandLine command;
    for (int pass = 1; pass <= templates.size(); ++pass) {
        const JobPhase phase = pass == 1   ? JobPhase::FirstPass
                               : pass == 2 ? JobPhase::SecondPass
                                           : JobPhase::ThirdPass;
        reading.phase = ActiveJob().phase;
        reading.exportPath = ActiveJob().exportPath;
        reading.isRealMedia = ActiveJob().isRealMedia;
        command = ExpandCommandTemplate(templates.at(pass - 1), reading, jobDir);
        SetJobPhase(phase);
        if (pass == 1) {
            runner.RunWithOutput(command);
            DeleteFile(ActiveJob().exportPath); // the RealMedia intermediate has been read
            // The encoder may still be there after closing its output: ask it to quit, then
            // make sure.
            runner.CloseOutputRead();
            runner.RequestStop();
            if (!cancelRequested)
                runner.EndChild();
        } else {
            runner.RunAndWait(command);
        }
        if (cancelRequested)
            return CancelJob();
        if (const QString problem = runner.ExitProblem(); !problem.isEmpty())
            return FailJob(command, problem);
        if (!HasContent(PassOutputPath(pass)))
            return FailJob(command, QStringLiteral("The encoder wrote no output file."));
        if (pass > 1)
            DeleteFile(PassOutputPath(pass - 1));
    }
    return FinishOutput(command);
}

// Stop during a pass: the encoder is ended and what the job wrote goes with its folder.
JobOutcome ConversionEngine::CancelJob() {
    runner.CloseOutputRead();
    runner.RequestStop();
    runner.EndChild();
    DeleteFile(ActiveJob().exportPath);
    SetJobPhase(JobPhase::Canceled);
    DeletePartialFiles(JobPhase::Canceled);
    return JobOutcome::Canceled;
}

// The last pass wrote the output: it is checked as a user would check it, gets the H.263
// level its stream needs (the writer always says the lowest), and only then moves to its
// place, with one rename.
JobOutcome ConversionEngine::FinishOutput(const CommandLine& lastPass) {
    const Job job = ActiveJob();
    const QString finished = FinalOutputPath();
    OutputExpectation expected;
    expected.brandPrefix =
        settings.outputType == OutputType::Aac3g2 ? QStringLiteral("3g2") : QStringLiteral("3gp");
    expected.video = activeSource.hasVideo;
    expected.audio = activeSource.hasAudio;
    CProfileIniReader reader;
    expected.encoders =
        NeedsOfTemplates(ResolveProfile(reader, AppPaths::ProfileDir(), settings.outputType,
                                        settings.profileSelection)
                             .passTemplates)
            .encoders;
    const double end = activeSource.ok ? std::min(job.endTime, activeSource.duration) : job.endTime;
    expected.duration = end - job.beginTime;
    if (const QString problem = CheckOutputFile(finished, expected); !problem.isEmpty())
        return FailJob(lastPass, problem);
    QString problem;
    if (!WriteH263Level(finished, &problem))
        return FailJob(lastPass, QStringLiteral("The output file cannot be read: %1").arg(problem));
    if (!PlaceOutput(finished, &problem))
        return FailJob(lastPass, problem);
    DeletePartialFiles(JobPhase::NotStarted);
    return JobOutcome::Finished;
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

} // namespace

QStringList ConversionEngine::ExistingOutputNames(const JobList& list, OutputType type,
                                                  const QString& outputDir) {
    QStringList names;
    JobList fresh = list;
    fresh.ResetOutputNames();
    for (const Job& job : fresh) {
        const QString name = job.outputName + OutputExtension(type);
        if (NameExists(QDir(outputDir).filePath(name)))
            names.append(name);
    }
    return names;
}

// Decides each job's output name before anything runs: a name already on disk is kept for
// the user's file (a free name for the new one), replaced, or the job is skipped, as the user
// chose; a file that a job of the batch reads is never written, whatever the choice.
bool ConversionEngine::PlanOutputs() {
    QList<FileId> sources;
    for (const Job& job : *jobs) {
        if (const auto id = IdOf(job.sourcePath))
            sources.append(*id);
    }
    jobs->ResetOutputNames();
    const QString extension = OutputExtension(settings.outputType);
    QSet<QString> taken;
    for (const Job& job : *jobs)
        taken.insert(job.outputName);
    for (qsizetype i = 0; i < jobs->Count(); ++i) {
        Job job = jobs->At(i);
        if (job.phase == JobPhase::Skipped)
            job.phase = JobPhase::NotStarted;
        const QString target = outputDir + job.outputName + extension;
        const auto id = IdOf(target);
        const bool isSource = id && sources.contains(*id);
        if (NameExists(target) && (isSource || settings.existing != ExistingOutputs::Overwrite)) {
            if (settings.existing == ExistingOutputs::Skip) {
                job.phase = JobPhase::Skipped;
            } else {
                QString name;
                for (int n = 2; name.isEmpty() || taken.contains(name) ||
                                NameExists(outputDir + name + extension);
                     ++n)
                    name = QStringLiteral("%1 (%2)").arg(job.outputName).arg(n);
                taken.insert(name);
                jobs->SetOutputName(i, name);
            }
        }
        jobs->Set(i, job);
    }
    return true;
}

// Moves a checked file from the work folder to its name in the output folder with one
// rename. Without the user's leave to overwrite, a name taken meanwhile (another run) is not
// replaced: the next free name is used.
bool ConversionEngine::PlaceOutput(const QString& finished, QString* error) {
    Job job = ActiveJob();
    const QString extension = OutputExtension(settings.outputType);
    const QByteArray from = QFile::encodeName(finished); // written by the encoder as Qt names it
    const QString base = job.outputName;
    for (int n = 2;; ++n) {
        const QString target = outputDir + job.outputName + extension;
        const QByteArray to = EncodeFileName(target); // the source's own bytes
        const bool replace = settings.existing == ExistingOutputs::Overwrite && n == 2;
        const int result = replace ? ::rename(from.constData(), to.constData())
                                   : ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD,
                                                 to.constData(), RENAME_NOREPLACE);
        if (result == 0)
            break;
        if (errno != EEXIST || n > 10000) {
            *error = QStringLiteral("The output file cannot be moved to %1: %2")
                         .arg(QDir::toNativeSeparators(target),
                              QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
        job.outputName = QStringLiteral("%1 (%2)").arg(base).arg(n);
    }
    jobs->SetOutputName(activeJobIndex, job.outputName);
    return true;
}

void ConversionEngine::SetJobPhase(JobPhase phase) {
    if (jobs == nullptr || !jobs->IsValidIndex(activeJobIndex))
        return;
    Job job = ActiveJob();
    job.phase = phase;
    StoreActiveJob(job);
    host.RepaintProgressCell(activeJobIndex);
}

void ConversionEngine::CancelActiveJob() {
    if (!converting)
        return;
    cancelRequested = true;
    if (jobs == nullptr || !jobs->IsValidIndex(activeJobIndex))
        return;
    const JobPhase phase = ActiveJob().phase;
    if (phase == JobPhase::FirstPass) {
        runner.CloseOutputRead();
        runner.RequestStop();
    }
    DeletePartialFiles(phase);
}

void ConversionEngine::SuspendEncoder(bool suspend) {
    if (converting)
        runner.SignalGroup(suspend ? SIGSTOP : SIGCONT);
}

void ConversionEngine::ExportRealMediaJob() {
    MediaExporter* exporter = host.Exporter();
    if (exporter == nullptr || jobs == nullptr || !jobs->IsValidIndex(activeJobIndex))
        return; // the job is encoded from its source

    const ExportCodecChoice choice =
        ChooseExportCodecs(exporter->VideoCodecs(), exporter->AudioCodecs());
    Job job = ActiveJob();
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
    const double length = job.endTime - job.beginTime;
    exporter->OpenClipRange(job.sourcePath, job.beginTime, length, 0);
    exporter->SetClipRange(job.sourcePath, job.beginTime, length);

    // In the job's own folder of the batch's work folder: no other run or job can meet it,
    // and whatever a crash leaves goes with that folder.
    const QString path = ExportFileName(workFolder.JobDir(activeJobIndex), job.baseName,
                                        choice.IsAvi(), RandomInRange(10000, 50000));
    job.exportPath = path;
    job.phase = JobPhase::NotStarted;
    job.exportDone = 0;
    job.exportPercent = 0.0;
    StoreActiveJob(job);
    host.RepaintProgressCell(activeJobIndex);

    DeleteFile(path);
    stepStartTick = TickCount();
    exportFailed = false;
    exportConnections = {
        connect(exporter, &MediaExporter::ExportProgress, this,
                &ConversionEngine::OnExportProgress),
        connect(exporter, &MediaExporter::ExportDone, this, &ConversionEngine::OnExportDone),
        connect(exporter, &MediaExporter::ExportFailed, this, &ConversionEngine::OnExportFailed),
    };
    if (!exporter->ExportToFile(path)) {
        DeleteFile(path); // the job reads its source
        EndExport(exporter);
        return;
    }
    while (!cancelRequested) {
        if (ActiveJob().exportDone == 1)
            break;
        if (exportFailed) {
            DeleteFile(path); // the job reads its source
            break;
        }
        WaitForEvents();
    }
    if (cancelRequested) {
        exporter->StopExport();
        DeleteFile(path);
    }
    EndExport(exporter);
}

void ConversionEngine::OnExportProgress(double done, double total) {
    if (jobs == nullptr || !jobs->IsValidIndex(activeJobIndex))
        return;
    Job job = ActiveJob();
    job.exportPercent = total == 0.0 ? 0.0 : 100.0 / total * done;
    StoreActiveJob(job);
    host.RepaintProgressCell(activeJobIndex);
    if (cancelRequested) {
        if (MediaExporter* exporter = host.Exporter())
            exporter->StopExport();
        DeleteFile(job.exportPath);
    }
}

void ConversionEngine::OnExportDone() {
    if (jobs == nullptr || !jobs->IsValidIndex(activeJobIndex))
        return;
    if (MediaExporter* exporter = host.Exporter())
        exporter->StopExport();
    Job job = ActiveJob();
    job.exportDone = 1;
    job.phase = JobPhase::FirstPass;
    StoreActiveJob(job);
}

void ConversionEngine::OnExportFailed(const QString& message) {
    if (jobs == nullptr || !jobs->IsValidIndex(activeJobIndex))
        return;
    exportFailed = true;
    AppendToLog(QStringLiteral("EXPORT:  source          =   %1.\n"
                               "         message         =   %2.\n")
                    .arg(QDir::toNativeSeparators(ActiveJob().sourcePath), message));
}

Job ConversionEngine::ActiveJob() const {
    return jobs->At(activeJobIndex);
}

void ConversionEngine::StoreActiveJob(const Job& job) {
    jobs->Set(activeJobIndex, job);
}

QString ConversionEngine::FilePath(const QString& suffix) const {
    const Job job = ActiveJob();
    return jobDir + (job.outputName.isEmpty() ? job.baseName : job.outputName) + suffix;
}

QString ConversionEngine::FinalOutputPath() const {
    return FilePath(OutputExtension(settings.outputType));
}

// The file each pass writes in the job's folder: 3GP types write the final file in their only
// pass; 3GP2 goes through "_temp.3gp" and "_temp_2.3g2" to ".3g2".
QString ConversionEngine::PassOutputPath(int pass) const {
    if (settings.outputType != OutputType::Aac3g2 || pass >= 3)
        return FinalOutputPath();
    return FilePath(pass == 1 ? QStringLiteral("_temp.3gp") : QStringLiteral("_temp_2.3g2"));
}

// Whatever a pass leaves, half written or not, is in the job's folder only: the folder goes.
void ConversionEngine::DeletePartialFiles(JobPhase phase) {
    (void)phase;
    if (!jobDir.isEmpty())
        QDir(jobDir).removeRecursively();
}

void ConversionEngine::ParseChunk(QByteArrayView chunk) {
    if (jobs == nullptr || !jobs->IsValidIndex(activeJobIndex))
        return;
    Job job = ActiveJob();
    ParseEncoderOutput(chunk, job, TickCount() - stepStartTick);
    StoreActiveJob(job);
    host.RepaintProgressCell(activeJobIndex);
}

// A job whose passes left no usable output: not finished, shown as "Failed", and logged with
// what the encoder said, so that the user can find out why.
// A job whose passes left no usable output: not finished, shown as "Failed" with the reason,
// and logged with what the encoder said, so that the user can find out why.
JobOutcome ConversionEngine::FailJob(const CommandLine& command, const QString& reason) {
    runner.EndChild();
    QString entry = QStringLiteral("FAILED:  source          =   %1.\n"
                                   "         reason          =   %2\n")
                        .arg(EscapeForLog(QDir::toNativeSeparators(ActiveJob().sourcePath)),
                             EscapeForLog(reason));
    if (!command.IsEmpty()) {
        entry += QStringLiteral("         command line    =   %1\n")
                     .arg(EscapeForLog(command.Printable()));
        const QString tail = runner.OutputTail();
        entry += QStringLiteral("         encoder output  =\n");
        for (const QString& line : tail.split(u'\n', Qt::SkipEmptyParts))
            entry += QStringLiteral("             ") + EscapeForLog(line) + u'\n';
    }
    AppendToLog(entry);
    DeletePartialFiles(JobPhase::Failed);
    Job job = ActiveJob();
    job.failReason = reason;
    StoreActiveJob(job);
    SetJobPhase(JobPhase::Failed);
    return JobOutcome::Failed;
}

void ConversionEngine::EndExport(MediaExporter* exporter) {
    (void)exporter;
    for (const auto& connection : std::as_const(exportConnections))
        disconnect(connection);
    exportConnections.clear();
}
