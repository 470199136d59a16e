// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Result.h"
#include "engine/ConversionJob.h"
#include "engine/JobList.h"
#include "engine/WorkFolder.h"
#include "profiles/OutputType.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>

class EncoderCapabilities;
class MediaExporter;

// What the batch takes from the page when Start is pressed. The page disables these controls
// during a batch, so they cannot change while it runs (the job list can: see
// ConversionEngine::IsEditable).
struct BatchSettings {
    OutputType outputType = OutputType::Amr3gp; // the output type combo box
    int profileSelection = -1;                  // the profile list's row (0-based), -1 for none
    QString outputDir;                          // the output directory as the user gave it
    // The folder the batch's work folder goes in (a local disk under a network output folder);
    // empty: the output directory. Finished files are placed in the output directory all the same.
    QString workDir;
    // Where the output folder's file system keeps no extended attributes (vfat, many network
    // shares), what each output was made from goes into an index file beside the outputs
    // (morvane-cli, whose --skip-existing reads it); the window leaves no such file on a phone.
    bool sourceIndex = false;
    // What the installed encoder can make, when known: a profile it cannot run is refused.
    const EncoderCapabilities* capabilities = nullptr;
    ExistingOutputs existing = ExistingOutputs::KeepBoth;
    // How many jobs run side by side (each with its own encoder), from 1.
    int simultaneousJobs = 1;
    // A pass whose encoder makes no progress (no output, no growth of its file) for this long
    // is stopped and its job fails; 0 waits for ever.
    int stallTimeoutSeconds = 300;
    // Converts only the jobs that did not finish (failed, canceled or not reached) and were
    // not skipped; the others keep their status, figures and output names.
    bool retryUnfinished = false;
    // Every file must fit into this many bytes (0: off); see BatchPlan::fitBytes.
    qint64 fitBytes = 0;
};

// How a batch went: what StartBatch returns (Started, or why nothing runs) and, with Started,
// what BatchFinished() reports at its end.
struct BatchResult {
    enum class Status {
        NoJobs,            // the list is empty (or nothing is left to retry): nothing happened
        AlreadyConverting, // a batch is running: nothing happened
        Refused,           // nothing ran; message says why (for an "Error" message box)
        Started,           // the batch runs; BatchFinished() follows
        Completed,         // every job was tried; failedJobs of them failed
        Canceled,          // Stop ended the batch
        Stopped,           // "Stop after current jobs" ended it: the rest was not started
    };

    Status status = Status::NoJobs;
    QString message;
    int finishedJobs = 0;
    int failedJobs = 0;
    int skippedJobs = 0;

    int canceledJobs = 0;

    // The batch ran (the "Converting Finished" message follows, also after a Stop).
    bool Ran() const {
        return status == Status::Completed || status == Status::Canceled ||
               status == Status::Stopped;
    }
};

// How far a running batch is: its share done in percent and the time it still needs by its
// speed so far (below 0 while unknown).
struct BatchProgress {
    int percent = 0;
    double secondsLeft = -1.0;
};

// The conversion engine: converts the jobs of a list with the encoder passes of the chosen
// profile, RealMedia sources first exported to an intermediate file. It never waits: StartBatch
// starts the batch and returns, each job (a ConversionJob, which owns its encoder) runs on
// through the event loop, and signals tell what happens. Up to BatchSettings::simultaneousJobs
// jobs run side by side; whenever one may start, it is the first waiting job of the batch in
// the list's order at that moment, so rows added, moved or removed meanwhile count. Jobs are
// known by their id, never by row. Its own exporter serves one RealMedia job at a time. With
// one job at a time the jobs run strictly one after the other.
class ConversionEngine : public QObject {
    Q_OBJECT
public:
    // The text shown when Start is pressed without an output directory.
    static QString NoOutputDirMessage();
    // The number of jobs that "Auto" runs side by side: the processor cores, at most 8.
    static int AutoSimultaneousJobs();
    static constexpr int MaxSimultaneousJobs = 8;

    explicit ConversionEngine(QObject* parent = nullptr);
    // Ends running encoders and exports: no child outlives the engine.
    ~ConversionEngine() override;

    // The exporter that turns a RealMedia range into an intermediate file.
    const MediaExporter& Exporter() const { return *exporter; }

    // Start: checks the output directory and the profile and, when nothing stops every job,
    // starts converting and returns Started; BatchFinished() follows at the end. Meanwhile
    // the list may change only as IsEditable allows, each change told with AddToBatch or
    // RemoveFromBatch.
    BatchResult StartBatch(JobList& jobs, const BatchSettings& settings);

