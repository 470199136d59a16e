#include "engine/ConversionEngine.h"

#include "engine/AppPaths.h"
#include "engine/CommandTemplate.h"
#include "engine/EncoderOutputParser.h"
#include "engine/ErrorLog.h"
#include "engine/EventWait.h"
#include "engine/RealMediaExport.h"
#include "media/MediaExporter.h"
#include "profiles/CProfileIniReader.h"
#include "profiles/Profile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

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

// What a file looked like before a pass, so that a file left from an earlier run is not taken
// for the pass's output.
struct FileStamp {
    bool exists = false;
    qint64 size = 0;
    QDateTime modified;

    explicit FileStamp(const QString& path) {
        const QFileInfo info(path);
        exists = info.isFile();
        size = info.size();
        modified = info.lastModified();
    }

    // The pass wrote the file: it has content and is not the one that was there before.
    bool WrittenSince(const QString& path) const {
        if (!HasContent(path))
            return false;
        const QFileInfo info(path);
        return !exists || info.size() != size || info.lastModified() != modified;
    }
};

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

    jobs = &list;
    settings = batchSettings;
    outputDir = AppPaths::WithTrailingSeparator(QDir(settings.outputDir).absolutePath());
    runner.SetWorkingDirectory(AppPaths::ProfileDir());
    converting = true;
    host.ConvertingChanged(true);
    cancelRequested = false;
    list.ResetProgress();

    for (activeJobIndex = 0; activeJobIndex < count; ++activeJobIndex) {
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

    // First pass, read and shown as it goes.
    const CommandLine first = ExpandCommandTemplate(templates.at(0), ActiveJob(), outputDir);
    SetJobPhase(JobPhase::FirstPass);
    const FileStamp firstBefore(PassOutputPath(1));
    runner.RunWithOutput(first);
    const QString exportPath = ActiveJob().exportPath;
    if (cancelRequested) {
        SetJobPhase(JobPhase::Canceled);
        DeleteFile(exportPath);
        runner.CloseOutputRead();
        runner.RequestStop();
        runner.EndChild();
        // Again, now that the encoder has let go of them.
        DeletePartialFiles(JobPhase::FirstPass);
        return JobOutcome::Canceled;
    }
    DeleteFile(exportPath);
    // The encoder may still be there after closing its output: ask it to quit, then make sure.
    runner.CloseOutputRead();
    runner.RequestStop();
    runner.EndChild();
    if (cancelRequested) {
        SetJobPhase(JobPhase::Canceled);
        DeletePartialFiles(JobPhase::FirstPass);
        return JobOutcome::Canceled;
    }
    if (!firstBefore.WrittenSince(PassOutputPath(1)))
        return FailJob(first, QStringLiteral("The encoder wrote no output file."));

    if (settings.outputType != OutputType::Aac3g2)
        return JobOutcome::Finished;

    const CommandLine second = ExpandCommandTemplate(templates.at(1), ActiveJob(), outputDir);
    SetJobPhase(JobPhase::SecondPass);
    const FileStamp secondBefore(PassOutputPath(2));
    runner.RunAndWait(second);
    if (cancelRequested) {
        SetJobPhase(JobPhase::Canceled);
        DeletePartialFiles(JobPhase::SecondPass);
        return JobOutcome::Canceled;
    }
    DeleteFile(PassOutputPath(1));
    if (!secondBefore.WrittenSince(PassOutputPath(2)))
        return FailJob(second, QStringLiteral("The second pass wrote no output file."));

    const CommandLine third = ExpandCommandTemplate(templates.at(2), ActiveJob(), outputDir);
    SetJobPhase(JobPhase::ThirdPass);
    const FileStamp thirdBefore(PassOutputPath(3));
    runner.RunAndWait(third);
    if (cancelRequested) {
        SetJobPhase(JobPhase::Canceled);
        DeletePartialFiles(JobPhase::ThirdPass);
        return JobOutcome::Canceled;
    }
    DeleteFile(PassOutputPath(2));
    if (!thirdBefore.WrittenSince(PassOutputPath(3)))
        return FailJob(third, QStringLiteral("The third pass wrote no output file."));
    return JobOutcome::Finished;
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

    const QString path = ExportFileName(AppPaths::WritableDir(), job.baseName, choice.IsAvi(),
                                        RandomInRange(10000, 50000));
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
    return outputDir + (job.outputName.isEmpty() ? job.baseName : job.outputName) + suffix;
}

QString ConversionEngine::FinalOutputPath() const {
    return FilePath(OutputExtension(settings.outputType));
}

// The file each pass writes: 3GP types write the final file in their only pass; 3GP2 goes
// through "_temp.3gp" and "_temp_2.3g2" to ".3g2".
QString ConversionEngine::PassOutputPath(int pass) const {
    if (settings.outputType != OutputType::Aac3g2 || pass >= 3)
        return FinalOutputPath();
    return FilePath(pass == 1 ? QStringLiteral("_temp.3gp") : QStringLiteral("_temp_2.3g2"));
}

// What a pass in this phase leaves half written when it is stopped.
void ConversionEngine::DeletePartialFiles(JobPhase phase) {
    switch (phase) {
    case JobPhase::FirstPass:
        DeleteFile(FilePath(QStringLiteral("_temp.3gp")));
        if (settings.outputType != OutputType::Aac3g2)
            DeleteFile(FinalOutputPath());
        break;
    case JobPhase::SecondPass:
        DeleteFile(FilePath(QStringLiteral("_temp.3gp")));
        DeleteFile(FilePath(QStringLiteral("_temp_2.3g2")));
        break;
    case JobPhase::ThirdPass:
        DeleteFile(FilePath(QStringLiteral("_temp.3gp")));
        DeleteFile(FilePath(QStringLiteral("_temp_2.3g2")));
        DeleteFile(FinalOutputPath());
        break;
    default:
        break;
    }
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
JobOutcome ConversionEngine::FailJob(const CommandLine& command, const QString& reason) {
    const QString finalOutput = FinalOutputPath();
    if (QFileInfo(finalOutput).isFile() && !HasContent(finalOutput))
        DeleteFile(finalOutput); // an empty file must not look like a result
    if (settings.outputType == OutputType::Aac3g2) {
        DeleteFile(FilePath(QStringLiteral("_temp.3gp")));
        DeleteFile(FilePath(QStringLiteral("_temp_2.3g2")));
    }
    QString entry = QStringLiteral("FAILED:  source          =   %1.\n"
                                   "         reason          =   %2\n")
                        .arg(QDir::toNativeSeparators(ActiveJob().sourcePath), reason);
    if (!command.IsEmpty()) {
        entry += QStringLiteral("         command line    =   %1\n").arg(command.Printable());
        const QString tail = runner.OutputTail();
        entry += QStringLiteral("         encoder output  =\n");
        for (const QString& line : tail.split(u'\n', Qt::SkipEmptyParts))
            entry += QStringLiteral("             ") + line + u'\n';
    }
    AppendToLog(entry);
    SetJobPhase(JobPhase::Failed);
    return JobOutcome::Failed;
}

void ConversionEngine::EndExport(MediaExporter* exporter) {
    (void)exporter;
    for (const auto& connection : std::as_const(exportConnections))
        disconnect(connection);
    exportConnections.clear();
}
