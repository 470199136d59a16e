// SPDX-License-Identifier: GPL-3.0-or-later
#include "preview/CVideoEdit.h"

#include "media/MediaExporter.h"
#include "media/MediaProbe.h"
#include "media/PlaybackDecoder.h"
#include "media/StillFrame.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QDir>
#include <QFileInfo>
#include <QMediaDevices>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

// A range of length 0 shows the one picture at its start: the decoder is asked for a sliver
// of time, since a length of 0 means "to the clip's end" to it.
constexpr double SinglePictureLength = 0.001;
// Sound queued in the device: enough to ride out a busy UI thread, short enough to stop at once.
constexpr qint64 SoundBufferUSecs = 200000;
// How often the sound device is topped up, and how often sound is taken by the wall clock
// when it plays nowhere.
constexpr double SoundFeedInterval = 0.02;
constexpr double SilentSoundInterval = 0.05;
// Position events of clips without pictures.
constexpr double SoundPositionInterval = 0.1;
// With nothing due, the timer still wakes now and then (data arriving wakes it too).
constexpr double IdleInterval = 0.5;

double NormalisedTime(double value) {
    return std::isfinite(value) && value > 0.0 ? value : 0.0;
}

} // namespace

CVideoEdit::CVideoEdit(QWidget* parent)
    : QWidget(parent), exporter(new MediaExporter(this)), decoder(new PlaybackDecoder(this)),
      stills(new StillWorker(this)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    frameTimer.setSingleShot(true);
    frameTimer.setTimerType(Qt::PreciseTimer);
    connect(&frameTimer, &QTimer::timeout, this, &CVideoEdit::Tick);
    connect(decoder, &PlaybackDecoder::DataAvailable, this, &CVideoEdit::Tick);
    connect(decoder, &PlaybackDecoder::EndOfRange, this, &CVideoEdit::Tick);
    connect(exporter, &MediaExporter::ExportProgress, this, &CVideoEdit::OnExportProgress);
    connect(exporter, &MediaExporter::ExportDone, this, &CVideoEdit::OnExportDone);
    connect(exporter, &MediaExporter::ExportFailed, this, &CVideoEdit::OnExportFailed);
    connect(stills, &StillWorker::StillReady, this, &CVideoEdit::ShowStill);
    connect(stills, &StillWorker::StillFailed, this, &CVideoEdit::ShowNoStill);
}

CVideoEdit::~CVideoEdit() {
    Halt();
}

double CVideoEdit::GetClipLength(const QString& path, QString* error) const {
    const QFileInfo file(path);
    const auto known = knownLengths.constFind(path);
    if (known != knownLengths.constEnd() && file.isFile() && file.size() == known->size &&
        file.lastModified() == known->modified) {
        return known->length;
    }
    const Result<MediaInfo> info = ProbeMedia(path);
    if (!info) {
        knownLengths.remove(path);
        if (error != nullptr)
            *error = info.error();
        return -1.0;
    }
    knownLengths.insert(path, KnownLength{file.size(), file.lastModified(), info->duration});
    return info->duration;
}

void CVideoEdit::CloseClip() {
    stills->Cancel();
    Halt();
    decoder->Close();
    clipPath.clear();
    clipHasVideo = clipHasAudio = false;
    blank = true;
    update();
}

bool CVideoEdit::OpenClipRange(const QString& path, double start, double length, int /*mode*/) {
    Halt();
    clipPath.clear();
    clipHasVideo = clipHasAudio = false;
    if (!decoder->Open(path)) {
        lastError = tr("%1 cannot be played.\n%2")
                        .arg(QDir::toNativeSeparators(path), decoder->LastError());
        blank = true; // the clip shown before is gone
        update();
        return false;
    }
    clipPath = path;
    clipHasVideo = decoder->HasVideo();
    clipHasAudio = decoder->HasAudio();
    rangeStart = NormalisedTime(start);
    rangeLength = NormalisedTime(length);
    lastError.clear();
    return true;
}

bool CVideoEdit::SetClipRange(const QString& path, double start, double length) {
    if (clipPath.isEmpty() || path != clipPath || !decoder->IsOpen())
        return OpenClipRange(path, start, length, 0);
    // A playback in progress keeps its range; the new one applies from the next Play.
    rangeStart = NormalisedTime(start);
    rangeLength = NormalisedTime(length);
    lastError.clear();
    return true;
}

bool CVideoEdit::Play() {
    if (clipPath.isEmpty() || !decoder->IsOpen()) {
        lastError = tr("No clip is open.");
        return false;
    }
    stills->Cancel(); // the playback's pictures take the window
    Halt();
    playing = true;
    picturesShown = 0;
    contentEnd = rangeStart;
    soundEnd = rangeStart;
    nextPositionAt = rangeStart;
    clockStarted = false;
    lastClock = rangeStart;
    if (!clipHasVideo)
        blank = true;

    soundWanted = false;
    soundNote.clear();
    if (soundEnabled && clipHasAudio) {
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (device.isNull())
            soundNote = NoSoundDeviceNote();
        else {
            QAudioFormat format;
            format.setSampleRate(44100);
            format.setChannelCount(2);
            format.setSampleFormat(QAudioFormat::Int16);
            if (!device.isFormatSupported(format)) {
                const QAudioFormat preferred = device.preferredFormat();
                format.setSampleRate(preferred.sampleRate());
                format.setChannelCount(std::clamp(preferred.channelCount(), 1, 2));
            }
            if (device.isFormatSupported(format)) {
                soundFormat = format;
                soundWanted = true;
                decoder->SetAudioFormat(format.sampleRate(), format.channelCount());
            }
        }
    }
    decoder->SetVideoSize(VideoBox());
    decoder->Play(rangeStart, rangeLength > 0.0 ? rangeLength : SinglePictureLength);
    lastError.clear();
    update();
    return true;
}

