// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/MediaDecoder.h"

#include "media/AVPointers.h"
#include "media/MediaProbe.h"

#include <QCoreApplication>
#include <QFile>
#include <QTransform>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/display.h>
#include <libavutil/imgutils.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>

namespace {

// Frame times are compared with this slack: containers round time stamps (RealMedia to
// milliseconds), so a frame stamped 1 ms late still counts as on time.
constexpr double TimeSlack = 0.001;

AVCodecContextPtr OpenCodec(const AVStream* stream) {
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (codec == nullptr)
        return nullptr;
    AVCodecContextPtr context(avcodec_alloc_context3(codec));
    if (!context || avcodec_parameters_to_context(context.get(), stream->codecpar) < 0)
        return nullptr;
    context->pkt_timebase = stream->time_base;
    context->thread_count = 0; // as many as the machine has
    if (avcodec_open2(context.get(), codec, nullptr) < 0)
        return nullptr;
    return context;
}

} // namespace

MediaDecoder::MediaDecoder() = default;

MediaDecoder::~MediaDecoder() = default;

void MediaDecoder::Close() {
    pending.clear();
    scaler.reset();
    resampler.reset();
    packet.reset();
    videoCodec.reset();
    audioCodec.reset();
    format.reset();
    videoStream = audioStream = -1;
    startOffset = duration = 0.0;
    frameInterval = 0.04;
    rotation = 0;
    inputEnded = false;
    resampleRate = resampleChannels = resampleInRate = resampleInChannels = 0;
    resampleInFormat = -1;
}

Result<void> MediaDecoder::Open(const QString& path, Streams streams) {
    Close();
    av_log_set_level(AV_LOG_QUIET);

    // The probe words the reason a file cannot be read (missing, empty, not media, ...).
    const auto fail = [&](const QString& fallback) {
        Close();
        const Result<MediaInfo> info = ProbeMedia(path);
        return Failure(info ? fallback : info.error());
    };
    const QByteArray encoded = QFile::encodeName(path);
    if (path.isEmpty() || OpenFormatInput(encoded.constData(), format) < 0)
        return fail(QCoreApplication::translate("MediaDecoder", "The file cannot be opened."));
    if (avformat_find_stream_info(format.get(), nullptr) < 0)
        return fail(
            QCoreApplication::translate("MediaDecoder", "The file's streams cannot be read."));

    bool foundVideo = false;
    bool foundAudio = false;
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        AVStream* stream = format->streams[i];
        stream->discard = AVDISCARD_ALL;
        const AVMediaType type = stream->codecpar->codec_type;
        if (type == AVMEDIA_TYPE_VIDEO && !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
            foundVideo = true;
            if (videoCodec == nullptr && streams != Streams::AudioOnly &&
                (videoCodec = OpenCodec(stream)) != nullptr) {
                videoStream = int(i);
                stream->discard = AVDISCARD_DEFAULT;
            }
        } else if (type == AVMEDIA_TYPE_AUDIO) {
            foundAudio = true;
            if (audioCodec == nullptr && streams != Streams::VideoOnly &&
                (audioCodec = OpenCodec(stream)) != nullptr) {
                audioStream = int(i);
                stream->discard = AVDISCARD_DEFAULT;
            }
        }
    }
    const bool wantVideo = streams != Streams::AudioOnly;
    const bool wantAudio = streams != Streams::VideoOnly;
    if (wantVideo && !wantAudio && !HasVideo()) {
        return fail(
            foundVideo ? QCoreApplication::translate("MediaDecoder",
                                                     "The file's picture cannot be decoded.")
                       : QCoreApplication::translate("MediaDecoder", "The file holds no picture."));
    }
    if (wantAudio && !wantVideo && !HasAudio()) {
        return fail(
            foundAudio
                ? QCoreApplication::translate("MediaDecoder", "The file's sound cannot be decoded.")
                : QCoreApplication::translate("MediaDecoder", "The file holds no sound."));
    }
    if (!HasVideo() && !HasAudio()) {
        return fail(foundVideo || foundAudio
                        ? QCoreApplication::translate("MediaDecoder",
                                                      "The file's streams cannot be decoded.")
                        : QCoreApplication::translate("MediaDecoder",
                                                      "The file holds neither video nor sound."));
    }

    if (format->start_time != AV_NOPTS_VALUE)
        startOffset = double(format->start_time) / AV_TIME_BASE;
    if (format->duration != AV_NOPTS_VALUE && format->duration > 0)
        duration = double(format->duration) / AV_TIME_BASE;
    if (HasVideo()) {
        const AVStream* stream = format->streams[videoStream];
        AVRational rate = stream->avg_frame_rate;
        if (rate.num <= 0 || rate.den <= 0)
            rate = stream->r_frame_rate;
        if (rate.num > 0 && rate.den > 0)
            frameInterval = av_q2d(av_inv_q(rate));
        // The display matrix turns counter-clockwise; pictures are turned back clockwise.
        const auto* matrix = reinterpret_cast<const int32_t*>(
            av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, nullptr));
        if (matrix != nullptr) {
            const double angle = -av_display_rotation_get(matrix);
            if (std::isfinite(angle))
                rotation = ((int(std::lround(angle / 90.0)) % 4 + 4) % 4) * 90;
        }
    }
    packet.reset(av_packet_alloc());
    if (packet == nullptr)
        return fail(QCoreApplication::translate("MediaDecoder", "Out of memory."));
    return {};
}

