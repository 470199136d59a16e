// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/ConversionJob.h"

#include "engine/CommandTemplate.h"
#include "engine/EncoderCapabilities.h"
#include "engine/EncoderOutputParser.h"
#include "engine/ErrorLog.h"
#include "engine/FilePlacement.h"
#include "engine/SafeRemoval.h"
#include "engine/SizeModel.h"
#include "media/AppPaths.h"
#include "media/FileNames.h"
#include "media/OutputCheck.h"
#include "media/PhoneConformance.h"
#include "profiles/CProfileIniReader.h"
#include "profiles/Profile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaMethod>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace {

bool HasContent(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && info.size() > 0;
}

void DeleteFile(const QString& path) {
    if (!path.isEmpty())
        QFile::remove(path);
}

// The figures must have run this long before a time left is worth showing.
constexpr qint64 TimeLeftAfterMs = 1500;

} // namespace

void ActiveClock::Start() {
    clock.start();
    pausedMs = 0;
    pausedSince.invalidate();
}

void ActiveClock::Pause(bool pause) {
    if (!clock.isValid() || pause == pausedSince.isValid())
        return;
    if (pause) {
        pausedSince.start();
    } else {
        pausedMs += pausedSince.elapsed();
        pausedSince.invalidate();
    }
}

qint64 ActiveClock::ElapsedMs() const {
    if (!clock.isValid())
        return 0;
    const qint64 paused = pausedMs + (pausedSince.isValid() ? pausedSince.elapsed() : 0);
    return std::max<qint64>(clock.elapsed() - paused, 0);
}

OutputType OutputTypeOf(const Job& job, OutputType batchType) {
    return job.ownProfile >= 0 && IsValidOutputType(job.ownOutputType)
               ? static_cast<OutputType>(job.ownOutputType)
               : batchType;
}

BatchPlan BatchPlan::For(const Job& job) const {
    BatchPlan plan = *this;
    if (job.ownProfile >= 0 && IsValidOutputType(job.ownOutputType)) {
        plan.outputType = static_cast<OutputType>(job.ownOutputType);
        plan.profileSelection = job.ownProfile;
    }
    return plan;
}

ConversionJob::ConversionJob(JobList& jobs, JobId id, const BatchPlan& plan, QString jobDir,
                             QObject* parent)
    : QObject(parent), jobs(jobs), id(id), plan(plan), jobDir(std::move(jobDir)) {
    Q_ASSERT(jobs.IndexOf(id) >= 0);
    runner.SetWorkingDirectory(AppPaths::ProfileDir());
    runner.SetChunkHandler([this](QByteArrayView chunk) { ParseChunk(chunk); });
    connect(&runner, &ChildProcessRunner::PassEnded, this, &ConversionJob::OnPassEnded);
    connect(&stallCheck, &QTimer::timeout, this, &ConversionJob::CheckProgress);
}

// The runner kills an encoder that still runs; what the job wrote goes with the work folder.
ConversionJob::~ConversionJob() = default;

qsizetype ConversionJob::Row() const {
    const qsizetype row = jobs.IndexOf(id);
    Q_ASSERT_X(row >= 0, "ConversionJob", "a running job is never removed from the list");
    return row;
}

void ConversionJob::Store(const Job& job) {
    jobs.Set(Row(), job);
    emit Changed(id);
}

void ConversionJob::SetStatus(JobStatus status) {
    Job job = Record();
    job.status = status;
    if (status != JobStatus::FirstPass)
        job.secondsLeft = -1.0;
    if (HasEnded(status))
        job.checking = false; // a later batch's run of the row holds its slot again
    Store(job);
}

void ConversionJob::BeginExport(const QString& path) {
    Job job = Record();
    job.exportPath = path;
    job.status = JobStatus::Exporting;
    job.exportPercent = 0.0;
    clock.Start();
    Store(job);
}

void ConversionJob::SetExportPercent(double percent) {
    Job job = Record();
    job.exportPercent = percent;
    Store(job);
}

void ConversionJob::EndExport(bool exported) {
    Job job = Record();
    if (!exported) {
        DeleteFile(job.exportPath); // the job reads its source
        job.exportPath.clear();
    }
    jobs.Set(Row(), job);
    if (canceled)
        CancelJob();
    else
        Convert();
}

