// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/MediaProbe.h"

#include "media/AVPointers.h"
#include "media/FileNames.h"

#include <QCoreApplication>

#include <sys/stat.h>
#include <unistd.h>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
}

#include <memory>

namespace {

constexpr qint64 TailBytes = 2 * 1024 * 1024;

bool IsPlayedStream(const AVStream* stream) {
    const AVMediaType type = stream->codecpar->codec_type;
    return type == AVMEDIA_TYPE_AUDIO ||
           (type == AVMEDIA_TYPE_VIDEO && !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC));
}

// Where the packets of the played streams begin and end, read from a byte position on.
struct PacketSpan {
    double first = 0.0;
    double last = 0.0;
    bool timed = false; // some packet had a time stamp
    qint64 videoPackets = 0;
    double frameRate = 0.0;
};

PacketSpan ScanPackets(AVFormatContext* context, qint64 fromByte) {
    PacketSpan span;
    if (av_seek_frame(context, -1, fromByte, AVSEEK_FLAG_BYTE | AVSEEK_FLAG_ANY) < 0 &&
        fromByte > 0)
        return span;
    const AVPacketPtr packet(av_packet_alloc());
    while (packet && av_read_frame(context, packet.get()) >= 0) {
        const AVStream* stream = context->streams[packet->stream_index];
        if (IsPlayedStream(stream)) {
            const int64_t stamp = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
            if (stamp != AV_NOPTS_VALUE) {
                const double tb = av_q2d(stream->time_base);
                const double begin = double(stamp) * tb;
                const double end = double(stamp + std::max<int64_t>(packet->duration, 0)) * tb;
                span.first = span.timed ? std::min(span.first, begin) : begin;
                span.last = span.timed ? std::max(span.last, end) : end;
                span.timed = true;
            }
            if (stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
                ++span.videoPackets;
                span.frameRate = av_q2d(stream->avg_frame_rate.num > 0 ? stream->avg_frame_rate
                                                                       : stream->r_frame_rate);
            }
        }
        av_packet_unref(packet.get());
    }
    return span;
}

// The real playing time of a file whose header only guesses it (from the bit rate) or does
// not give it: the end of the last packet, found in the file's tail where the streams carry
// time stamps, else by reading every packet.
double PlayingTimeFromPackets(AVFormatContext* context) {
    const qint64 size = context->pb != nullptr ? avio_size(context->pb) : -1;
    const double start =
        context->start_time != AV_NOPTS_VALUE ? double(context->start_time) / AV_TIME_BASE : 0.0;
    // Raw elementary streams number their frames from wherever reading starts: their tail
    // says nothing about the time since the start.
    if (!(context->iformat->flags & AVFMT_NOTIMESTAMPS) && size > TailBytes) {
        const PacketSpan tail = ScanPackets(context, size - TailBytes);
        if (tail.timed && tail.last > start)
            return tail.last - start;
    }
    const PacketSpan whole = ScanPackets(context, 0);
    if (whole.timed && whole.last > whole.first)
        return whole.last - whole.first;
    if (whole.videoPackets > 0)
        return double(whole.videoPackets) / (whole.frameRate > 0.0 ? whole.frameRate : 25.0);
    return 0.0;
}

} // namespace

namespace {

// Why a file of this kind cannot be a source, or "" for a regular file.
QString NotRegularReason(mode_t mode) {
    if (S_ISREG(mode))
        return {};
    // Whole sentences, so that a translation can bend each one.
    const char* reason =
        S_ISFIFO(mode) ? QT_TRANSLATE_NOOP("MediaProbe",
                                           "The file is a named pipe (FIFO), not a regular file.")
        : S_ISSOCK(mode)
            ? QT_TRANSLATE_NOOP("MediaProbe", "The file is a socket, not a regular file.")
        : S_ISCHR(mode) || S_ISBLK(mode)
            ? QT_TRANSLATE_NOOP("MediaProbe", "The file is a device, not a regular file.")
        : S_ISDIR(mode)
            ? QT_TRANSLATE_NOOP("MediaProbe", "The file is a folder, not a regular file.")
            : QT_TRANSLATE_NOOP("MediaProbe", "The file is not a file, not a regular file.");
    return QCoreApplication::translate("MediaProbe", reason);
}

} // namespace

