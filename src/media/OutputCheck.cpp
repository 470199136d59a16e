// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/OutputCheck.h"

#include "media/AVPointers.h"

#include <QCoreApplication>
#include <QFile>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
}

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace {

// The decoders of the streams that are checked, by stream index (null for the others).
using Decoders = std::vector<AVCodecContextPtr>;

// What one stream showed while the file was read.
struct StreamRecord {
    int frames = 0;                   // frames decoded
    int64_t lastDts = AV_NOPTS_VALUE; // the last packet's decoding time
    int64_t packets = 0;              // packets read
};

// Between its first and last second, a file with pictures has one AMR packet in this many
// decoded: an AMR frame needs no other to decode, the pictures carry most of the bytes, and
// decoding AMR costs more than the pictures (one in four made the check a quarter dearer).
// (Other sound is decoded in full: an MP3 frame, for one, can need the frame before it.)
constexpr int AmrSampling = 16;

bool IsAmr(const AVCodecContext* decoder) {
    return decoder->codec_id == AV_CODEC_ID_AMR_NB || decoder->codec_id == AV_CODEC_ID_AMR_WB;
}

QString At(double seconds) {
    return QString::number(seconds, 'f', 2);
}

// Reads every packet of the file, from its start to its end, in one pass without a seek: the
// packets of the checked streams must come whole and in time order, and every picture is
// decoded (with key pictures only, a run of zeros in an H.263 file went unseen half of the
// time), and so is the sound (AMR sampled, see above). Fails with the first problem.
Result<void> ReadWholeFile(AVFormatContext* context, Decoders& decoders, double duration,
                           std::vector<StreamRecord>& streams) {
    const bool hasPicture = std::any_of(decoders.cbegin(), decoders.cend(), [](const auto& d) {
        return d && d->codec_type == AVMEDIA_TYPE_VIDEO;
    });
    const AVPacketPtr packet(av_packet_alloc());
    const AVFramePtr frame(av_frame_alloc());
    const auto drain = [&](AVCodecContext* decoder, int index) -> int {
        int result = 0;
        while ((result = avcodec_receive_frame(decoder, frame.get())) >= 0) {
            if (frame->decode_error_flags != 0 || (frame->flags & AV_FRAME_FLAG_CORRUPT))
                return AVERROR_INVALIDDATA;
            ++streams[index].frames;
            av_frame_unref(frame.get());
        }
        return result == AVERROR(EAGAIN) || result == AVERROR_EOF ? 0 : result;
    };
    int read = 0;
    double lastTime = 0.0;
    while ((read = av_read_frame(context, packet.get())) >= 0) {
        const int index = packet->stream_index;
        AVCodecContext* decoder = decoders.at(index).get();
        if (decoder == nullptr) {
            av_packet_unref(packet.get());
            continue;
        }
        const AVStream* stream = context->streams[index];
        const int64_t stamp = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
        const double time =
            stamp != AV_NOPTS_VALUE ? double(stamp) * av_q2d(stream->time_base) : lastTime;
        lastTime = time;
        StreamRecord& record = streams[index];
        QString problem;
        if (packet->size <= 0 || (packet->flags & AV_PKT_FLAG_CORRUPT))
            problem =
                QCoreApplication::translate("OutputCheck", "stream %1 has a damaged packet at %2 s")
                    .arg(index)
                    .arg(At(time));
        else if (packet->dts != AV_NOPTS_VALUE && record.lastDts != AV_NOPTS_VALUE &&
                 packet->dts < record.lastDts)
            problem =
                QCoreApplication::translate("OutputCheck", "stream %1 goes back in time at %2 s")
                    .arg(index)
                    .arg(At(time));
        record.lastDts = packet->dts != AV_NOPTS_VALUE ? packet->dts : record.lastDts;

        const bool sampled = !IsAmr(decoder) || !hasPicture || time < 1.0 ||
                             time > duration - 1.0 || record.packets % AmrSampling == 0;
        ++record.packets;
        if (problem.isEmpty() && sampled) {
            int result = avcodec_send_packet(decoder, packet.get());
            if (result >= 0)
                result = drain(decoder, index);
            if (result < 0)
                problem = QCoreApplication::translate("OutputCheck",
                                                      "stream %1 does not decode at %2 s (%3)")
                              .arg(index)
                              .arg(At(time), AvErrorText(result));
        }
        av_packet_unref(packet.get());
        if (!problem.isEmpty())
            return Failure(problem);
    }
    if (read != AVERROR_EOF)
        return Failure(
            QStringLiteral("the file cannot be read to its end (%1)").arg(AvErrorText(read)));
    for (std::size_t i = 0; i < decoders.size(); ++i) {
        if (decoders[i] && avcodec_send_packet(decoders[i].get(), nullptr) >= 0 &&
            drain(decoders[i].get(), int(i)) < 0)
            return Failure(
                QCoreApplication::translate("OutputCheck", "stream %1 does not decode at its end")
                    .arg(i));
    }
    return {};
}

} // namespace

