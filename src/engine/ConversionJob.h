// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/ChildProcessRunner.h"
#include "engine/JobList.h"
#include "engine/SourceRecord.h"
#include "media/MediaProbe.h"
#include "profiles/OutputType.h"
#include "profiles/Profile.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

// What a batch does with a job whose output file already exists.
enum class ExistingOutputs {
    KeepBoth,  // the new file gets a free name: "clip (2).3gp"
    Overwrite, // the existing file is replaced (never a file that a job of the batch reads)
    Skip,      // the job is not converted
    // The job is not converted when the existing file was recorded to be made from the same
    // source with the same settings; otherwise both are kept, as with KeepBoth.
    SkipSameSource,
};

// What every job of a batch shares, fixed when the batch starts.
struct BatchPlan {
    OutputType outputType = OutputType::Amr3gp;
    int profileSelection = -1; // the profile list's row (0-based)
    QString outputDir;         // absolute, with a trailing separator
    ExistingOutputs existing = ExistingOutputs::KeepBoth;
    int stallTimeoutSeconds = 300; // 0: the stall watchdog is off
    // Every output must fit into this many bytes: the video rate is chosen for it and a file
    // over it is never finished. 0: a profile's own "FitInto" key, or the profile's rates.
    qint64 fitBytes = 0;
    bool sourceIndex = false; // see BatchSettings::sourceIndex

    // The plan for one job: its own output type and profile when it has them.
    BatchPlan For(const Job& job) const;
};

// The output type a job is converted to: its own, or the batch's.
OutputType OutputTypeOf(const Job& job, OutputType batchType);

// A clock of the time something has been running, paused time left out.
class ActiveClock {
public:
    void Start();
    void Pause(bool pause);
    qint64 ElapsedMs() const;
    bool IsValid() const { return clock.isValid(); }

private:
    QElapsedTimer clock;
    qint64 pausedMs = 0;
    QElapsedTimer pausedSince;
};

// One job of a batch while it runs: it owns its encoder and goes through its passes on its
// own, driven by the encoder's signals, and writes its status and figures into its record in
// the list. It says Changed() whenever the record changed and Ended() once, at its end.
//
// Every pass writes into the job's own folder inside the batch's work folder, never beside
// the user's files; only the checked result is moved out.
class ConversionJob : public QObject {
    Q_OBJECT
public:
    // jobDir: the job's folder in the work folder ("$OUTPUT_DIR"), with a trailing separator.
    ConversionJob(JobList& jobs, JobId id, const BatchPlan& plan, QString jobDir,
                  QObject* parent = nullptr);
    ~ConversionJob() override;

    JobId Id() const { return id; }
    QString JobDir() const { return jobDir; }

    // The RealMedia range is being exported to path (the engine drives the one exporter).
    void BeginExport(const QString& path);
    void SetExportPercent(double percent);
    // The export is over: with exported the first pass reads the exported file, otherwise the
    // source. The passes start.
    void EndExport(bool exported);

    // Runs the passes of the batch's profile, one after the other.
    void Convert();
    // Stop: the running pass is ended, what the job wrote goes; Ended(Canceled) follows.
    void Cancel();
    // Pause (true) or resume the encoder; the time left stands still meanwhile. A paused job
    // never moves on: its next pass (or its end) waits for the resume.
    void Suspend(bool suspend);

    // Why a pass was stopped by the stall watchdog.
    static QString StallReason(int seconds);

signals:
    void Changed(JobId id);
    void Ended(JobId id, JobStatus status);
    // The last pass ended well; the check that follows runs no encoder (Job::checking).
    void EncodingDone(JobId id);
    // What the encoder printed, as it came (emitted only while something listens).
    void EncoderOutput(JobId id, const QByteArray& chunk);

private:
    // The job's row now: rows may move while it runs, but a running job stays in the list.
    qsizetype Row() const;
    Job Record() const { return jobs.At(Row()); }
    void Store(const Job& job);
    void SetStatus(JobStatus status);
    void StartPass(int pass);
    void OnPassEnded();
    void ParseChunk(QByteArrayView chunk);
    void CancelJob();
    void FailJob(const CommandLine& command, const QString& reason);
    void SetChecking(bool checking);
    void FinishOutput();
    void EncodeAgainAtLowerRate(const QString& problem, double factor);
    Result<void> PlanFit(const Profile& profile);
    bool RetryOverSize(qint64 size);
    void RecordSize(qint64 size);
    double RangeSeconds() const;
    Result<void> PlaceOutput(const QString& finished);
    void End(JobStatus status);
    QString FilePath(const QString& suffix) const;
    QString FinalOutputPath() const;
    QString PassOutputPath(int pass) const;
    void StartWatchdog();
    void CheckProgress();
    void NoteProgress();

    JobList& jobs;
    const JobId id;
    const BatchPlan plan;
    const QString jobDir;
    ChildProcessRunner runner;
    QStringList templates;
    QStringList encoders; // what the profile's passes encode with
    MediaInfo source;     // what the source holds; nothing when it cannot be probed
    // What is recorded with the output: the source as the encoder read it.
    std::optional<SourceIdentity> sourceIdentity;
    Job reading; // what the templates are expanded with
    CommandLine command;
    int pass = 0;
    int targetLevel = 0;     // the level the profile's video is made for; 0: none named
    double rateFactor = 1.0; // below 1 on the second encode of a file that overshot its level
    qint64 fitBytes = 0;     // the size the file must fit into; 0: none
    double fitFactor = 1.0;  // the profile's video rates times this fit the range into fitBytes
    QString profileKey;      // the profile's name for the size model
    bool canceled = false;
    bool ended = false;
    ActiveClock clock; // of the running step: the base of the speed and the time left
    bool suspended = false;
    std::function<void()> onResume; // the step a pause held back
    // The stall watchdog: the pass's output bytes and file size when they last changed.
    QTimer stallCheck;
    ActiveClock sinceProgress;
    qint64 progressBytes = -1;
    qint64 progressFileSize = -1;
    bool stalled = false;
};