QSize MediaDecoder::DisplaySize() const {
    if (!HasVideo())
        return {};
    const AVCodecParameters* parameters = format->streams[videoStream]->codecpar;
    AVRational aspect =
        av_guess_sample_aspect_ratio(format.get(), format->streams[videoStream], nullptr);
    double width = parameters->width;
    if (aspect.num > 0 && aspect.den > 0)
        width *= av_q2d(aspect);
    const QSize size(std::max(1, int(std::lround(width))), std::max(1, parameters->height));
    return rotation % 180 == 0 ? size : size.transposed();
}

void MediaDecoder::SeekTo(double time) {
    // In the picture stream's own time base, rounded down: rounding up could land on a key
    // frame just after the time.
    const int stream = HasVideo() ? videoStream : audioStream;
    const int64_t target =
        av_rescale_q_rnd(std::llround((std::max(0.0, time) + startOffset) * AV_TIME_BASE),
                         AV_TIME_BASE_Q, format->streams[stream]->time_base, AV_ROUND_DOWN);
    // The latest key frame at or before the target; when the container cannot say, go back
    // to its start.
    if (avformat_seek_file(format.get(), stream, INT64_MIN, target, target, 0) < 0 &&
        av_seek_frame(format.get(), stream, target, AVSEEK_FLAG_BACKWARD) < 0) {
        av_seek_frame(format.get(), -1, 0, AVSEEK_FLAG_BYTE);
    }
    if (videoCodec != nullptr)
        avcodec_flush_buffers(videoCodec.get());
    if (audioCodec != nullptr)
        avcodec_flush_buffers(audioCodec.get());
    ResetAudioConverter();
    pending.clear();
    inputEnded = false;
    lastVideoPts = -1.0;
    lastAudioEnd = -1.0;
}

void MediaDecoder::SeekBefore(double time) {
    const Kind reference = HasVideo() ? Kind::Video : Kind::Audio;
    // Steps back for containers whose seeking by time lands late (no index, or stamps that
    // the index does not match).
    static constexpr double BackSteps[] = {0.0, 1.0, 3.0, 10.0, 30.0};
    for (double back : BackSteps) {
        const double target = time - back;
        if (target <= 0.0)
            break;
        SeekTo(target);
        std::deque<Decoded> seen;
        for (;;) {
            Decoded decoded = DecodeNext();
            if (decoded.kind == Kind::End)
                break;
            const bool isReference = decoded.kind == reference;
            const bool onTime = decoded.pts <= time + TimeSlack;
            seen.push_back(std::move(decoded));
            if (isReference) {
                if (onTime) {
                    pending = std::move(seen);
                    return;
                }
                break;
            }
        }
    }
    SeekToStart(time);
}

bool MediaDecoder::DecodeToReference(std::deque<Decoded>& seen, double* pts) {
    const Kind reference = HasVideo() ? Kind::Video : Kind::Audio;
    for (;;) {
        Decoded decoded = DecodeNext();
        if (decoded.kind == Kind::End)
            return false;
        const bool isReference = decoded.kind == reference;
        *pts = decoded.pts;
        seen.push_back(std::move(decoded));
        if (isReference)
            return true;
    }
}