void ConversionJob::Convert() {
    // The profile is read again for every job, as the file may be edited by hand.
    CProfileIniReader reader;
    const Result<ResolvedProfile> profile =
        ResolveProfile(reader, AppPaths::ProfileDirs(), plan.outputType, plan.profileSelection);
    if (!profile) {
        FailJob({}, profile.error());
        return;
    }
    templates = profile->passTemplates;
    encoders = NeedsOfTemplates(templates).encoders;
    targetLevel = TargetVideoLevel(templates.value(0));
    reading = Record();
    // A source swapped for a named pipe since it was added would keep the encoder waiting.
    if (const Result<void> regular = CheckRegularFile(reading.sourcePath); !regular) {
        FailJob({}, regular.error());
        return;
    }
    const Result<MediaInfo> probed = ProbeMedia(reading.sourcePath);
    source = probed ? *probed : MediaInfo();
    profileKey = SizeProfileKey(plan.outputType, profile->profile.sectionName);
    if (const Result<void> fit = PlanFit(profile->profile); !fit) {
        FailJob({}, fit.error());
        return;
    }
    const Result<SourceIdentity> identity = SourceIdentity::Of(
        reading.sourcePath,
        SourceIdentity::Settings(int(plan.outputType), plan.profileSelection, reading.beginTime,
                                 reading.endTime, plan.fitBytes));
    sourceIdentity = identity ? std::optional(*identity) : std::nullopt;
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
    StartPass(1);
}

void ConversionJob::StartPass(int number) {
    if (suspended) {
        onResume = [this, number] { StartPass(number); };
        return;
    }
    pass = number;
    const JobStatus status = pass == 1   ? JobStatus::FirstPass
                             : pass == 2 ? JobStatus::SecondPass
                                         : JobStatus::ThirdPass;
    reading.exportPath = Record().exportPath;
    command = ExpandCommandTemplate(templates.at(pass - 1), reading, jobDir);
    if (pass == 1 && rateFactor * fitFactor != 1.0)
        ScaleVideoRates(command, rateFactor * fitFactor);
    if (pass == 1 && fitBytes > 0)
        LowerPictureRate(command, FitPictureRateShare(rateFactor * fitFactor));
    clock.Start(); // before the repaint, which may pause the batch
    SetStatus(status);
    const Result<void> started =
        pass == 1 ? runner.RunWithOutput(command) : runner.RunAndWait(command);
    if (!started) {
        FailJob(command, started.error());
        return;
    }
    StartWatchdog();
}

void ConversionJob::OnPassEnded() {
    stallCheck.stop();
    if (suspended && !canceled) {
        onResume = [this] { OnPassEnded(); };
        return;
    }
    if (pass == 1) {
        // The RealMedia intermediate has been read.
        Job job = Record();
        DeleteFile(job.exportPath);
        job.exportPath.clear();
        jobs.Set(Row(), job);
    }
    if (canceled) {
        CancelJob();
        return;
    }
    if (stalled) {
        FailJob(command, StallReason(plan.stallTimeoutSeconds));
        return;
    }
    if (const Result<void> exited = runner.ExitResult(); !exited) {
        FailJob(command, exited.error());
        return;
    }
    if (!HasContent(PassOutputPath(pass))) {
        FailJob(command, tr("The encoder wrote no output file."));
        return;
    }
    if (pass > 1)
        DeleteFile(PassOutputPath(pass - 1));
    if (pass < templates.size()) {
        StartPass(pass + 1);
        return;
    }
    SetChecking(true);
    FinishOutput();
}

// While the finished file is checked no encoder runs: the engine may start the next job's.
void ConversionJob::SetChecking(bool checking) {
    Job job = Record();
    job.checking = checking;
    Store(job);
    if (checking)
        emit EncodingDone(id);
}

void ConversionJob::Cancel() {
    if (ended || canceled)
        return;
    canceled = true;
    onResume = nullptr;
    if (runner.IsPassRunning())
        runner.Stop(); // OnPassEnded cleans up
    else if (Record().status != JobStatus::Exporting)
        CancelJob(); // the engine ends a running export and then calls EndExport
}

