#pragma once

#include "engine/ChildProcessRunner.h"
#include "engine/ConversionHost.h"
#include "engine/JobList.h"
#include "engine/WorkFolder.h"
#include "media/MediaProbe.h"
#include "profiles/OutputType.h"

#include <QMetaObject>

class EncoderCapabilities;
#include <QObject>
#include <QString>

// What a batch does with a job whose output file already exists.
enum class ExistingOutputs {
    KeepBoth,  // the new file gets a free name: "clip (2).3gp"
    Overwrite, // the existing file is replaced (never a file that a job of the batch reads)
    Skip,      // the job is not converted
};

// What the batch takes from the page when Start is pressed. The page disables these controls
// during a batch, so they cannot change while it runs.
struct BatchSettings {
    OutputType outputType = OutputType::Amr3gp; // the output type combo box
    int profileSelection = -1;                  // the profile list's row (0-based), -1 for none
    QString outputDir;                          // the output directory as the user gave it
    // What the installed encoder can make, when known: a profile it cannot run is refused.
    const EncoderCapabilities* capabilities = nullptr;
    ExistingOutputs existing = ExistingOutputs::KeepBoth;
};

// How a call of StartBatch ended.
struct BatchResult {
    enum class Status {
        NoJobs,            // the list is empty: nothing happened, nothing to show
        AlreadyConverting, // a batch is running: nothing happened
        Refused,           // nothing ran; message says why (for an "Error" message box)
        Completed,         // every job was tried; failedJobs of them failed
        Canceled,          // Stop ended the batch
    };

    Status status = Status::NoJobs;
    QString message;
    int finishedJobs = 0;
    int failedJobs = 0;
    int skippedJobs = 0;

    // The batch ran (the "Converting Finished" message follows, also after a Stop).
    bool Ran() const { return status == Status::Completed || status == Status::Canceled; }
};

// The conversion engine: converts the jobs of a list one after the other with the encoder
// passes of the chosen profile, RealMedia sources first exported to an intermediate file.
// Everything runs on the calling thread inside StartBatch, which keeps handling events, so the
// Stop button (CancelActiveJob) runs nested inside it. One instance serves the whole program.
class ConversionEngine : public QObject {
    Q_OBJECT
public:
    // The text shown when Start is pressed without an output directory.
    static QString NoOutputDirMessage();

    explicit ConversionEngine(ConversionHost& host, QObject* parent = nullptr);
    // Ends a running encoder or export: no child outlives the engine.
    ~ConversionEngine() override;

    // Start: checks the output directory and the profile, then converts every job of the list
    // in order and returns when the batch is over. The list must not change meanwhile (the
    // page refuses edits while IsConverting()). Nothing runs when the result is Refused.
    BatchResult StartBatch(JobList& jobs, const BatchSettings& settings);

    // Stop: cancels the active job and ends the batch; removes what the job has half written.
    // Does nothing when no batch runs, and may be called again harmlessly.
    void CancelActiveJob();

    // Suspends (true) or resumes the running encoder with everything it started, as a
    // terminal's Ctrl+Z and `fg` do to the program itself.
    void SuspendEncoder(bool suspend);

    bool IsConverting() const { return converting; }
    bool CancelRequested() const { return cancelRequested; }
    // The position in the list of the job being converted.
    int ActiveJobIndex() const { return activeJobIndex; }
    // The tick count when the active step began (the base of the speed figure).
    quint32 StepStartTick() const { return stepStartTick; }

    // Checks an output directory: "" when it exists and can be written to, else a message.
    static QString CheckOutputDir(const QString& outputDir);
    // The output files of the jobs that already exist in outputDir (names as the Output column
    // shows them), so that the user can choose what to do before anything runs.
    static QStringList ExistingOutputNames(const JobList& jobs, OutputType type,
                                           const QString& outputDir);
    // Checks that a profile's encoder program is there and can make what the profile asks
    // (when capabilities are known): "" when it can, else a message that says how to fix it.
    static QString CheckEncoder(const QStringList& passTemplates,
                                const EncoderCapabilities* capabilities);

    // The steps of one job, used by StartBatch; public so that they can be driven one by one.
    // Each works on the job at ActiveJobIndex() of the running batch.
    JobOutcome ConvertActiveJob();
    void SetJobPhase(JobPhase phase);
    void ExportRealMediaJob();

    // The exporter's notifications, connected while an export runs.
    void OnExportProgress(double done, double total);
    void OnExportDone();
    void OnExportFailed(const QString& message);

private:
    Job ActiveJob() const;
    void StoreActiveJob(const Job& job);
    QString FilePath(const QString& suffix) const;
    QString FinalOutputPath() const;
    QString PassOutputPath(int pass) const;
    void DeletePartialFiles(JobPhase phase);
    void ParseChunk(QByteArrayView chunk);
    JobOutcome FailJob(const CommandLine& command, const QString& reason);
    JobOutcome FinishOutput(const CommandLine& lastPass);
    bool PlanOutputs();
    bool PlaceOutput(const QString& finished, QString* error);
    JobOutcome CancelJob();
    void EndExport(MediaExporter* exporter);

    ConversionHost& host;

    // Engine state of the running batch.
    int activeJobIndex = 0;
    bool cancelRequested = false;
    quint32 stepStartTick = 0;
    bool converting = false;
    bool exportFailed = false;
    ChildProcessRunner runner; // after cancelRequested, which it reads

    // Taken at Start.
    JobList* jobs = nullptr;
    BatchSettings settings;
    QString outputDir; // with a trailing separator
    WorkFolder workFolder;
    QString jobDir; // the active job's folder inside the work folder: "$OUTPUT_DIR"
    MediaInfo activeSource;
    QList<QMetaObject::Connection> exportConnections;
};
