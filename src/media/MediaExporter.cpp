// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/MediaExporter.h"

#include "media/AppPaths.h"
#include "media/ChildProcess.h"

#include "media/MediaProbe.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace {

// One entry of a codec list: the name shown, the ffmpeg encoder behind it and its options.
struct ExportCodec {
    const char* name;
    const char* encoder;
    QStringList options;
    bool inMpegStream; // an MPEG program stream can carry it
};

// Names are matched by substring ("Microsoft MPEG-4 Video Codec V3", "DivX", "MPEG Layer-3",
// "PCM"), so no name may contain another entry's key word by accident.
const std::vector<ExportCodec>& AllVideoCodecs() {
    static const std::vector<ExportCodec> codecs{
        {"Microsoft MPEG-4 Video Codec V3", "msmpeg4", {"-q:v", "3"}, false},
        {"DivX MPEG-4 Video Codec", "mpeg4", {"-q:v", "3", "-tag:v", "DIVX"}, false},
        {"Xvid MPEG-4 Codec", "libxvid", {"-q:v", "3", "-tag:v", "XVID"}, false},
        {"Microsoft MPEG-4 Video Codec V2", "msmpeg4v2", {"-q:v", "3"}, false},
        {"Motion JPEG", "mjpeg", {"-q:v", "3"}, false},
        // 15 frames per second is one of MPEG-1's extended rates.
        {"MPEG-1 Video", "mpeg1video", {"-q:v", "3", "-strict", "unofficial"}, true},
    };
    return codecs;
}

const std::vector<ExportCodec>& AllAudioCodecs() {
    static const std::vector<ExportCodec> codecs{
        // At 44.1 kHz: the encoder's priming, which the AVI keeps at the head of the sound,
        // lasts 25 ms; at a source's 8 kHz it would be 140 ms of silence before every word.
        {"MPEG Layer-3 (MP3)", "libmp3lame", {"-b:a", "128k", "-ac", "2", "-ar", "44100"}, false},
        {"PCM 16-bit", "pcm_s16le", {}, false},
        {"CCITT A-Law", "pcm_alaw", {}, false},
        {"MPEG Layer-2", "mp2", {"-b:a", "192k", "-ac", "2", "-ar", "44100"}, true},
    };
    return codecs;
}

std::vector<const ExportCodec*> Available(const std::vector<ExportCodec>& all) {
    std::vector<const ExportCodec*> found;
    for (const ExportCodec& codec : all) {
        if (avcodec_find_encoder_by_name(codec.encoder) != nullptr)
            found.push_back(&codec);
    }
    return found;
}

const std::vector<const ExportCodec*>& VideoList() {
    static const std::vector<const ExportCodec*> list = Available(AllVideoCodecs());
    return list;
}

const std::vector<const ExportCodec*>& AudioList() {
    static const std::vector<const ExportCodec*> list = Available(AllAudioCodecs());
    return list;
}

QStringList Names(const std::vector<const ExportCodec*>& list) {
    QStringList names;
    for (const ExportCodec* codec : list)
        names << QString::fromLatin1(codec->name);
    return names;
}

// The format's usual codec, or the first this machine has when it lacks that one.
const ExportCodec* DefaultCodec(const std::vector<const ExportCodec*>& available,
                                const std::vector<ExportCodec>& all, const char* encoder) {
    for (const ExportCodec* codec : available) {
        if (qstrcmp(codec->encoder, encoder) == 0)
            return codec;
    }
    if (!available.empty())
        return available.front();
    for (const ExportCodec& codec : all) {
        if (qstrcmp(codec.encoder, encoder) == 0)
            return &codec;
    }
    return &all.front();
}

// The chosen entry when it suits the format, else the format's default.
const ExportCodec* PickCodec(bool use, int index, const std::vector<const ExportCodec*>& list,
                             bool mpeg, const ExportCodec* fallback) {
    if (use && index >= 0 && index < int(list.size())) {
        const ExportCodec* chosen = list[size_t(index)];
        if (!mpeg || chosen->inMpegStream)
            return chosen;
    }
    return fallback;
}