void ConversionJob::Suspend(bool suspend) {
    suspended = suspend;
    runner.Suspend(suspend);
    clock.Pause(suspend);
    sinceProgress.Pause(suspend);
    if (!suspend && onResume && !ended)
        std::exchange(onResume, nullptr)();
}

QString ConversionJob::StallReason(int seconds) {
    if (seconds % 60 == 0) {
        const int minutes = seconds / 60;
        return minutes == 1 ? tr("The encoder made no progress for 1 minute.")
                            : tr("The encoder made no progress for %1 minutes.").arg(minutes);
    }
    return seconds == 1 ? tr("The encoder made no progress for 1 second.")
                        : tr("The encoder made no progress for %1 seconds.").arg(seconds);
}

// The stall watchdog: a pass whose encoder neither writes output nor grows its file for the
// batch's stall timeout (paused time left out) hangs (a source that turned into a named pipe,
// a dead network share): it is killed and the job fails with that reason.
void ConversionJob::StartWatchdog() {
    if (plan.stallTimeoutSeconds <= 0)
        return;
    progressBytes = -1;
    progressFileSize = -1;
    NoteProgress();
    stallCheck.start(std::clamp(plan.stallTimeoutSeconds * 100, 100, 10000));
}

void ConversionJob::NoteProgress() {
    sinceProgress.Start();
    if (suspended)
        sinceProgress.Pause(true);
}

void ConversionJob::CheckProgress() {
    if (!runner.IsPassRunning() || stalled) {
        stallCheck.stop();
        return;
    }
    const QFileInfo output(PassOutputPath(pass));
    const qint64 bytes = runner.OutputBytes();
    const qint64 size = output.exists() ? output.size() : -1;
    if (bytes != progressBytes || size != progressFileSize) {
        progressBytes = bytes;
        progressFileSize = size;
        NoteProgress();
        return;
    }
    if (sinceProgress.ElapsedMs() < qint64(plan.stallTimeoutSeconds) * 1000)
        return;
    stallCheck.stop();
    stalled = true;
    runner.Kill(); // OnPassEnded fails the job
}

// Stop during the job: the encoder has ended and what the job wrote goes with its folder.
void ConversionJob::CancelJob() {
    DeleteFile(Record().exportPath);
    DiscardFolder(jobDir);
    Job job = Record();
    job.exportPath.clear();
    jobs.Set(Row(), job);
    End(JobStatus::Canceled);
}

// The last pass wrote the output: it is checked as a user would check it, then as a phone
// reads it (index first, the video fits the profile's level; the level and the true rates go
// into the file), and only then moves to its place, with one rename. A file whose rate
// overshot its level is encoded once more at a rate lowered by the overshoot.
void ConversionJob::FinishOutput() {
    const Job job = Record();
    const QString finished = FinalOutputPath();
    OutputExpectation expected;
    expected.brandPrefix =
        plan.outputType == OutputType::Aac3g2 ? QStringLiteral("3g2") : QStringLiteral("3gp");
    expected.video = source.hasVideo;
    expected.audio = source.hasAudio;
    expected.encoders = encoders;
    expected.duration = RangeSeconds();
    if (const Result<void> checked = CheckOutputFile(finished, expected); !checked) {
        FailJob(command, checked.error());
        return;
    }
    const Result<PhoneCheck> phone = CheckPhoneFile(finished, targetLevel);
    if (!phone) {
        FailJob(command, tr("The output file cannot be read: %1").arg(phone.error()));
        return;
    }
    if (!phone->fits) {
        if (phone->overshoot > 1.0 && rateFactor == 1.0) {
            // Rate control answers a lower rate less than in proportion where the first key
            // picture weighs much (a short clip): the overshoot counts more than once, and 10%
            // room is left.
            EncodeAgainAtLowerRate(phone->problem, 0.9 / std::pow(phone->overshoot, 1.5));
            return;
        }
        FailJob(
            command,
            rateFactor < 1.0
                ? tr("%1 A second encode at a lower rate did not fit either.").arg(phone->problem)
                : phone->problem);
        return;
    }
    const qint64 size = QFileInfo(finished).size();
    if (fitBytes > 0 && size > fitBytes) {
        if (RetryOverSize(size))
            return;
        FailJob(command, tr("The file came out at %1, over the %2 it must fit into, "
                            "also after a second encode at a lower rate: this "
                            "picture needs more. Shorten the range or choose a "
                            "larger size.")
                             .arg(FormatFileSize(size), FormatFileSize(fitBytes)));
        return;
    }
    RecordSize(size);
    if (const Result<void> placed = PlaceOutput(finished); !placed) {
        FailJob(command, placed.error());
        return;
    }
    DiscardFolder(jobDir);
    End(JobStatus::Finished);
}

