// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/StillFrame.h"

#include "media/MediaDecoder.h"

#include <QFileInfo>
#include <QMutexLocker>
#include <QThread>

#include <algorithm>
#include <cmath>

#ifdef Q_OS_LINUX
#include <sys/resource.h>
#endif

Result<StillFrame> GrabStill(const QString& path, double time, QSize box) {
    if (!std::isfinite(time))
        return Failure(QStringLiteral("The still's time is not a number."));
    MediaDecoder decoder;
    if (const Result<void> opened = decoder.Open(path, MediaDecoder::Streams::VideoOnly); !opened)
        return Failure(opened.error());
    return GrabStill(decoder, time, box);
}

Result<StillFrame> GrabStill(MediaDecoder& decoder, double time, QSize box,
                             const std::function<bool()>& abandoned) {
    if (!std::isfinite(time))
        return Failure(QStringLiteral("The still's time is not a number."));
    if (!decoder.HasVideo())
        return Failure(QStringLiteral("The file holds no picture."));
    time = std::max(0.0, time);
    decoder.SeekBefore(time);

    // Far from `time`, pictures no other one refers to are not decoded: about half of a long
    // group of pictures in H.264. Near it every picture is, since the one showing at `time`
    // may be such a picture. The margin covers what a decoder holds between a packet and its
    // picture (its threads and the reordering of B-frames), a few frames, well over.
    const double skipMargin = std::max(0.5, 16 * decoder.FrameInterval());
    bool skipping = false;
    const auto setSkipping = [&](bool skip) {
        if (skip != skipping)
            decoder.SkipUnreferencedPictures(skip);
        skipping = skip;
    };

    // Keep the latest frame that starts by `time`; the first one after it ends the search.
    // Stamps rounded to milliseconds (RealMedia) still count as on time.
    MediaDecoder::Decoded best;
    for (;;) {
        if (abandoned && abandoned()) {
            setSkipping(false);
            return Failure(QStringLiteral("The still was no longer wanted."));
        }
        MediaDecoder::Decoded decoded = decoder.DecodeNext();
        if (decoded.kind == MediaDecoder::Kind::End)
            break;
        if (decoded.kind != MediaDecoder::Kind::Video)
            continue;
        setSkipping(decoded.pts < time - skipMargin);
        if (best.frame != nullptr && decoded.pts > time + 0.001)
            break;
        best = std::move(decoded);
        if (best.pts > time + 0.001)
            break; // the clip's first picture starts after `time`
    }
    setSkipping(false); // the decoder may be used again, for playback or another still
    if (best.frame == nullptr)
        return Failure(QStringLiteral("No picture could be decoded at %1 s.").arg(time, 0, 'f', 3));
    StillFrame still;
    still.image = decoder.ScaleVideo(best.frame.get(), box);
    if (still.image.isNull())
        return Failure(QStringLiteral("The picture could not be converted."));
    still.pts = best.pts;
    still.duration = best.duration;
    return still;
}

// ---- StillWorker ----------------------------------------------------------------------------

StillWorker::StillWorker(QObject* parent) : QObject(parent) {
    worker = QThread::create([this] { Run(); });
    worker->setObjectName(QStringLiteral("StillWorker"));
    worker->start();
}

StillWorker::~StillWorker() {
    {
        QMutexLocker lock(&mutex);
        quit = true;
        ++latest;
        wake.notify_all();
    }
    worker->wait();
    delete worker;
}

void StillWorker::Request(const QString& path, double time, QSize box) {
    QMutexLocker lock(&mutex);
    nextJob = Job{++latest, path, time, box};
    jobPending = true;
    busy = true;
    wake.notify_all();
}

void StillWorker::Cancel() {
    QMutexLocker lock(&mutex);
    ++latest;
    jobPending = false;
    busy = false;
}

void StillWorker::Run() {
#ifdef Q_OS_LINUX
    // Below the UI thread (nice values are per thread here, and the decoder's own threads
    // inherit it): a long group of pictures decoded on every core must not starve the event
    // loop. QThread's priorities do not reach ordinary threads on Linux.
    setpriority(PRIO_PROCESS, 0, getpriority(PRIO_PROCESS, 0) + 5);
#endif
    QMutexLocker lock(&mutex);
    while (!quit) {
        if (!jobPending) {
            wake.wait(mutex);
            continue;
        }
        const Job job = std::move(nextJob);
        jobPending = false;
        lock.unlock();
        Result<StillFrame> still = Grab(job);
        lock.relock();
        if (job.number != latest)
            continue; // replaced while it was decoded: nobody wants it
        // Checked again on the owner's thread: a request or cancel in between makes it stale.
        QMetaObject::invokeMethod(
            this,
            [this, number = job.number, still = std::move(still)] {
                if (number != latest)
                    return;
                busy = false;
                if (still)
                    emit StillReady(*still);
                else
                    emit StillFailed(still.error());
            },
            Qt::QueuedConnection);
    }
}

Result<StillFrame> StillWorker::Grab(const Job& job) {
    const QFileInfo file(job.path);
    const bool unchanged = decoder != nullptr && decoderPath == job.path && file.exists() &&
                           file.lastModified() == decoderModified && file.size() == decoderSize;
    if (!unchanged) {
        decoder = std::make_unique<MediaDecoder>();
        decoderPath.clear();
        if (const Result<void> opened = decoder->Open(job.path, MediaDecoder::Streams::VideoOnly);
            !opened) {
            decoder.reset();
            return Failure(opened.error());
        }
        decoderPath = job.path;
        decoderModified = file.lastModified();
        decoderSize = file.size();
    }
    return GrabStill(*decoder, job.time, job.box, [this, number = job.number] {
        return number != latest; // a newer request, a cancel or the end
    });
}
