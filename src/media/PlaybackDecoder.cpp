// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/PlaybackDecoder.h"

#include "media/MediaDecoder.h"

#include <QMutexLocker>
#include <QThread>

#include <algorithm>
#include <cmath>

namespace {

// Frame times are compared with this slack: containers round time stamps (RealMedia to
// milliseconds), so a frame stamped 1 ms late still counts as on time.
constexpr double TimeSlack = 0.001;
// "To the clip's end" without infinities in the sample arithmetic.
constexpr double FarAway = 1e9;

} // namespace

PlaybackDecoder::PlaybackDecoder(QObject* parent) : QObject(parent) {
    worker = QThread::create([this] { Run(); });
    worker->setObjectName(QStringLiteral("PlaybackDecoder"));
    worker->start();
}

PlaybackDecoder::~PlaybackDecoder() {
    {
        QMutexLocker lock(&mutex);
        quit = true;
        ++generation;
        wake.notify_all();
    }
    worker->wait();
    delete worker;
}

bool PlaybackDecoder::Open(const QString& path) {
    Close();
    auto opened = std::make_shared<MediaDecoder>();
    if (const Result<void> done = opened->Open(path, MediaDecoder::Streams::Both); !done) {
        lastError = done.error();
        return false;
    }
    lastError.clear();
    decoder = std::move(opened);
    return true;
}

void PlaybackDecoder::Close() {
    Stop();
    decoder.reset();
}

double PlaybackDecoder::Duration() const {
    return decoder != nullptr ? decoder->Duration() : 0.0;
}

bool PlaybackDecoder::HasVideo() const {
    return decoder != nullptr && decoder->HasVideo();
}

bool PlaybackDecoder::HasAudio() const {
    return decoder != nullptr && decoder->HasAudio();
}

QSize PlaybackDecoder::VideoSize() const {
    return decoder != nullptr ? decoder->DisplaySize() : QSize();
}

void PlaybackDecoder::SetVideoSize(QSize box) {
    QMutexLocker lock(&mutex);
    videoBox = box;
}

QSize PlaybackDecoder::CurrentBox() {
    QMutexLocker lock(&mutex);
    return videoBox;
}

void PlaybackDecoder::SetAudioFormat(int sampleRate, int channels) {
    if (sampleRate > 0)
        audioRate = sampleRate;
    if (channels > 0)
        audioChannels = channels;
}

bool PlaybackDecoder::Play(double start, double length) {
    if (decoder == nullptr) {
        lastError = tr("No clip is open.");
        return false;
    }
    if (!std::isfinite(start) || start < 0.0)
        start = 0.0;
    rangeEnd = std::isfinite(length) && length > 0.0 ? start + length : FarAway;

    QMutexLocker lock(&mutex);
    ++generation;
    DropQueued();
    nextRange = Range{decoder, generation, start, rangeEnd, audioRate, audioChannels};
    rangePending = true;
    rangeDone = false;
    queueRate = audioRate;
    videoDecoding = decoder->HasVideo();
    audioDecoding = decoder->HasAudio();
    wake.notify_all();
    return true;
}

bool PlaybackDecoder::Seek(double time) {
    if (!std::isfinite(time) || time < 0.0)
        time = 0.0;
    return Play(time, rangeEnd > time ? rangeEnd - time : 0.0);
}

void PlaybackDecoder::Stop() {
    QMutexLocker lock(&mutex);
    ++generation;
    rangePending = false;
    nextRange = Range{};
    rangeDone = false;
    videoDecoding = audioDecoding = false;
    DropQueued();
    wake.notify_all();
}

void PlaybackDecoder::DropQueued() {
    dataAnnounced = false;
    videoQueue.clear();
    videoBytes = 0;
    audioQueue.clear();
    audioQueued = 0.0;
}

bool PlaybackDecoder::TakeVideoFrame(VideoFrame* frame) {
    QMutexLocker lock(&mutex);
    if (videoQueue.empty())
        return false;
    *frame = std::move(videoQueue.front());
    videoQueue.pop_front();
    dataAnnounced = false;
    videoBytes = videoQueue.empty() ? 0 : videoBytes - frame->image.sizeInBytes();
    wake.notify_all();
    return true;
}

bool PlaybackDecoder::TakeAudio(AudioChunk* chunk) {
    QMutexLocker lock(&mutex);
    if (audioQueue.empty())
        return false;
    *chunk = std::move(audioQueue.front());
    audioQueue.pop_front();
    dataAnnounced = false;
    audioQueued = audioQueue.empty() ? 0.0 : audioQueued - double(chunk->frames) / queueRate;
    wake.notify_all();
    return true;
}

bool PlaybackDecoder::PeekVideoPts(double* pts) const {
    QMutexLocker lock(&mutex);
    if (videoQueue.empty())
        return false;
    *pts = videoQueue.front().pts;
    return true;
}

int PlaybackDecoder::QueuedVideoFrames() const {
    QMutexLocker lock(&mutex);
    return int(videoQueue.size());
}

double PlaybackDecoder::QueuedAudioSeconds() const {
    QMutexLocker lock(&mutex);
    return audioQueued;
}

bool PlaybackDecoder::AtEnd() const {
    QMutexLocker lock(&mutex);
    return rangeDone && videoQueue.empty() && audioQueue.empty();
}

// ---- worker thread ----

void PlaybackDecoder::Run() {
    QMutexLocker lock(&mutex);
    while (!quit) {
        if (!rangePending) {
            wake.wait(mutex);
            continue;
        }
        Range range = std::move(nextRange);
        rangePending = false;
        lock.unlock();
        DecodeRange(range);
        range.decoder.reset(); // a replaced clip is closed here, off the UI thread
        lock.relock();
    }
}

