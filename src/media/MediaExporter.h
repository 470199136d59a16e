// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "media/OutputTail.h"

#include <QObject>
#include <QString>
#include <QStringList>

class QProcess;

// Exports a time range of a media file (RealMedia in practice) to an intermediate AVI or
// MPEG program stream that the encoder reads more reliably than the source.
//
// The export runs the real ffmpeg as a child process and never blocks the calling thread:
// ExportToFile only starts it; progress, completion and failure arrive later as signals,
// delivered by the event loop of the thread that owns this object.
//
// Typical use, in this order: CloseClip, the frame and codec setters, OpenClipRange,
// SetClipRange, ExportToFile; then wait in the event loop for ExportDone or ExportFailed.
//
// The child dies with the program (however it ends), runs in a process group of its own (a
// terminal's Ctrl+C does not reach it) and can be paused with Suspend.
class MediaExporter : public QObject {
    Q_OBJECT
public:
    // OutputFormat values.
    static constexpr int FormatMpeg = 6; // MPEG program stream (.mpg)
    static constexpr int FormatAvi = 8;  // AVI (.avi)

    explicit MediaExporter(QObject* parent = nullptr);
    // Ends a running export and removes its partial file.
    ~MediaExporter() override;

    // Human names of the encoders this machine really has, in a fixed order; an index
    // into these lists is what SetVideoCodecIndex and SetAudioCodecIndex take.
    QStringList VideoCodecs() const;
    QStringList AudioCodecs() const;

    // Forgets the opened clip. A running export is not touched (StopExport ends it).
    void CloseClip();

    // Picture of the export: the source is scaled into FrameWidth x FrameHeight with its
    // shape kept and padded with black (defaults 320 x 240 at 15 frames per second).
    void SetFrameWidth(int width);
    void SetFrameHeight(int height);
    // Kept for callers that set it; the pixel layout is the chosen encoder's own.
    void SetBitsPerPixel(int bits);
    void SetFrameRate(float rate);
    // FormatAvi or FormatMpeg; any other value is treated as FormatAvi.
    void SetOutputFormat(int format);

    // Codec choice. Without a chosen codec (or with one the format cannot carry) the AVI
    // export uses MPEG-4 V3 video and MP3 audio, the MPEG export MPEG-1 video and MPEG
    // Layer-2 audio. The MPEG format carries only the MPEG entries of the lists.
    void SetUseVideoCodec(bool use);
    void SetVideoCodecIndex(int index);
    void SetUseAudioCodec(bool use);
    void SetAudioCodecIndex(int index);

    // Opens a clip and selects the range [start, start + length) in seconds. A range that
    // runs past the clip's end is cut there. Returns false, with the reason in LastError(),
    // when the file cannot be opened as media or the range is empty or outside the clip.
    // mode is unused (always 0).
    bool OpenClipRange(const QString& path, double start, double length, int mode);
    // The same for a clip that may already be open.
    bool SetClipRange(const QString& path, double start, double length);

    // Starts exporting the selected range to path (overwritten). Returns false, with the
    // reason in LastError(), when no export could be started: no clip, an export already
    // running, an unwritable folder, no ffmpeg. After true exactly one of ExportDone or
    // ExportFailed follows, unless StopExport ends the export first.
    bool ExportToFile(const QString& path);
    // Ends a running export at once and removes its partial file; no signal follows.
    // Does nothing when no export runs (so a finished file is never touched).
    void StopExport();
    bool IsExporting() const;
    // Pauses (SIGSTOP to its process group) or resumes the export. The state holds for exports
    // started later: one started while suspended waits for the resume. False, with the reason
    // in LastError(), when the running export could not be reached.
    bool Suspend(bool suspend);
    bool IsSuspended() const { return suspended; }

    // Why the last call failed, or the last ExportFailed message.
    QString LastError() const { return lastError; }
    // The length in seconds of the selected range, after cutting at the clip's end.
    double RangeLength() const { return rangeLength; }

signals:
    // done seconds of total exported; done never goes back within one export.
    void ExportProgress(double done, double total);
    // The output file is complete.
    void ExportDone();
    // The export ended without a usable file; the partial file has been removed.
    void ExportFailed(const QString& message);

private:
    QStringList BuildArguments(const QString& outputPath) const;
    void ReadProgress(QProcess* child);
    void ReadErrors(QProcess* child);
    void OnChildFinished(QProcess* child, bool crashed, int exitCode);
    void OnChildFailedToStart(QProcess* child);
    void Fail(const QString& message);

    QString clipPath;
    bool clipHasVideo = false;
    bool clipHasAudio = false;
    double clipLength = 0.0;
    double rangeStart = 0.0;
    double rangeLength = 0.0;

    int frameWidth = 320;
    int frameHeight = 240;
    int bitsPerPixel = 24;
    float frameRate = 15.0f;
    int outputFormat = FormatAvi;
    bool useVideoCodec = false;
    int videoCodecIndex = 0;
    bool useAudioCodec = false;
    int audioCodecIndex = 0;

    QProcess* process = nullptr; // the running export, if any
    QString outputPath;
    QByteArray progressBuffer;
    OutputTail errorTail;
    double lastDone = -1.0;
    QString lastError;
    bool suspended = false;
};
