// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

// A job's identity for as long as the program runs: given by JobList when the job is added,
// never reused, unchanged when rows move. The engine and its signals know jobs by it.
using JobId = qint64;

// Where a job stands; the Progress column and morvane-cli's lines are made from it.
enum class JobStatus : int {
    Waiting,     // not converted (yet)
    Exporting,   // its RealMedia range is being exported to an intermediate file
    FirstPass,   // the encoder's first (for 3GP types only) pass runs
    SecondPass,  // 3GP2: the rewrap pass
    ThirdPass,   // 3GP2: the last pass
    Finished,    // its output file is checked and in place
    Failed,      // the passes ended without a cancel but left no usable output
    Canceled,    // Stop was pressed during the job
    Skipped,     // its output already existed and the user chose to keep it
    Interrupted, // it was running when the program ended without stopping it (a crash)
};

// True once a job's status says how its conversion ended.
bool HasEnded(JobStatus status);
// True while a job's export or encoder passes run.
bool IsRunning(JobStatus status);
// True for a job that "Retry failed" converts again: one that did not finish and was not
// skipped by the user's choice.
bool NeedsRetry(JobStatus status);

// One conversion task: a source file, its trim and its progress. A value type:
// the engine copies a job, changes fields and writes the whole record back.
struct Job {
    JobId id = 0; // set by JobList::Append
    QString sourcePath;
    QString baseName; // file name without folder and extension
    double beginTime = 0.0;
    double endTime = 0.0;
    double clipLength = 0.0; // the source's playing time; an end at it means "to the end"
    int sizeKB = 0;
    double framesPerSecond = 0.0;
    double encodedTime = 0.0;
    // Seconds of work the running pass still needs, by its speed so far; below 0 while unknown.
    double secondsLeft = -1.0;
    JobStatus status = JobStatus::Waiting;
    bool isRealMedia = false;
    QString exportPath; // the exported range while the job reads it; empty otherwise
    double exportPercent = 0.0;
    // Output file name without extension: baseName, made unique within the list
    // (" (2)", " (3)", ...) by JobList so that no job overwrites another's output.
    QString outputName;
    // The batch has chosen outputName (checked against the files there): it stays when rows
    // are added, moved or removed, until the batch is over.
    bool outputNameFixed = false;
    // The name of the file a finished job wrote (name and extension), whatever type is chosen
    // since; empty until then.
    QString writtenName;
    // Why the job failed, for the user (the Progress cell's tooltip); empty otherwise.
    QString failReason;
    // The row's own output type and profile (the profile list's row), or -1 for both: the
    // page's choice at Start.
    int ownOutputType = -1;
    int ownProfile = -1;
    // The source was gone when the remembered list was read back.
    bool sourceMissing = false;
    // Its encoders are done and its file is being checked: it holds no encoder slot, so the
    // next job's encoder may start beside the check (not stored).
    bool checking = false;

    // A new job for a source file whose playing time is clipLength seconds.
    static Job FromPath(const QString& path, double clipLength);
};

// The file name of a path: what follows its last "\" or "/" (the whole path without one).
QString SourceFileNameOf(const QString& path);

// The file name without folder and extension. A name without an extension is kept whole.
QString BaseNameOf(const QString& path);

// True for a RealMedia source: the file name's extension contains "rm" (case-sensitive,
// so ".rm" and ".rmvb" are, ".RM" is not).
bool IsRealMediaPath(const QString& path);

// Seconds as hours:minutes:seconds ("%02d:%02d:%02d"), truncated toward zero to whole
// seconds; the hours are not limited to two digits.
QString FormatHms(double seconds);

// Milliseconds of a time in seconds, rounded down (Floor) or up (Ceil); 0 for NaN and below.
qint64 FloorMilliseconds(double seconds);
qint64 CeilMilliseconds(double seconds);

// Milliseconds as hours:minutes:seconds.milliseconds ("%02d:%02d:%02d.%03d"), which the
// encoder reads exactly; the hours are not limited to two digits.
QString FormatHmsMilliseconds(qint64 milliseconds);