void MediaDecoder::SeekToStart(double time) {
    SeekTo(0.0);
    std::deque<Decoded> seen;
    double first = 0.0;
    if (!DecodeToReference(seen, &first) || first <= time + TimeSlack) {
        pending = std::move(seen);
        return;
    }
    // A seek to the start can land on the second group of pictures (an MPEG program stream
    // without sound): reading from the file's first byte finds the earlier ones.
    if (av_seek_frame(format.get(), -1, 0, AVSEEK_FLAG_BYTE) < 0) {
        SeekTo(0.0);
        return;
    }
    if (videoCodec != nullptr)
        avcodec_flush_buffers(videoCodec.get());
    if (audioCodec != nullptr)
        avcodec_flush_buffers(audioCodec.get());
    ResetAudioConverter();
    inputEnded = false;
    lastVideoPts = -1.0;
    lastAudioEnd = -1.0;
    std::deque<Decoded> fromStart;
    double earliest = 0.0;
    if (DecodeToReference(fromStart, &earliest) && earliest < first) {
        pending = std::move(fromStart);
        return;
    }
    SeekTo(0.0); // the file's start is no better: as the container's seek had it
}

MediaDecoder::Decoded MediaDecoder::Receive(AVCodecContext* codec, Kind kind) {
    Decoded decoded;
    AVFramePtr frame(av_frame_alloc());
    if (frame == nullptr || avcodec_receive_frame(codec, frame.get()) < 0)
        return decoded;

    const AVStream* stream = format->streams[kind == Kind::Video ? videoStream : audioStream];
    const double timeBase = av_q2d(stream->time_base);
    const int64_t stamp = frame->best_effort_timestamp;
    if (kind == Kind::Video) {
        decoded.duration = frame->pkt_duration > 0 ? frame->pkt_duration * timeBase : frameInterval;
        decoded.pts = stamp != AV_NOPTS_VALUE ? stamp * timeBase - startOffset
                      : lastVideoPts >= 0.0   ? lastVideoPts + frameInterval
                                              : 0.0;
        lastVideoPts = decoded.pts;
    } else {
        decoded.duration =
            frame->sample_rate > 0 ? double(frame->nb_samples) / frame->sample_rate : 0.0;
        decoded.pts = stamp != AV_NOPTS_VALUE ? stamp * timeBase - startOffset
                      : lastAudioEnd >= 0.0   ? lastAudioEnd
                                              : 0.0;
        lastAudioEnd = decoded.pts + decoded.duration;
    }
    decoded.kind = kind;
    decoded.frame = std::move(frame);
    return decoded;
}

MediaDecoder::Decoded MediaDecoder::DecodeNext() {
    if (!pending.empty()) {
        Decoded decoded = std::move(pending.front());
        pending.pop_front();
        return decoded;
    }
    if (format == nullptr)
        return {};
    for (;;) {
        if (videoCodec != nullptr) {
            Decoded decoded = Receive(videoCodec.get(), Kind::Video);
            if (decoded.kind != Kind::End)
                return decoded;
        }
        if (audioCodec != nullptr) {
            Decoded decoded = Receive(audioCodec.get(), Kind::Audio);
            if (decoded.kind != Kind::End)
                return decoded;
        }
        if (inputEnded)
            return {};
        if (av_read_frame(format.get(), packet.get()) < 0) {
            // The end, or a read error in a damaged file: let the decoders give what they hold.
            inputEnded = true;
            if (videoCodec != nullptr)
                avcodec_send_packet(videoCodec.get(), nullptr);
            if (audioCodec != nullptr)
                avcodec_send_packet(audioCodec.get(), nullptr);
            continue;
        }
        // A packet the decoder refuses (damaged data) is dropped; decoding goes on after it.
        if (packet->stream_index == videoStream)
            avcodec_send_packet(videoCodec.get(), packet.get());
        else if (packet->stream_index == audioStream)
            avcodec_send_packet(audioCodec.get(), packet.get());
        av_packet_unref(packet.get());
    }
}

void MediaDecoder::SkipUnreferencedPictures(bool skip) {
    if (videoCodec != nullptr)
        videoCodec->skip_frame = skip ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
}

