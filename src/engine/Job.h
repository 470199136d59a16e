#pragma once

#include <QString>

// What a job is doing; the values are shown by the Progress column.
enum class JobPhase : int {
    NotStarted = 0, // also: a RealMedia job whose export is running
    FirstPass = 1,
    SecondPass = 2,
    ThirdPass = 3,
    Canceled = 9,
    Failed = 10,  // the passes ended without a cancel but left no usable output
    Skipped = 11, // its output already existed and the user chose to keep it
};

// One conversion task: a source file, its trim and its progress. A value type:
// the engine copies a job, changes fields and writes the whole record back.
struct Job {
    QString sourcePath;
    QString baseName; // file name without folder and extension
    double beginTime = 0.0;
    double endTime = 0.0;
    double clipLength = 0.0; // the source's playing time; an end at it means "to the end"
    int finished = 0;
    int sizeKB = 0;
    double framesPerSecond = 0.0;
    double encodedTime = 0.0;
    JobPhase phase = JobPhase::NotStarted;
    int isRealMedia = 0;
    QString exportPath;
    int exportDone = 0;
    double exportPercent = 0.0;
    // Output file name without extension: baseName, made unique within the list
    // (" (2)", " (3)", ...) by JobList so that no job overwrites another's output.
    QString outputName;
    // Why the job failed, for the user (the Progress cell's tooltip); empty otherwise.
    QString failReason;

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