Result<void> CheckOutputFile(const QString& path, const OutputExpectation& expected) {
    av_log_set_level(AV_LOG_QUIET);
    AVFormatInputPtr context;
    int result = OpenFormatInput(QFile::encodeName(path).constData(), context);
    if (result < 0)
        return Failure(
            QCoreApplication::translate("OutputCheck", "The output file cannot be opened (%1).")
                .arg(AvErrorText(result)));
    if ((result = avformat_find_stream_info(context.get(), nullptr)) < 0)
        return Failure(QCoreApplication::translate("OutputCheck",
                                                   "The output file's streams cannot be read (%1).")
                           .arg(AvErrorText(result)));

    const AVDictionaryEntry* brand = av_dict_get(context->metadata, "major_brand", nullptr, 0);
    const QString brandText = brand != nullptr ? QString::fromLatin1(brand->value) : QString();
    if (!brandText.startsWith(expected.brandPrefix))
        return Failure(QCoreApplication::translate("OutputCheck",
                                                   "The output file is no %1 file (brand \"%2\").")
                           .arg(expected.brandPrefix.toUpper(), brandText));

    // The codecs the profile's encoders write, by kind.
    QList<AVCodecID> videoCodecs;
    QList<AVCodecID> audioCodecs;
    for (const QString& name : expected.encoders) {
        const AVCodec* encoder = avcodec_find_encoder_by_name(name.toLatin1().constData());
        if (encoder == nullptr)
            continue;
        (encoder->type == AVMEDIA_TYPE_VIDEO ? videoCodecs : audioCodecs).append(encoder->id);
    }

    Decoders decoders(context->nb_streams);
    int videoIndex = -1;
    int audioIndex = -1;
    double frameSeconds = 0.0;
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        const AVStream* stream = context->streams[i];
        const AVMediaType type = stream->codecpar->codec_type;
        int& index = type == AVMEDIA_TYPE_VIDEO ? videoIndex : audioIndex;
        if ((type != AVMEDIA_TYPE_VIDEO && type != AVMEDIA_TYPE_AUDIO) || index >= 0)
            continue;
        index = int(i);
        const QList<AVCodecID>& allowed = type == AVMEDIA_TYPE_VIDEO ? videoCodecs : audioCodecs;
        if (!allowed.isEmpty() && !allowed.contains(stream->codecpar->codec_id))
            return Failure(
                (type == AVMEDIA_TYPE_VIDEO
                     ? QCoreApplication::translate("OutputCheck",
                                                   "The output's video is %1, not what the "
                                                   "profile makes.")
                     : QCoreApplication::translate("OutputCheck",
                                                   "The output's sound is %1, not what the "
                                                   "profile makes."))
                    .arg(QString::fromLatin1(avcodec_get_name(stream->codecpar->codec_id))));
        if (type == AVMEDIA_TYPE_VIDEO && stream->avg_frame_rate.num > 0)
            frameSeconds = 1.0 / av_q2d(stream->avg_frame_rate);
        const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
        AVCodecContextPtr decoder(codec != nullptr ? avcodec_alloc_context3(codec) : nullptr);
        if (!decoder || avcodec_parameters_to_context(decoder.get(), stream->codecpar) < 0)
            return Failure(
                QCoreApplication::translate("OutputCheck", "The output's stream %1 has no decoder.")
                    .arg(i));
        decoder->err_recognition |= AV_EF_EXPLODE | AV_EF_CRCCHECK;
        decoder->thread_count = 1;
        // Damage shows where a picture is read, not where it is drawn: drawing is left out,
        // which makes reading every picture cheaper.
        // The smallest picture the decoder offers leaves out most of the rest of the drawing
        // (motion compensation).
        if (type == AVMEDIA_TYPE_VIDEO) {
            decoder->skip_idct = AVDISCARD_ALL;
            decoder->lowres = codec->max_lowres;
        }
        if (avcodec_open2(decoder.get(), codec, nullptr) < 0)
            return Failure(QCoreApplication::translate("OutputCheck",
                                                       "The output's stream %1 cannot be decoded.")
                               .arg(i));
        decoders[i] = std::move(decoder);
    }
    if (expected.video != (videoIndex >= 0))
        return Failure(
            expected.video
                ? QCoreApplication::translate("OutputCheck", "The output file has no picture.")
                : QCoreApplication::translate("OutputCheck",
                                              "The output file has a picture the source lacks."));
    if (expected.audio != (audioIndex >= 0))
        return Failure(
            expected.audio
                ? QCoreApplication::translate("OutputCheck", "The output file has no sound.")
                : QCoreApplication::translate("OutputCheck",
                                              "The output file has sound the source lacks."));

    const double duration = context->duration > 0 ? double(context->duration) / AV_TIME_BASE : 0.0;
    const double tolerance = std::max(0.2, 2.0 * frameSeconds);
    if (!(std::abs(duration - expected.duration) <= tolerance))
        return Failure(QCoreApplication::translate("OutputCheck",
                                                   "The output file lasts %1 s instead of %2 s.")
                           .arg(duration, 0, 'f', 3)
                           .arg(expected.duration, 0, 'f', 3));

    std::vector<StreamRecord> streams(context->nb_streams);
    if (const Result<void> read = ReadWholeFile(context.get(), decoders, duration, streams); !read)
        return Failure(QCoreApplication::translate("OutputCheck",
                                                   "The output file does not decode cleanly: %1.")
                           .arg(read.error()));
    for (const int index : {videoIndex, audioIndex}) {
        if (index >= 0 && streams[index].frames == 0)
            return Failure(QCoreApplication::translate(
                               "OutputCheck", "The output's stream %1 holds nothing to play.")
                               .arg(index));
    }
    return {};
}