// "file:" keeps ffmpeg from reading a name such as "concat:x" or "-y" as anything but a file.
QString FileUrl(const QString& path) {
    return QStringLiteral("file:") + QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

QString Seconds(double value) {
    return QString::number(value, 'f', 3);
}

bool SignalGroup(const QProcess* child, int signal) {
    return ChildProcess::SignalGroup(child->processId(), signal);
}

// Ends a child and whatever it started at once.
void KillChild(QProcess* child) {
    SignalGroup(child, SIGKILL);
    child->kill();
}

} // namespace

MediaExporter::MediaExporter(QObject* parent) : QObject(parent) {}

MediaExporter::~MediaExporter() {
    // Children still running (the current export or one being stopped) must not outlive us
    // nor leave a partial file.
    const auto children = findChildren<QProcess*>(QString(), Qt::FindDirectChildrenOnly);
    for (QProcess* child : children) {
        disconnect(child, nullptr, this, nullptr);
        if (child->state() != QProcess::NotRunning) {
            KillChild(child);
            child->waitForFinished(5000);
            const QString path = child->property("outputPath").toString();
            if (child == process || path != outputPath)
                QFile::remove(path);
        }
    }
}

QStringList MediaExporter::VideoCodecs() const {
    return Names(VideoList());
}

QStringList MediaExporter::AudioCodecs() const {
    return Names(AudioList());
}

void MediaExporter::CloseClip() {
    clipPath.clear();
    clipLength = rangeStart = rangeLength = 0.0;
    clipHasVideo = clipHasAudio = false;
}

void MediaExporter::SetFrameWidth(int width) {
    frameWidth = width;
}

void MediaExporter::SetFrameHeight(int height) {
    frameHeight = height;
}

void MediaExporter::SetBitsPerPixel(int bits) {
    bitsPerPixel = bits;
}

void MediaExporter::SetFrameRate(float rate) {
    frameRate = rate;
}

void MediaExporter::SetOutputFormat(int format) {
    outputFormat = format == FormatMpeg ? FormatMpeg : FormatAvi;
}

void MediaExporter::SetUseVideoCodec(bool use) {
    useVideoCodec = use;
}

void MediaExporter::SetVideoCodecIndex(int index) {
    videoCodecIndex = index;
}

void MediaExporter::SetUseAudioCodec(bool use) {
    useAudioCodec = use;
}

void MediaExporter::SetAudioCodecIndex(int index) {
    audioCodecIndex = index;
}

bool MediaExporter::OpenClipRange(const QString& path, double start, double length, int mode) {
    Q_UNUSED(mode);
    CloseClip();
    const Result<MediaInfo> info = ProbeMedia(path);
    if (!info) {
        lastError = QStringLiteral("\"%1\" cannot be opened: %2").arg(path, info.error());
        return false;
    }
    clipPath = path;
    clipLength = info->duration;
    clipHasVideo = info->hasVideo;
    clipHasAudio = info->hasAudio;
    return SetClipRange(path, start, length);
}

bool MediaExporter::SetClipRange(const QString& path, double start, double length) {
    if (clipPath.isEmpty() || QFileInfo(path) != QFileInfo(clipPath))
        return OpenClipRange(path, start, length, 0);
    if (!std::isfinite(start) || !std::isfinite(length) || start < 0.0 || length <= 0.0) {
        lastError = QStringLiteral("The range %1 s + %2 s is empty or negative.")
                        .arg(Seconds(start), Seconds(length));
        return false;
    }
    if (start >= clipLength) {
        lastError = QStringLiteral("The range starts at %1 s, after the clip's end at %2 s.")
                        .arg(Seconds(start), Seconds(clipLength));
        return false;
    }
    rangeStart = start;
    rangeLength = std::min(length, clipLength - start);
    return true;
}

bool MediaExporter::IsExporting() const {
    return process != nullptr;
}

