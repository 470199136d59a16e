#include "media/MediaProbe.h"

#include <QFileInfo>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
}

#include <array>
#include <memory>

namespace {

QString AvErrorText(int code) {
    std::array<char, AV_ERROR_MAX_STRING_SIZE> text{};
    av_strerror(code, text.data(), text.size());
    return QString::fromLocal8Bit(text.data());
}

struct FormatContextCloser {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};

} // namespace

MediaInfo ProbeMedia(const QString& path) {
    MediaInfo info;
    const QFileInfo file(path);
    if (!file.exists()) {
        info.error = QStringLiteral("The file does not exist.");
        return info;
    }
    if (!file.isFile() || !file.isReadable()) {
        info.error = QStringLiteral("The file cannot be read.");
        return info;
    }
    if (file.size() == 0) {
        info.error = QStringLiteral("The file is empty.");
        return info;
    }

    av_log_set_level(AV_LOG_QUIET);
    AVFormatContext* raw = nullptr;
    const QByteArray encoded = QFile::encodeName(path);
    int result = avformat_open_input(&raw, encoded.constData(), nullptr, nullptr);
    if (result < 0) {
        info.error = QStringLiteral("The file is not a video or audio file that can be read (%1).")
                         .arg(AvErrorText(result));
        return info;
    }
    std::unique_ptr<AVFormatContext, FormatContextCloser> context(raw);
    result = avformat_find_stream_info(context.get(), nullptr);
    if (result < 0) {
        info.error =
            QStringLiteral("The file's streams cannot be read (%1).").arg(AvErrorText(result));
        return info;
    }

    double longestStream = 0.0;
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        const AVStream* stream = context->streams[i];
        const AVMediaType type = stream->codecpar->codec_type;
        if (type == AVMEDIA_TYPE_VIDEO && !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC))
            info.hasVideo = true;
        else if (type == AVMEDIA_TYPE_AUDIO)
            info.hasAudio = true;
        else
            continue;
        if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0)
            longestStream = std::max(longestStream, stream->duration * av_q2d(stream->time_base));
    }
    if (!info.hasVideo && !info.hasAudio) {
        info.error = QStringLiteral("The file holds neither video nor sound.");
        return info;
    }

    if (context->duration != AV_NOPTS_VALUE && context->duration > 0)
        info.duration = double(context->duration) / AV_TIME_BASE;
    else
        info.duration = longestStream;
    if (info.duration <= 0.0) {
        info.error =
            QStringLiteral("The file's playing time cannot be found; it may be truncated.");
        return info;
    }
    info.ok = true;
    return info;
}