void CVideoEdit::StopPlayback() {
    Halt();
}

void CVideoEdit::RequestStill(const QString& path, double time) {
    Halt();
    stills->Request(path, time, VideoBox());
}

bool CVideoEdit::StillPending() const {
    return stills->Busy();
}

void CVideoEdit::ShowStill(const StillFrame& still) {
    picture = still.image;
    blank = false;
    lastError.clear();
    update();
    emit OnPlayPosition(still.pts);
}

void CVideoEdit::ShowNoStill(const QString& reason) {
    lastError = reason;
    blank = true;
    update();
    emit StillFailed(reason);
}

void CVideoEdit::StopExport() {
    exporter->StopExport();
}

bool CVideoEdit::ExportToFile(const QString& path) {
    if (clipPath.isEmpty()) {
        lastError = tr("No clip is open.");
        return false;
    }
    if (!exporter->SetClipRange(clipPath, rangeStart, rangeLength) ||
        !exporter->ExportToFile(path)) {
        lastError = exporter->LastError();
        return false;
    }
    lastError.clear();
    return true;
}

void CVideoEdit::SetBitsPerPixel(int bits) {
    bitsPerPixel = bits;
    exporter->SetBitsPerPixel(bits);
}

// ---- presenting ------------------------------------------------------------------------------

void CVideoEdit::Tick() {
    if (!playing)
        return;
    const quint64 run = playId;
    const double rangeEnd = rangeStart + rangeLength;

    // The clock starts with the first picture, so the time spent opening and seeking does
    // not make the pictures after it late. A clip without pictures starts with its sound.
    if (!clockStarted && (!clipHasVideo || decoder->AtEnd()) &&
        (decoder->QueuedAudioSeconds() > 0.0 || decoder->AtEnd())) {
        StartClock();
    }
    double now = ClockNow();

    if (clipHasVideo) {
        VideoFrame frame;
        bool taken = false;
        double pts = 0.0;
        // The first picture shows at once; later ones when their time has come, skipping
        // those already overtaken by a later one.
        while (decoder->PeekVideoPts(&pts) && (picturesShown == 0 || pts <= now)) {
            const bool first = picturesShown == 0 && !taken;
            taken = decoder->TakeVideoFrame(&frame) || taken;
            if (first)
                break;
        }
        if (taken) {
            ShowPicture(frame);
            if (!clockStarted)
                StartClock();
            now = ClockNow();
            emit OnPlayPosition(frame.pts);
            if (run != playId)
                return; // the handler stopped or restarted playback
        }
    }

    if (clockStarted) {
        // Before the sound is fed, so a still request of a sound-only clip stays silent.
        if (!clipHasVideo && now >= nextPositionAt) {
            nextPositionAt = now + SoundPositionInterval;
            emit OnPlayPosition(std::min(now, rangeEnd));
            if (run != playId)
                return;
        }
        if (soundWanted)
            FeedSound();
        else
            DropSoundUpTo(now);
        now = ClockNow();
    }

    // The end: the range's end, or earlier when the clip ends inside the range and all it
    // had has been shown and heard.
    const bool allTaken = decoder->AtEnd() && pendingSound.isEmpty();
    const double stopAt = allTaken ? std::min(rangeEnd, contentEnd) : rangeEnd;
    if (clockStarted && now >= stopAt) {
        Halt();
        emit PlaybackFinished();
        return;
    }

    double wait = IdleInterval;
    double pts = 0.0;
    if (clipHasVideo && decoder->PeekVideoPts(&pts))
        wait = picturesShown == 0 ? 0.0 : pts - now;
    if (clockStarted) {
        if (clipHasAudio)
            wait = std::min(wait, soundWanted ? SoundFeedInterval : SilentSoundInterval);
        if (!clipHasVideo)
            wait = std::min(wait, nextPositionAt - now);
        wait = std::min(wait, stopAt - now);
    }
    // Rounded up: a timer that fires early would only find nothing due and wait again.
    frameTimer.start(int(std::ceil(std::max(wait, 0.0) * 1000.0)));
}

void CVideoEdit::ShowPicture(const VideoFrame& frame) {
    picture = frame.image;
    blank = false;
    ++picturesShown;
    contentEnd = std::max(contentEnd, frame.pts + frame.duration);
    update();
}

void CVideoEdit::StartClock() {
    clockStarted = true;
    clockBase = rangeStart;
    lastClock = rangeStart;
    clockWall.start();
}

