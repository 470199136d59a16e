// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/H263Level.h"

#include "media/AVPointers.h"

#include <QFile>

extern "C" {
#include <libavformat/avformat.h>
}

#include <memory>
#include <optional>

namespace {

// A stream's figures may stray a little over a profile's cap (rate control).
constexpr double RateSlack = 1.10;

struct Box {
    qint64 start = 0; // of the header
    qint64 size = 0;
    QByteArray type;
    qint64 Body() const { return start + 8; }
    qint64 End() const { return start + size; }
};

// The header of the box at `at` in data; nullopt when it is not a sane header.
std::optional<Box> ReadBoxHeader(const QByteArray& data, qint64 at) {
    if (at < 0 || at + 8 > data.size())
        return std::nullopt;
    Box box;
    box.start = at;
    box.size = qint64(quint8(data[at])) << 24 | quint8(data[at + 1]) << 16 |
               quint8(data[at + 2]) << 8 | quint8(data[at + 3]);
    box.type = data.mid(at + 4, 4);
    if (box.size < 8)
        return std::nullopt;
    return box;
}

// The offset in data of the level byte of the first 'd263' box under the boxes in data
// from begin to end; -1 when there is none. Sample entries hold their children after a
// fixed part: 'stsd' after 8 bytes, 's263' after 78.
qint64 FindLevelByte(const QByteArray& data, qint64 begin, qint64 end) {
    for (qint64 at = begin; at < end;) {
        const std::optional<Box> box = ReadBoxHeader(data, at);
        if (!box || box->End() > end)
            return -1;
        if (box->type == "d263")
            return box->size >= 15 ? box->Body() + 5 : -1; // vendor 4, version 1, level
        qint64 children = -1;
        if (box->type == "moov" || box->type == "trak" || box->type == "mdia" ||
            box->type == "minf" || box->type == "stbl")
            children = box->Body();
        else if (box->type == "stsd")
            children = box->Body() + 8;
        else if (box->type == "s263")
            children = box->Body() + 78;
        if (children >= 0) {
            const qint64 found = FindLevelByte(data, children, box->End());
            if (found >= 0)
                return found;
        }
        at = box->End();
    }
    return -1;
}

// Size, rate and bit rate of the file's H.263 stream, from the FFmpeg libraries.
struct H263Stream {
    int width = 0;
    int height = 0;
    double fps = 0.0;
    double kbps = 0.0;
};

std::optional<H263Stream> ProbeH263(const QString& path) {
    AVFormatInputPtr context;
    if (OpenFormatInput(QFile::encodeName(path).constData(), context) < 0)
        return std::nullopt;
    if (avformat_find_stream_info(context.get(), nullptr) < 0)
        return std::nullopt;
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        const AVStream* stream = context->streams[i];
        if (stream->codecpar->codec_id != AV_CODEC_ID_H263)
            continue;
        H263Stream found;
        found.width = stream->codecpar->width;
        found.height = stream->codecpar->height;
        found.fps = av_q2d(stream->avg_frame_rate);
        found.kbps = double(stream->codecpar->bit_rate) / 1000.0;
        return found;
    }
    return H263Stream{};
}

} // namespace

int H263LevelFor(int width, int height, double framesPerSecond, double kilobitsPerSecond) {
    const bool qcif = width <= 176 && height <= 144;
    const bool cif = width <= 352 && height <= 288;
    const double fps = framesPerSecond - 0.05; // 15 fps streams may say 15.02
    const auto within = [kilobitsPerSecond](double cap) {
        return kilobitsPerSecond <= cap * RateSlack;
    };
    if (qcif && fps <= 15 && within(64))
        return 10;
    if (qcif && fps <= 15 && within(128))
        return 45;
    if (cif && fps <= (qcif ? 30 : 15) && within(128))
        return 20;
    if (cif && fps <= 30 && within(384))
        return 30;
    if (cif && fps <= 30 && within(2048))
        return 40;
    if (cif && within(4096))
        return 50;
    if (width <= 720 && height <= 288 && within(8192))
        return 60;
    return 70;
}

Result<void> WriteH263Level(const QString& path) {
    const std::optional<H263Stream> stream = ProbeH263(path);
    if (!stream)
        return Failure(QStringLiteral("The file cannot be read."));
    if (stream->width <= 0)
        return {}; // no H.263 track

    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return Failure(file.errorString());
    // Only the index ('moov') is read: it holds the sample description.
    for (qint64 at = 0; at + 8 <= file.size();) {
        if (!file.seek(at))
            return Failure(file.errorString());
        const QByteArray header = file.read(8);
        // A 64-bit or to-the-end size does not occur in the files that the passes write.
        const std::optional<Box> box = ReadBoxHeader(header, 0);
        if (!box || box->size > file.size() - at)
            return Failure(QStringLiteral("The file's boxes cannot be read."));
        if (box->type == "moov") {
            if (!file.seek(at))
                return Failure(file.errorString());
            const QByteArray moov = file.read(box->size);
            const qint64 level = FindLevelByte(moov, 0, moov.size());
            if (level < 0)
                return Failure(QStringLiteral("The H.263 track has no 'd263' box."));
            const char value =
                char(H263LevelFor(stream->width, stream->height, stream->fps, stream->kbps));
            if (!file.seek(at + level) || file.write(&value, 1) != 1 || !file.flush())
                return Failure(file.errorString());
            return {};
        }
        at += box->size;
    }
    return Failure(QStringLiteral("The file has no index ('moov')."));
}
