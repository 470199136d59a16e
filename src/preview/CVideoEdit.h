// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAudioFormat>
#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QImage>
#include <QString>
#include <QTimer>
#include <QWidget>

class MediaExporter;
class PlaybackDecoder;
class StillWorker;
struct StillFrame;
class QAudioSink;
class QIODevice;
class QPainter;
struct VideoFrame;

// The media control of the main page: it reads clip lengths, shows stills and plays a range
// of a clip with its sound, and exports RealMedia ranges for the encoder. Events arrive as
// signals on the UI thread.
//
// Decoding runs on PlaybackDecoder's worker; this widget only presents what it delivers. A
// single-shot timer, set to the next picture's due time, paces the pictures against a clock:
// the sound device's played time while sound plays, else the wall clock. A still is a short
// range whose first picture (the one showing at its start) appears as soon as it is decoded.
//
// Stills of the trim (RequestStill) are decoded by a StillWorker on its own thread: the
// latest request wins, and a picture that is no longer wanted never shows.
class CVideoEdit : public QWidget {
    Q_OBJECT
public:
    explicit CVideoEdit(QWidget* parent = nullptr);
    ~CVideoEdit() override;

    // The playing time of a file in seconds; a negative value, with the reason in *error,
    // when the file cannot be opened as video or audio. The file is read once: the length
    // is kept while its size and time stay the same (reading an HD clip's streams takes a
    // tenth of a second, too long to repeat on every change of row).
    double GetClipLength(const QString& path, QString* error = nullptr) const;
    // Stops playback and unloads the clip; the window turns black (a Play that follows at
    // once keeps the old picture until its first one arrives, so stills do not flicker).
    void CloseClip();
    // Opens a clip and selects [start, start + length) in seconds for Play and ExportToFile.
    // A length of 0 or less selects the single picture at start. False, with the reason in
    // LastError(), when the file cannot be opened. mode is unused (always 0).
    bool OpenClipRange(const QString& path, double start, double length, int mode);
    // The same, keeping the clip when it is the one already open.
    bool SetClipRange(const QString& path, double start, double length);
    // Plays the selected range from its start; OnPlayPosition follows each picture shown.
    // False when no clip is open.
    bool Play();
    // Stops playback; the last picture stays on screen.
    void StopPlayback();
    // Shows the picture at `time` of a clip (before its first picture: the first; past its
    // last: the last) once it has been decoded off the UI thread; the picture shown until
    // then stays. A new request, Play or CloseClip replaces it. OnPlayPosition follows with
    // the picture's time, or StillFailed (the window turns black) when there is none.
    void RequestStill(const QString& path, double time);
    // A still requested is not shown yet.
    bool StillPending() const;
    // Ends a running export.
    void StopExport();
    // Exports the selected range through the exporter; false, with the reason in
    // LastError(), when the export could not start. Its events arrive as OnExportProgress
    // and OnExportDone (or OnExportFailed).
    bool ExportToFile(const QString& path);
    // Kept for callers that set it (the preview is always drawn in full colour); passed on
    // to the exporter.
    void SetBitsPerPixel(int bits);
    bool IsPlaying() const { return playing; }
    QString LastError() const { return lastError; }

    // Sound goes to the default output device when there is one (the default) or nowhere;
    // without sound the wall clock paces the pictures. Applies from the next Play.
    void SetSoundEnabled(bool enabled) { soundEnabled = enabled; }
    bool SoundEnabled() const { return soundEnabled; }
    // Why the playing clip's sound is not heard (no sound device), shown over the picture
    // while it plays; empty when it is, or when the clip has none.
    QString SoundNote() const { return soundNote; }

signals:
    // While playing: after each picture shown, with its clip time; for clips without
    // pictures every 100 ms of sound played, with the time reached.
    void OnPlayPosition(double seconds);
    void OnExportProgress(double done, double total);
    void OnExportDone();
    void OnExportFailed(const QString& message);
    // Playback reached the range's end by itself (not sent for StopPlayback).
    void PlaybackFinished();
    // The latest still request has no picture (the file has gone, holds no picture, ...).
    void StillFailed(const QString& reason);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Tick();
    void ShowPicture(const VideoFrame& frame);
    void ShowStill(const StillFrame& still);
    void ShowNoStill(const QString& reason);
    double ClockNow();
    void StartClock();
    static QString NoSoundDeviceNote();
    void DrawSoundNote(QPainter& painter);
    bool StartSound();
    void FeedSound();
    void DropSoundUpTo(double time);
    void EndSound();
    void Halt();
    void ScheduleTick(double now, bool atOnce);
    QSize VideoBox() const;

    struct KnownLength {
        qint64 size = -1;
        QDateTime modified;
        double length = 0.0;
    };
    mutable QHash<QString, KnownLength> knownLengths;

    MediaExporter* exporter;
    PlaybackDecoder* decoder;
    StillWorker* stills;
    QTimer frameTimer;
    QString lastError;

    // The clip and range opened.
    QString clipPath;
    double rangeStart = 0.0;
    double rangeLength = 0.0;
    bool clipHasVideo = false;
    bool clipHasAudio = false;

    // What the window shows.
    QImage picture;
    bool blank = true; // black unless a picture is held for a Play that has none yet

    // The playback in progress.
    bool playing = false;
    quint64 playId = 0; // raised by every Play and stop: a signal handler may start another
    int picturesShown = 0;
    double contentEnd = 0.0;     // where the last picture or sound taken ends
    double soundEnd = 0.0;       // where the last sound taken ends
    double nextPositionAt = 0.0; // the next position event of a clip without pictures

    // The clock: clip time = clockBase + wall time since clockWall, or the sound's time.
    bool clockStarted = false;
    double clockBase = 0.0;
    double lastClock = 0.0;
    QElapsedTimer clockWall;

    // Sound output.
    bool soundEnabled = true;
    bool soundWanted = false; // this playback plays its sound through a device
    QString soundNote;
    QAudioFormat soundFormat;
    QAudioSink* sink = nullptr;
    QIODevice* sinkDevice = nullptr;
    QByteArray pendingSound; // taken from the decoder, not yet accepted by the device
    bool soundStarted = false;

    int bitsPerPixel = 24;
};