QStringList MediaExporter::BuildArguments(const QString& output) const {
    const bool mpeg = outputFormat == FormatMpeg;
    const int width = frameWidth > 0 ? frameWidth : 320;
    const int height = frameHeight > 0 ? frameHeight : 240;
    const QString rate = QString::number(frameRate > 0.0f ? double(frameRate) : 15.0, 'g', 6);

    // A progress report every fifth of a second keeps the Buffering figure moving.
    QStringList args{"-hide_banner", "-nostdin", "-nostats",      "-loglevel", "error",
                     "-progress",    "pipe:1",   "-stats_period", "0.2",       "-y"};
    args << "-ss" << Seconds(rangeStart) << "-t" << Seconds(rangeLength) << "-i"
         << FileUrl(clipPath);

    if (clipHasVideo) {
        const ExportCodec* video =
            PickCodec(useVideoCodec, videoCodecIndex, VideoList(), mpeg,
                      DefaultCodec(VideoList(), AllVideoCodecs(), mpeg ? "mpeg1video" : "msmpeg4"));
        // fps first, so frames land on the output rate before scaling; the picture keeps its
        // shape inside the frame with black bars.
        const QString filter = QStringLiteral("fps=%3,scale=%1:%2:force_original_aspect_ratio="
                                              "decrease,pad=%1:%2:(ow-iw)/2:(oh-ih)/2,setsar=1")
                                   .arg(width)
                                   .arg(height)
                                   .arg(rate);
        args << "-map"
             << "0:V:0"
             << "-vf" << filter << "-r" << rate << "-pix_fmt"
             << (qstrcmp(video->encoder, "mjpeg") == 0 ? "yuvj420p" : "yuv420p") << "-c:v"
             << video->encoder << video->options;
    }
    if (clipHasAudio) {
        const ExportCodec* audio =
            PickCodec(useAudioCodec, audioCodecIndex, AudioList(), mpeg,
                      DefaultCodec(AudioList(), AllAudioCodecs(), mpeg ? "mp2" : "libmp3lame"));
        args << "-map"
             << "0:a:0"
             << "-c:a" << audio->encoder << audio->options;
    }
    if (mpeg) {
        args << "-f"
             << "mpeg";
    } else {
        // AVI has no start offsets: shifting for the MP3 encoder's priming would move the
        // picture by a frame, so the priming stays at the stream's head as AVI players expect.
        args << "-avoid_negative_ts"
             << "disabled"
             << "-f"
             << "avi";
    }
    args << FileUrl(output);
    return args;
}

bool MediaExporter::ExportToFile(const QString& path) {
    if (process != nullptr) {
        lastError = QStringLiteral("An export is already running.");
        return false;
    }
    if (clipPath.isEmpty() || rangeLength <= 0.0) {
        lastError = QStringLiteral("No clip range is open for export.");
        return false;
    }
    const QFileInfo target(path);
    const QFileInfo folder(target.absolutePath());
    if (path.isEmpty() || !folder.isDir() || !folder.isWritable()) {
        lastError = QStringLiteral("The folder \"%1\" cannot be written.")
                        .arg(QDir::toNativeSeparators(folder.absoluteFilePath()));
        return false;
    }
    // The same ffmpeg, found the same way, as the conversion passes run.
    const QString program = AppPaths::FindProgram(QStringLiteral("ffmpeg"));
    if (program.isEmpty()) {
        lastError = QStringLiteral("The encoder program \"ffmpeg\" cannot be found.");
        return false;
    }

    auto* child = new QProcess(this);
    child->setProperty("outputPath", target.absoluteFilePath());
    process = child;
    outputPath = target.absoluteFilePath();
    progressBuffer.clear();
    errorTail.Clear();
    lastDone = -1.0;

    connect(child, &QProcess::readyReadStandardOutput, this,
            [this, child] { ReadProgress(child); });
    connect(child, &QProcess::readyReadStandardError, this, [this, child] { ReadErrors(child); });
    connect(child, &QProcess::finished, this,
            [this, child](int exitCode, QProcess::ExitStatus status) {
                OnChildFinished(child, status == QProcess::CrashExit, exitCode);
            });
    connect(child, &QProcess::errorOccurred, this, [this, child](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            OnChildFailedToStart(child);
    });
    const pid_t parent = ::getpid();
    // One more child of the program, like the encoder passes.
    child->setChildProcessModifier([parent] { ChildProcess::SetUp(parent); });
    child->start(program, BuildArguments(outputPath));
    if (const qint64 pid = child->processId(); pid > 0) {
        // Also from this side, so the group exists before a pause is sent to it, whichever of
        // the two runs first (after its exec the child has done it itself).
        ::setpgid(pid_t(pid), pid_t(pid));
        if (suspended)
            SignalGroup(child, SIGSTOP); // started during a pause: it waits for the resume
    }
    return true;
}