    // Whether a job may be edited (trimmed, moved, removed) now: always outside a batch;
    // during one only while it waits for its turn, never once it runs or has ended.
    bool IsEditable(JobId id) const;
    // A job added to the list during a batch waits for its turn in it.
    void AddToBatch(JobId id);
    // Takes a waiting job out of the batch before the caller removes it from the list; false
    // (nothing changes) for a job that runs or has ended in this batch.
    bool RemoveFromBatch(JobId id);

    // Stop: cancels the running jobs and ends the batch; removes what they have half written.
    // Does nothing when no batch runs, and may be called again harmlessly.
    void CancelActiveJob();
    // Lets the running jobs finish and starts no other; the batch ends with them.
    void StopAfterCurrentJobs();
    // Pause: suspends (true) or resumes every running encoder with everything it started, and
    // starts no new job meanwhile; the time left stands still.
    void SetPaused(bool paused);

    bool IsConverting() const { return converting; }
    bool IsPaused() const { return paused; }
    bool CancelRequested() const { return cancelRequested; }
    bool StopsAfterCurrentJobs() const { return stopAfterCurrent; }
    // How many jobs of the batch run now.
    int RunningJobs() const { return int(running.size()); }
    BatchProgress Progress() const;

    // What StartBatch refuses for every job: the output directory, the profile and its encoder,
    // and the own profile of each job that has one (jobs: those the batch would convert);
    // fails with the message StartBatch would give. The window asks it before its questions.
    static Result<void> CheckSettings(const BatchSettings& settings, const JobList* jobs = nullptr);
    // Checks that an output directory exists and can be written to; else fails with a message.
    static Result<void> CheckOutputDir(const QString& outputDir);
    // The output files of the jobs that already exist in outputDir (names as the Output column
    // shows them, each with its own type's extension), so that the user can choose what to do
    // before anything runs. With retryUnfinished only the jobs that a retry converts count.
    static QStringList ExistingOutputNames(const JobList& jobs, OutputType type,
                                           const QString& outputDir, bool retryUnfinished = false);
    // Checks that a profile's encoder program is there and can make what the profile asks
    // (when capabilities are known); else fails with a message that says how to fix it.
    static Result<void> CheckEncoder(const QStringList& passTemplates,
                                     const EncoderCapabilities* capabilities);

    // Starts a job: its export first for a RealMedia source, then its passes.
    void ConvertActiveJob(JobId id);
    void ExportRealMediaJob(ConversionJob& job);

    // The exporter's notifications.
    void OnExportProgress(double done, double total);
    void OnExportDone();
    void OnExportFailed(const QString& message);

signals:
    // A job's status or figures changed: repaint its Progress cell.
    void JobChanged(JobId id);
    // A job's conversion is over; its record in the list already shows the outcome.
    void JobEnded(JobId id, JobStatus status);
    // What a job's encoder printed, as it came (-v of morvane-cli).
    void EncoderOutput(JobId id, const QByteArray& chunk);
    // The batch starts (true) or has ended (false).
    void ConvertingChanged(bool converting);
    void PausedChanged(bool paused);
    void StopAfterCurrentChanged(bool stopAfterCurrent);
    // The batch is over (after ConvertingChanged(false)); result says how it went.
    void BatchFinished(const BatchResult& result);

private:
    void PlanOutputs();
    void ScheduleJobs();
    void OnJobEnded(JobId id, JobStatus status);
    // The first job of the list that waits for its turn in the batch, or -1.
    qsizetype NextWaitingRow() const;
    void PlanLateOutput(qsizetype row);
    void EndBatchWhenIdle();
    void EndExport(bool exported);

    MediaExporter* exporter; // a child of the engine

    // State of the running batch.
    bool converting = false;
    bool cancelRequested = false;
    bool stopAfterCurrent = false;
    bool paused = false;
    JobList* jobs = nullptr;
    BatchSettings settings;
    BatchPlan plan;
    WorkFolder workFolder;
    QList<JobId> batchJobs; // every job of the batch: its share of the progress
    QSet<JobId> waiting;    // the jobs of the batch that have not started
    QSet<JobId> joinedLate; // added while the batch ran
    int startedJobs = 0;    // names the jobs' folders in the work folder
    QList<ConversionJob*> running;
    QPointer<ConversionJob> exportingJob;
    QString exportPath;
    BatchResult result;
    ActiveClock batchClock;
};