double CVideoEdit::ClockNow() {
    if (!clockStarted)
        return rangeStart;
    double now = clockBase + double(clockWall.nsecsElapsed()) / 1e9;
    if (sink != nullptr && soundStarted && sink->state() == QAudio::ActiveState) {
        // What the device has played: what it took minus what still waits in its buffer.
        const qint64 buffered = std::max<qint64>(sink->bufferSize() - sink->bytesFree(), 0);
        const double played =
            double(sink->processedUSecs() - soundFormat.durationForBytes(buffered)) / 1e6;
        now = rangeStart + std::max(played, 0.0);
        // Where the sound stalls (underrun, its end) the wall clock carries on from here.
        clockBase = now;
        clockWall.start();
    }
    // Never backwards: a sound device that starts late holds the pictures until it catches up.
    now = std::max(now, lastClock);
    lastClock = now;
    return now;
}

QString CVideoEdit::NoSoundDeviceNote() {
    return tr("No sound device: playing without sound");
}

bool CVideoEdit::StartSound() {
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull())
        return false;
    sink = new QAudioSink(device, soundFormat, this);
    sink->setBufferSize(soundFormat.bytesForDuration(SoundBufferUSecs));
    sinkDevice = sink->start();
    if (sinkDevice == nullptr || sink->error() == QAudio::OpenError ||
        sink->error() == QAudio::FatalError) {
        EndSound();
        return false;
    }
    soundStarted = true;
    return true;
}

void CVideoEdit::FeedSound() {
    if (sink == nullptr && !StartSound()) {
        soundWanted = false; // no device after all: the wall clock takes over
        soundNote = NoSoundDeviceNote();
        update();
        DropSoundUpTo(ClockNow());
        return;
    }
    if (sink->error() == QAudio::OpenError || sink->error() == QAudio::FatalError) {
        EndSound();
        soundWanted = false;
        return;
    }
    const int bytesPerFrame = soundFormat.bytesPerFrame();
    qint64 room = sink->bytesFree();
    while (room >= bytesPerFrame) {
        if (pendingSound.isEmpty()) {
            AudioChunk chunk;
            if (!decoder->TakeAudio(&chunk))
                break;
            pendingSound = chunk.samples;
            soundEnd = chunk.pts + double(chunk.frames) / soundFormat.sampleRate();
            contentEnd = std::max(contentEnd, soundEnd);
        }
        const qint64 size = std::min<qint64>(room, pendingSound.size());
        const qint64 written =
            sinkDevice->write(pendingSound.constData(), size - size % bytesPerFrame);
        if (written <= 0)
            break;
        pendingSound.remove(0, written);
        room -= written;
    }
}

void CVideoEdit::DropSoundUpTo(double time) {
    // Sound that plays nowhere is taken as the clock passes it, so the decoder keeps pace.
    AudioChunk chunk;
    const int rate = decoder->AudioSampleRate();
    while (soundEnd <= time && decoder->TakeAudio(&chunk)) {
        soundEnd = chunk.pts + double(chunk.frames) / rate;
        contentEnd = std::max(contentEnd, soundEnd);
    }
}

void CVideoEdit::EndSound() {
    if (sink != nullptr) {
        sink->stop();
        delete sink;
        sink = nullptr;
    }
    sinkDevice = nullptr;
    pendingSound.clear();
    soundStarted = false;
}

void CVideoEdit::Halt() {
    const bool wasPlaying = playing;
    playing = false;
    ++playId;
    frameTimer.stop();
    decoder->Stop();
    EndSound();
    if (wasPlaying)
        update(); // a picture held for the playback gives way to black if none came
}

QSize CVideoEdit::VideoBox() const {
    return size() * devicePixelRatio();
}

void CVideoEdit::resizeEvent(QResizeEvent* event) {
    decoder->SetVideoSize(VideoBox());
    QWidget::resizeEvent(event);
}

void CVideoEdit::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    // After CloseClip the old picture stays while a new playback waits for its first one.
    const bool holding = playing && clipHasVideo && picturesShown == 0;
    if (picture.isNull() || (blank && !holding)) {
        DrawSoundNote(painter);
        return;
    }
    // The picture keeps its shape; black bars fill the rest.
    const QSize shown = picture.size().scaled(size(), Qt::KeepAspectRatio);
    const QRect target(QPoint((width() - shown.width()) / 2, (height() - shown.height()) / 2),
                       shown);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, picture);
    DrawSoundNote(painter);
}

void CVideoEdit::DrawSoundNote(QPainter& painter) {
    if (!playing || soundNote.isEmpty())
        return;
    // A strip along the bottom, readable on any picture.
    const QRect strip(0, height() - painter.fontMetrics().height() - 6, width(),
                      painter.fontMetrics().height() + 6);
    painter.fillRect(strip, QColor(0, 0, 0, 170));
    painter.setPen(Qt::white);
    painter.drawText(strip.adjusted(4, 0, -4, 0), Qt::AlignVCenter | Qt::AlignLeft,
                     painter.fontMetrics().elidedText(soundNote, Qt::ElideRight, width() - 8));
}