Result<void> CheckRegularFile(const QString& path) {
    struct stat file {};
    if (::stat(EncodeFileName(path).constData(), &file) != 0)
        return {};
    if (const QString reason = NotRegularReason(file.st_mode); !reason.isEmpty())
        return Failure(reason);
    return {};
}

Result<MediaInfo> ProbeMedia(const QString& path) {
    MediaInfo info;
    // The name's own bytes: a name that is not valid UTF-8 must be found too. stat() never
    // opens the file: a named pipe is refused before anything waits on it.
    const QByteArray encoded = EncodeFileName(path);
    struct stat file {};
    if (::stat(encoded.constData(), &file) != 0)
        return Failure(QCoreApplication::translate("MediaProbe", "The file does not exist."));
    if (const QString reason = NotRegularReason(file.st_mode); !reason.isEmpty())
        return Failure(reason);
    if (::access(encoded.constData(), R_OK) != 0)
        return Failure(QCoreApplication::translate("MediaProbe", "The file cannot be read."));
    if (file.st_size == 0)
        return Failure(QCoreApplication::translate("MediaProbe", "The file is empty."));

    av_log_set_level(AV_LOG_QUIET);
    AVFormatInputPtr context;
    int result = OpenFormatInput(encoded.constData(), context);
    if (result < 0)
        return Failure(
            QCoreApplication::translate(
                "MediaProbe", "The file is not a video or audio file that can be read (%1).")
                .arg(AvErrorText(result)));
    result = avformat_find_stream_info(context.get(), nullptr);
    if (result < 0)
        return Failure(
            QCoreApplication::translate("MediaProbe", "The file's streams cannot be read (%1).")
                .arg(AvErrorText(result)));

    for (unsigned i = 0; i < context->nb_streams; ++i) {
        const AVStream* stream = context->streams[i];
        if (!IsPlayedStream(stream))
            continue;
        if (stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO)
            info.hasVideo = true;
        else
            info.hasAudio = true;
    }
    if (!info.hasVideo && !info.hasAudio)
        return Failure(
            QCoreApplication::translate("MediaProbe", "The file holds neither video nor sound."));

    const bool guessed = context->duration == AV_NOPTS_VALUE || context->duration <= 0 ||
                         context->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE;
    info.duration =
        guessed ? PlayingTimeFromPackets(context.get()) : double(context->duration) / AV_TIME_BASE;
    if (!(info.duration > 0.0))
        return Failure(QCoreApplication::translate(
            "MediaProbe", "Nothing in the file can be played; it may be truncated."));
    return info;
}

bool IsStillPicture(const QString& path) {
    av_log_set_level(AV_LOG_QUIET);
    AVFormatInputPtr context;
    if (OpenFormatInput(EncodeFileName(path).constData(), context) < 0 ||
        avformat_find_stream_info(context.get(), nullptr) < 0)
        return false;
    bool hasVideo = false;
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        const AVStream* stream = context->streams[i];
        if (!IsPlayedStream(stream))
            continue;
        if (stream->codecpar->codec_type == AVMEDIA_TYPE_AUDIO)
            return false; // sound to convert, whatever the picture
        hasVideo = true;
    }
    if (!hasVideo)
        return false;
    // The picture formats ("image2", "png_pipe", "jpeg_pipe", ...) hold stills.
    const QByteArray format(context->iformat->name);
    if (format == "image2" || format.endsWith("_pipe"))
        return true;
    // Otherwise: a single picture in a video format (a one-frame GIF, say).
    return ScanPackets(context.get(), 0).videoPackets <= 1;
}