QImage MediaDecoder::ScaleVideo(const AVFrame* frame, QSize box) {
    if (frame == nullptr || frame->width <= 0 || frame->height <= 0)
        return {};
    // The stream's pixel aspect: containers may say what the picture's own header does not.
    const AVRational aspect = av_guess_sample_aspect_ratio(
        format.get(), videoStream >= 0 ? format->streams[videoStream] : nullptr,
        const_cast<AVFrame*>(frame));
    double width = frame->width;
    if (aspect.num > 0 && aspect.den > 0)
        width *= av_q2d(aspect);
    QSize size(std::max(1, int(std::lround(width))), frame->height);
    // A turned picture is fitted turned, then scaled unturned and turned at the end.
    const bool sideways = rotation % 180 != 0;
    if (box.width() > 0 && box.height() > 0) {
        const QSize fit = sideways ? box.transposed() : box;
        size = size.scaled(fit, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    }

    scaler.reset(sws_getCachedContext(scaler.release(), frame->width, frame->height,
                                      AVPixelFormat(frame->format), size.width(), size.height(),
                                      AV_PIX_FMT_RGB32, SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (scaler == nullptr)
        return {};
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull())
        return {};
    uint8_t* target[4] = {image.bits(), nullptr, nullptr, nullptr};
    const int targetStride[4] = {int(image.bytesPerLine()), 0, 0, 0};
    if (sws_scale(scaler.get(), frame->data, frame->linesize, 0, frame->height, target,
                  targetStride) <= 0) {
        return {};
    }
    if (rotation != 0)
        return image.transformed(QTransform().rotate(rotation));
    return image;
}

void MediaDecoder::ResetAudioConverter() {
    resampler.reset();
    resampleRate = resampleChannels = resampleInRate = resampleInChannels = 0;
    resampleInFormat = -1;
}

QByteArray MediaDecoder::ConvertAudio(const AVFrame* frame, double pts, int rate, int channels,
                                      double* firstPts) {
    if (frame == nullptr || rate <= 0 || channels <= 0 || frame->sample_rate <= 0 ||
        frame->nb_samples <= 0) {
        return {};
    }
    const int inChannels = frame->ch_layout.nb_channels;
    if (resampler == nullptr || rate != resampleRate || channels != resampleChannels ||
        frame->sample_rate != resampleInRate || frame->format != resampleInFormat ||
        inChannels != resampleInChannels) {
        ResetAudioConverter();
        AVChannelLayout inLayout{};
        if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
            av_channel_layout_default(&inLayout, inChannels);
        else
            av_channel_layout_copy(&inLayout, &frame->ch_layout);
        AVChannelLayout outLayout{};
        av_channel_layout_default(&outLayout, channels);
        SwrContext* allocated = nullptr;
        const int result =
            swr_alloc_set_opts2(&allocated, &outLayout, AV_SAMPLE_FMT_S16, rate, &inLayout,
                                AVSampleFormat(frame->format), frame->sample_rate, 0, nullptr);
        resampler.reset(allocated);
        av_channel_layout_uninit(&inLayout);
        av_channel_layout_uninit(&outLayout);
        if (result < 0 || swr_init(resampler.get()) < 0) {
            resampler.reset();
            return {};
        }
        resampleRate = rate;
        resampleChannels = channels;
        resampleInRate = frame->sample_rate;
        resampleInFormat = frame->format;
        resampleInChannels = inChannels;
    }
    // Samples still inside the converter come out first and belong before this frame.
    const double held = double(swr_get_delay(resampler.get(), rate)) / rate;
    const int capacity = swr_get_out_samples(resampler.get(), frame->nb_samples);
    if (capacity <= 0)
        return {};
    QByteArray samples(qsizetype(capacity) * channels * 2, Qt::Uninitialized);
    auto* target = reinterpret_cast<uint8_t*>(samples.data());
    const int produced =
        swr_convert(resampler.get(), &target, capacity,
                    const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
    if (produced < 0)
        return {};
    samples.resize(qsizetype(produced) * channels * 2);
    *firstPts = pts - held;
    resampleNextPts = *firstPts + double(produced) / rate;
    return samples;
}

QByteArray MediaDecoder::FlushAudio(double* firstPts) {
    if (resampler == nullptr)
        return {};
    const int capacity = swr_get_out_samples(resampler.get(), 0);
    if (capacity <= 0)
        return {};
    QByteArray samples(qsizetype(capacity) * resampleChannels * 2, Qt::Uninitialized);
    auto* target = reinterpret_cast<uint8_t*>(samples.data());
    const int produced = swr_convert(resampler.get(), &target, capacity, nullptr, 0);
    if (produced <= 0)
        return {};
    samples.resize(qsizetype(produced) * resampleChannels * 2);
    *firstPts = resampleNextPts;
    resampleNextPts += double(produced) / resampleRate;
    return samples;
}