// The size to fit into (the batch's, else the profile's "FitInto" key): the video rates are
// scaled so that the range fits, or the job fails with why it cannot.
Result<void> ConversionJob::PlanFit(const Profile& profile) {
    fitBytes = plan.fitBytes;
    for (qsizetype i = 0; fitBytes == 0 && i < profile.keys.size(); ++i) {
        if (profile.keys[i].trimmed().compare(u"FitInto", Qt::CaseInsensitive) != 0)
            continue;
        const std::optional<qint64> size = ParseFileSize(profile.values.value(i));
        if (!size)
            return Failure(tr("The profile's FitInto value \"%1\" is not a size "
                              "such as 300K or 1.5M.")
                               .arg(profile.values.value(i).trimmed()));
        fitBytes = *size;
    }
    if (fitBytes == 0)
        return {};
    const ProfileRates rates = RatesOfTemplates(templates);
    // A source that could not be probed may well have pictures.
    const bool hasVideo = source.hasVideo || source.duration <= 0.0;
    const Result<double> video = FitVideoRate(fitBytes, RangeSeconds(), rates, hasVideo);
    if (!video)
        return Failure(video.error());
    if (hasVideo) {
        if (rates.videoBitsPerSecond <= 0.0)
            return Failure(tr("This profile names no video rate (-b:v), so its files "
                              "cannot be fitted to a size."));
        fitFactor = *video / rates.videoBitsPerSecond;
    }
    return {};
}

// A file over the size it must fit into gets the one second encode, at video rates lowered in
// proportion to what it overshot; false when that has been tried.
bool ConversionJob::RetryOverSize(qint64 size) {
    if (rateFactor != 1.0)
        return false;
    const double factor = RefitFactor(fitBytes, size, RangeSeconds(), RatesOfTemplates(templates));
    EncodeAgainAtLowerRate(tr("The file came out at %1, over the %2 it must fit into.")
                               .arg(FormatFileSize(size), FormatFileSize(fitBytes)),
                           factor);
    return true;
}

// What a file made at the profile's own rates weighs tells the size model how the profile
// really does (a fitted file, or one of sound only, says nothing about that).
void ConversionJob::RecordSize(qint64 size) {
    const double seconds = RangeSeconds();
    if (fitBytes > 0 || rateFactor != 1.0 || seconds < 1.0 || !source.hasVideo)
        return;
    SizeModel::Load().Record(profileKey, RawEstimateBytes(seconds, RatesOfTemplates(templates)),
                             size);
}

double ConversionJob::RangeSeconds() const {
    const Job job = Record();
    // A probed source always plays for some time: 0 means it could not be probed.
    const double end = source.duration > 0.0 ? std::min(job.endTime, source.duration) : job.endTime;
    return end - job.beginTime;
}

void ConversionJob::EncodeAgainAtLowerRate(const QString& problem, double factor) {
    rateFactor = factor;
    SetChecking(false);
    AppendToLog(
        QStringLiteral("RETRY:   source          =   %1.\n"
                       "         reason          =   %2\n"
                       "         video rates     =   x %3, encoded once more\n")
            .arg(EscapeForLog(QDir::toNativeSeparators(Record().sourcePath)), EscapeForLog(problem))
            .arg(rateFactor, 0, 'f', 2));
    DeleteFile(FinalOutputPath());
    StartPass(1);
}