bool MediaExporter::Suspend(bool suspend) {
    suspended = suspend;
    if (process == nullptr || process->state() == QProcess::NotRunning)
        return true;
    if (!SignalGroup(process, suspend ? SIGSTOP : SIGCONT)) {
        lastError = QStringLiteral("The export cannot be %1: %2")
                        .arg(suspend ? QStringLiteral("paused") : QStringLiteral("resumed"),
                             QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    return true;
}

void MediaExporter::StopExport() {
    QProcess* child = process;
    if (child == nullptr)
        return;
    process = nullptr;
    // The child is killed rather than asked to finish: its file is discarded anyway. The file
    // is removed now and again when the child has gone, for systems that keep open files.
    KillChild(child);
    QFile::remove(outputPath);
}

void MediaExporter::ReadProgress(QProcess* child) {
    const QByteArray data = child->readAllStandardOutput();
    if (child != process)
        return;
    progressBuffer += data;
    qsizetype end;
    while ((end = progressBuffer.indexOf('\n')) >= 0) {
        const QByteArray line = progressBuffer.left(end).trimmed();
        progressBuffer.remove(0, end + 1);
        double done = -1.0;
        if (line.startsWith("out_time_us=")) {
            bool ok = false;
            const qint64 micro = line.mid(12).toLongLong(&ok);
            if (ok)
                done = double(micro) / 1e6;
        }
        if (done < 0.0)
            continue;
        done = std::min(done, rangeLength);
        if (done <= lastDone)
            continue;
        lastDone = done;
        emit ExportProgress(done, rangeLength);
        // A handler may have stopped this export (or started another).
        if (child != process)
            return;
    }
}

void MediaExporter::ReadErrors(QProcess* child) {
    const QByteArray data = child->readAllStandardError();
    if (child != process)
        return;
    errorTail.Append(data);
}

void MediaExporter::OnChildFinished(QProcess* child, bool crashed, int exitCode) {
    child->deleteLater();
    if (child != process) {
        // A stopped export: make sure nothing of its file is left, unless a later export
        // already writes a file of that name.
        const QString stalePath = child->property("outputPath").toString();
        if (process == nullptr || stalePath != outputPath)
            QFile::remove(stalePath);
        return;
    }
    ReadProgress(child);
    if (child != process)
        return;
    ReadErrors(child);
    process = nullptr;

    const QFileInfo output(outputPath);
    if (!crashed && exitCode == 0 && output.exists() && output.size() > 0) {
        emit ExportDone();
        return;
    }
    QString reason = errorTail.LastLines(1);
    if (reason.isEmpty()) {
        reason = crashed
                     ? QStringLiteral("ffmpeg crashed")
                     : QStringLiteral("ffmpeg ended with code %1 and wrote no file").arg(exitCode);
    }
    Fail(
        QStringLiteral("The export of \"%1\" to \"%2\" failed: %3")
            .arg(QDir::toNativeSeparators(clipPath), QDir::toNativeSeparators(outputPath), reason));
}

void MediaExporter::OnChildFailedToStart(QProcess* child) {
    child->deleteLater();
    if (child != process)
        return;
    process = nullptr;
    Fail(QStringLiteral("The encoder program could not be started: %1").arg(child->errorString()));
}

void MediaExporter::Fail(const QString& message) {
    QFile::remove(outputPath);
    lastError = message;
    emit ExportFailed(message);
}