void PlaybackDecoder::DecodeRange(const Range& range) {
    MediaDecoder& source = *range.decoder;
    const quint64 run = range.generation;
    source.SeekBefore(range.start);

    bool wantVideo = source.HasVideo();
    bool wantAudio = source.HasAudio();
    const auto streamOver = [&](bool video) {
        (video ? wantVideo : wantAudio) = false;
        QMutexLocker lock(&mutex);
        if (run == generation)
            (video ? videoDecoding : audioDecoding) = false;
        wake.notify_all();
    };
    const auto pushPicture = [&](const AVFrame* frame, double pts, double duration) {
        return PushVideo(run, VideoFrame{source.ScaleVideo(frame, CurrentBox()), pts, duration});
    };
    // Sound cut to the range; false when the range was abandoned.
    const auto pushSound = [&](const QByteArray& samples, double first) {
        const int bytesPerFrame = 2 * range.channels;
        const qint64 count = samples.size() / bytesPerFrame;
        const qint64 skip =
            std::clamp<qint64>(std::llround((range.start - first) * range.rate), 0, count);
        const qint64 stop =
            std::clamp<qint64>(std::llround((range.end - first) * range.rate), 0, count);
        if (first + double(count) / range.rate >= range.end - 0.5 / range.rate)
            wantAudio = false;
        if (stop <= skip)
            return true;
        return PushAudio(
            run, AudioChunk{samples.mid(skip * bytesPerFrame, (stop - skip) * bytesPerFrame),
                            first + double(skip) / range.rate, int(stop - skip)});
    };

    // The picture showing at `start` is known only when the next one starts after it.
    MediaDecoder::Decoded held;
    bool firstShown = false;
    while (wantVideo || wantAudio) {
        if (run != generation)
            return;
        MediaDecoder::Decoded decoded = source.DecodeNext();
        if (decoded.kind == MediaDecoder::Kind::End)
            break;
        if (decoded.kind == MediaDecoder::Kind::Video && wantVideo) {
            if (!firstShown) {
                if (decoded.pts <= range.start + TimeSlack) {
                    held = std::move(decoded);
                    continue;
                }
                firstShown = true;
                if (held.frame != nullptr &&
                    !pushPicture(held.frame.get(), held.pts, held.duration)) {
                    return;
                }
                held = {};
            }
            if (decoded.pts >= range.end - TimeSlack) {
                streamOver(true);
                continue;
            }
            if (!pushPicture(decoded.frame.get(), decoded.pts, decoded.duration))
                return;
        } else if (decoded.kind == MediaDecoder::Kind::Audio && wantAudio) {
            double first = 0.0;
            const QByteArray samples = source.ConvertAudio(decoded.frame.get(), decoded.pts,
                                                           range.rate, range.channels, &first);
            if (!pushSound(samples, first))
                return;
            if (!wantAudio)
                streamOver(false);
        }
    }
    // The clip ended inside the range.
    if (wantVideo && held.frame != nullptr &&
        !pushPicture(held.frame.get(), held.pts, held.duration)) {
        return;
    }
    if (wantAudio) {
        double first = 0.0;
        const QByteArray rest = source.FlushAudio(&first);
        if (!rest.isEmpty() && !pushSound(rest, first))
            return;
    }
    FinishRange(run);
}

bool PlaybackDecoder::WaitForRoom(quint64 run, bool video) {
    while (run == generation && !quit) {
        // The other stream has nothing to give while it is still being decoded: its data lies
        // further on in the file, so this queue has to grow to reach it.
        const bool otherStarving =
            video ? audioDecoding && audioQueue.empty() : videoDecoding && videoQueue.empty();
        const bool room = video ? videoQueue.size() < size_t(MaxQueuedFrames) ||
                                      (otherStarving && videoBytes < MaxStarvedVideoBytes)
                                : audioQueued < MaxQueuedAudioSeconds ||
                                      (otherStarving && audioQueued < MaxStarvedAudioSeconds);
        if (room)
            return true;
        wake.wait(mutex);
    }
    return false;
}

bool PlaybackDecoder::PushVideo(quint64 run, VideoFrame frame) {
    if (frame.image.isNull())
        return run == generation; // an unconvertible picture is skipped
    QMutexLocker lock(&mutex);
    if (!WaitForRoom(run, true))
        return false;
    videoBytes += frame.image.sizeInBytes();
    videoQueue.push_back(std::move(frame));
    NotifyData();
    return true;
}

bool PlaybackDecoder::PushAudio(quint64 run, AudioChunk chunk) {
    QMutexLocker lock(&mutex);
    if (!WaitForRoom(run, false))
        return false;
    audioQueued += double(chunk.frames) / queueRate;
    audioQueue.push_back(std::move(chunk));
    NotifyData();
    return true;
}

void PlaybackDecoder::NotifyData() {
    // One notice until the owner pulls something: a worker that fills the queues while nobody
    // pulls (the window busy, a slow machine) does not flood the event loop.
    if (dataSignalPending || dataAnnounced)
        return;
    dataSignalPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            bool hasData = false;
            {
                QMutexLocker lock(&mutex);
                dataSignalPending = false;
                hasData = !videoQueue.empty() || !audioQueue.empty();
                dataAnnounced = hasData;
            }
            if (hasData)
                emit DataAvailable();
        },
        Qt::QueuedConnection);
}

void PlaybackDecoder::FinishRange(quint64 run) {
    {
        QMutexLocker lock(&mutex);
        if (run != generation)
            return;
        rangeDone = true;
        videoDecoding = audioDecoding = false;
    }
    // Checked again on the UI thread: a Play or Stop in between makes this notice stale.
    QMetaObject::invokeMethod(
        this,
        [this, run] {
            if (run == generation)
                emit EndOfRange();
        },
        Qt::QueuedConnection);
}