// Moves a checked file from the work folder to its name in the output folder with one
// rename. Without the user's leave to overwrite, a name taken meanwhile (another run) is not
// replaced: the next free name is used. On failure the file stays in the job's folder.
Result<void> ConversionJob::PlaceOutput(const QString& finished) {
    const Result<QString> placed =
        PlaceFile(QFile::encodeName(finished), // written by the encoder as Qt names it
                  plan.outputDir, Record().outputName, OutputExtension(plan.outputType),
                  plan.existing == ExistingOutputs::Overwrite ? PlaceMode::ReplaceExisting
                                                              : PlaceMode::KeepExisting);
    if (!placed)
        return Failure(placed.error());
    jobs.SetOutputName(Row(), *placed);
    // Without the record a later run keeps both files rather than skip this one: no reason to
    // fail a finished file.
    if (sourceIdentity) {
        [[maybe_unused]] const Result<void> recorded =
            RecordSource(plan.outputDir + *placed + OutputExtension(plan.outputType),
                         *sourceIdentity, plan.sourceIndex);
    }
    return {};
}

// A job whose passes left no usable output: not finished, shown as "Failed" with the reason,
// and logged with what the encoder said, so that the user can find out why.
void ConversionJob::FailJob(const CommandLine& failed, const QString& failure) {
    // Whichever step met it first, a vanished output folder is the reason (and is not made
    // again: the work folder went with it).
    const QString reason = QFileInfo(plan.outputDir).isDir()
                               ? failure
                               : tr("The output folder %1 no longer exists.")
                                     .arg(QDir::toNativeSeparators(plan.outputDir));
    QString entry =
        QStringLiteral("FAILED:  source          =   %1.\n"
                       "         reason          =   %2\n")
            .arg(EscapeForLog(QDir::toNativeSeparators(Record().sourcePath)), EscapeForLog(reason));
    if (!failed.IsEmpty()) {
        entry += QStringLiteral("         command line    =   %1\n")
                     .arg(EscapeForLog(failed.Printable()));
        entry += QStringLiteral("         encoder output  =\n");
        for (const QString& line : runner.OutputTail().split(u'\n', Qt::SkipEmptyParts))
            entry += QStringLiteral("             ") + EscapeForLog(line) + u'\n';
    }
    AppendToLog(entry);
    DeleteFile(Record().exportPath);
    DiscardFolder(jobDir);
    Job job = Record();
    job.exportPath.clear();
    job.failReason = reason;
    jobs.Set(Row(), job);
    End(JobStatus::Failed);
}

void ConversionJob::End(JobStatus status) {
    if (ended)
        return;
    ended = true;
    SetStatus(status);
    emit Ended(id, status);
}

void ConversionJob::ParseChunk(QByteArrayView chunk) {
    if (isSignalConnected(QMetaMethod::fromSignal(&ConversionJob::EncoderOutput)))
        emit EncoderOutput(id, chunk.toByteArray());
    if (pass != 1 || ended)
        return;
    Job job = Record();
    const qint64 elapsed = clock.ElapsedMs();
    ParseEncoderOutput(chunk, job, static_cast<quint32>(elapsed));
    // The time left, by the speed so far, once the figures mean something.
    const double length = job.endTime - job.beginTime;
    if (job.encodedTime > 0.0 && elapsed >= TimeLeftAfterMs && length > 0.0) {
        const double speed = job.encodedTime / (double(elapsed) / 1000.0);
        job.secondsLeft = std::max(length - job.encodedTime, 0.0) / speed;
    }
    Store(job);
}

QString ConversionJob::FilePath(const QString& suffix) const {
    const Job job = Record();
    return jobDir + (job.outputName.isEmpty() ? job.baseName : job.outputName) + suffix;
}

QString ConversionJob::FinalOutputPath() const {
    return FilePath(OutputExtension(plan.outputType));
}

// The file each pass writes in the job's folder: 3GP types write the final file in their only
// pass; 3GP2 goes through "_temp.3gp" and "_temp_2.3g2" to ".3g2".
QString ConversionJob::PassOutputPath(int number) const {
    if (plan.outputType != OutputType::Aac3g2 || number >= 3)
        return FinalOutputPath();
    return FilePath(number == 1 ? QStringLiteral("_temp.3gp") : QStringLiteral("_temp_2.3g2"));
}
