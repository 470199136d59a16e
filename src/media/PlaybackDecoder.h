// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QImage>
#include <QMutex>
#include <QObject>
#include <QSize>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

class MediaDecoder;
class QThread;

// One picture of playback.
struct VideoFrame {
    QImage image;          // Format_RGB32, fitted into the video box with its shape kept
    double pts = 0.0;      // clip time in seconds at which it starts to show
    double duration = 0.0; // how long it shows
};

// A piece of playback sound: interleaved signed 16-bit samples (native byte order) at the
// rate and channel count set with SetAudioFormat.
struct AudioChunk {
    QByteArray samples;
    double pts = 0.0; // clip time in seconds of the first sample
    int frames = 0;   // samples per channel
};

// Decodes a range of a clip for playback on a worker thread, so the user interface never
// waits for decoding.
//
// The owner (a player widget) opens a clip, calls Play(start, length) and then pulls
// pictures and sound from two small queues while it presents them against its clock:
//
//   decoder.Open(path);                       // synchronous; false + LastError() on failure
//   decoder.SetVideoSize(widget->size());     // may change at any time
//   decoder.SetAudioFormat(44100, 2);         // what the sound device takes
//   decoder.Play(begin, end - begin);
//   // on DataAvailable() or a timer: TakeAudio() while the device has room,
//   // PeekVideoPts() / TakeVideoFrame() when a picture's time has come.
//   // EndOfRange() says decoding is over; AtEnd() once everything has been taken.
//
// Pictures of the range start with the one that shows at `start` (its pts may lie before
// start) and stop before the first one that starts at or after the range's end. Sound is
// cut to exactly [start, end). Both queues are bounded (a few pictures, about a second of
// sound), so the worker decodes only a little ahead; it waits while they are full (see
// MaxQueuedFrames). Pull both streams: a player that stops taking one of them stalls the
// other once the starved limits are reached.
//
// All public functions are called from the thread that owns the object (the UI thread);
// signals are emitted on that thread. Play, Seek, Stop and Close return at once: a range
// being decoded is abandoned, and nothing of it is queued or signalled afterwards.
class PlaybackDecoder : public QObject {
    Q_OBJECT
public:
    explicit PlaybackDecoder(QObject* parent = nullptr);
    // Ends the worker thread (it leaves within one decoded frame).
    ~PlaybackDecoder() override;

    // Opens a clip for playback, replacing any other. Opens the file on the calling thread
    // (milliseconds for local files). False, with a message in LastError(), for a missing,
    // empty, damaged or non-media file.
    bool Open(const QString& path);
    void Close();
    bool IsOpen() const { return decoder != nullptr; }
    QString LastError() const { return lastError; }
    double Duration() const;
    bool HasVideo() const;
    bool HasAudio() const;
    // The picture's display size (sample aspect applied), or an empty size.
    QSize VideoSize() const;

    // Pictures are scaled to fit this box keeping their shape (no bars added). An empty box
    // keeps the picture's display size. Applies to the next picture decoded.
    void SetVideoSize(QSize box);
    // Sound format of the chunks; applies from the next Play or Seek. Defaults: 44100, 2.
    void SetAudioFormat(int sampleRate, int channels);
    int AudioSampleRate() const { return audioRate; }
    int AudioChannels() const { return audioChannels; }

    // Starts decoding [start, start + length) in clip seconds, dropping what is queued.
    // A length <= 0 plays to the clip's end. False when no clip is open.
    bool Play(double start, double length);
    // Starts again from `time`, keeping the end of the range being played.
    bool Seek(double time);
    // Stops decoding and drops what is queued. The clip stays open.
    void Stop();

    // The oldest queued picture or sound chunk; false when that queue is empty.
    bool TakeVideoFrame(VideoFrame* frame);
    bool TakeAudio(AudioChunk* chunk);
    // The time of the oldest queued picture, without taking it.
    bool PeekVideoPts(double* pts) const;
    int QueuedVideoFrames() const;
    // Seconds of sound queued.
    double QueuedAudioSeconds() const;
    // True once the range has been decoded to its end and every queued item was taken.
    bool AtEnd() const;

    // Limits of the queues. Files interleave their streams loosely (sound may lie a second
    // or more behind the pictures), so while one stream has nothing queued the other's
    // queue may grow up to the starved limits: a player waiting for sound is never starved
    // by a full picture queue, and memory stays bounded.
    static constexpr int MaxQueuedFrames = 6;
    static constexpr double MaxQueuedAudioSeconds = 1.0;
    static constexpr qint64 MaxStarvedVideoBytes = 48 * 1024 * 1024;
    static constexpr double MaxStarvedAudioSeconds = 10.0;

signals:
    // A queue received data while no earlier DataAvailable was pending: time to pull.
    void DataAvailable();
    // The range has been decoded to its end (or the clip ended first); what is queued now
    // is the last of it.
    void EndOfRange();

private:
    struct Range {
        std::shared_ptr<MediaDecoder> decoder;
        quint64 generation = 0;
        double start = 0.0;
        double end = 0.0;
        int rate = 0;
        int channels = 0;
    };

    void Run();
    void DecodeRange(const Range& range);
    bool PushVideo(quint64 generation, VideoFrame frame);
    bool PushAudio(quint64 generation, AudioChunk chunk);
    bool WaitForRoom(quint64 generation, bool video); // with mutex held
    void FinishRange(quint64 generation);
    void NotifyData(); // with mutex held
    void DropQueued();
    QSize CurrentBox();

    std::shared_ptr<MediaDecoder> decoder; // the open clip; used by the worker during a range
    QString lastError;
    int audioRate = 44100;
    int audioChannels = 2;
    double rangeEnd = 0.0;

    // Shared with the worker, under mutex.
    // Standard primitives: a thread checker sees the wait give up the lock (Qt's wait condition
    // does it inside the uninstrumented library and looked like a lock held twice).
    mutable std::mutex mutex;
    std::condition_variable_any wake; // a new range, room in a queue, or the end
    bool quit = false;
    bool rangePending = false;
    Range nextRange;
    std::deque<VideoFrame> videoQueue;
    qint64 videoBytes = 0;
    std::deque<AudioChunk> audioQueue;
    double audioQueued = 0.0;   // seconds
    int queueRate = 44100;      // sample rate of the queued sound
    bool videoDecoding = false; // the worker still produces pictures for the current range
    bool audioDecoding = false;
    bool rangeDone = false;
    bool dataSignalPending = false;
    bool dataAnnounced = false; // DataAvailable came, and nothing has been pulled since
    QSize videoBox;

    // Raised by every Play, Seek, Stop and Close; the worker abandons an older range.
    std::atomic<quint64> generation{0};
    QThread* worker = nullptr;
};
