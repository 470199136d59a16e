// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/Mp4Boxes.h"

#include <QCoreApplication>
#include <QFile>

#include <optional>

namespace {

// A phone file's index is a few hundred kilobytes at most; more is damage or an attack.
constexpr qint64 MaxIndexBytes = 64 * 1024 * 1024;
// About 3 days of pictures at 60 per second: a sample table beyond that is not a phone file.
constexpr quint64 MaxSamples = 16 * 1024 * 1024;
// moov/trak/mdia/minf/stbl/stsd/entry/esds is 8 deep; anything much deeper is not ours.
constexpr int MaxDepth = 12;

quint64 BigEndian(const QByteArray& data, qint64 at, int bytes) {
    quint64 value = 0;
    for (int i = 0; i < bytes; ++i)
        value = value << 8 | quint8(data[at + i]);
    return value;
}

struct Box {
    QByteArray type;
    qint64 body = 0; // offset of the contents
    qint64 end = 0;  // offset after the box
};

// The box at `at` inside [at, end) of data; nullopt when its header is cut or its size does
// not fit (a size of 0 runs to the end).
std::optional<Box> BoxAt(const QByteArray& data, qint64 at, qint64 end) {
    if (at < 0 || at + 8 > end)
        return std::nullopt;
    Box box;
    quint64 size = BigEndian(data, at, 4);
    box.type = data.mid(at + 4, 4);
    box.body = at + 8;
    if (size == 1) {
        if (at + 16 > end)
            return std::nullopt;
        size = BigEndian(data, at + 8, 8);
        box.body = at + 16;
    } else if (size == 0) {
        size = quint64(end - at);
    }
    if (size < quint64(box.body - at) || size > quint64(end - at))
        return std::nullopt;
    box.end = at + qint64(size);
    return box;
}

class IndexParser {
public:
    IndexParser(const QByteArray& moov, qint64 fileOffset) : data(moov), base(fileOffset) {}

    Result<void> Walk(qint64 begin, qint64 end, Mp4Track* track, int depth) {
        if (depth > MaxDepth)
            return Failure(
                QCoreApplication::translate("Mp4Boxes", "The file's boxes are nested too deep."));
        for (qint64 at = begin; at < end;) {
            const std::optional<Box> box = BoxAt(data, at, end);
            if (!box)
                return Failure(QCoreApplication::translate(
                    "Mp4Boxes", "The file's index holds a damaged box."));
            at = box->end;
            if (box->type == "trak") {
                Mp4Track record;
                if (Result<void> walked = Walk(box->body, box->end, &record, depth + 1); !walked)
                    return walked;
                tracks.append(record);
            } else if (box->type == "mdia" || box->type == "minf" || box->type == "stbl") {
                if (track == nullptr)
                    continue;
                if (Result<void> walked = Walk(box->body, box->end, track, depth + 1); !walked)
                    return walked;
            } else if (track != nullptr) {
                if (Result<void> read = ReadTrackBox(*box, *track, depth); !read)
                    return read;
            }
        }
        return {};
    }

    QList<Mp4Track> tracks;

private:
    bool Fits(qint64 at, qint64 bytes, qint64 end) const { return at >= 0 && at + bytes <= end; }

    Result<void> ReadTrackBox(const Box& box, Mp4Track& track, int depth) {
        const qint64 at = box.body;
        if (box.type == "mdhd") {
            const bool wide = Fits(at, 1, box.end) && data[at] == 1;
            const qint64 scale = at + (wide ? 20 : 12);
            if (!Fits(scale, 4, box.end))
                return Failure(
                    QCoreApplication::translate("Mp4Boxes", "The file's 'mdhd' box is cut short."));
            track.timescale = quint32(BigEndian(data, scale, 4));
        } else if (box.type == "hdlr") {
            if (Fits(at, 12, box.end))
                track.handler = data.mid(at + 8, 4);
        } else if (box.type == "stsd") {
            // The first sample entry describes the stream.
            if (const std::optional<Box> entry = BoxAt(data, at + 8, box.end))
                return ReadSampleEntry(*entry, track, depth + 1);
        } else if (box.type == "stts") {
            return ReadTimes(box, track);
        } else if (box.type == "stsz") {
            return ReadSizes(box, track);
        }
        return {};
    }

    Result<void> ReadSampleEntry(const Box& entry, Mp4Track& track, int depth) {
        track.format = entry.type;
        const bool visual = entry.type == "s263" || entry.type == "mp4v" || entry.type == "h263" ||
                            entry.type == "avc1";
        if (visual && Fits(entry.body, 28, entry.end)) {
            track.width = int(BigEndian(data, entry.body + 24, 2));
            track.height = int(BigEndian(data, entry.body + 26, 2));
        }
        // Children follow the entry's fixed part: 78 bytes for pictures, 28 for sound.
        const qint64 children = entry.body + (visual ? 78 : 28);
        if (depth + 1 > MaxDepth)
            return Failure(
                QCoreApplication::translate("Mp4Boxes", "The file's boxes are nested too deep."));
        for (qint64 at = children; at < entry.end;) {
            const std::optional<Box> child = BoxAt(data, at, entry.end);
            if (!child)
                break; // some writers pad entries: the fields read so far stand
            at = child->end;
            if (child->type == "d263" && Fits(child->body, 7, child->end)) {
                track.h263LevelAt = base + child->body + 5; // vendor 4, version 1, level
                track.h263Level = quint8(data[child->body + 5]);
            } else if (child->type == "esds") {
                ReadEsds(*child, track);
            } else if (child->type == "btrt" && Fits(child->body, 12, child->end)) {
                track.btrtAt = base + child->body;
            }
        }
        return {};
    }

    // One MPEG-4 descriptor: tag, then a length of 1 to 4 bytes of 7 bits each.
    struct Descriptor {
        int tag = 0;
        qint64 body = 0;
        qint64 end = 0;
    };
    std::optional<Descriptor> DescriptorAt(qint64 at, qint64 end) const {
        if (!Fits(at, 2, end))
            return std::nullopt;
        Descriptor found;
        found.tag = quint8(data[at++]);
        qint64 length = 0;
        for (int i = 0; i < 4; ++i) {
            if (at >= end)
                return std::nullopt;
            const quint8 byte = quint8(data[at++]);
            length = length << 7 | (byte & 0x7F);
            if (!(byte & 0x80))
                break;
        }
        if (!Fits(at, length, end))
            return std::nullopt;
        found.body = at;
        found.end = at + length;
        return found;
    }

    void ReadEsds(const Box& esds, Mp4Track& track) {
        // Full box header, then ES_Descriptor (3) holding DecoderConfigDescriptor (4).
        const std::optional<Descriptor> es = DescriptorAt(esds.body + 4, esds.end);
        if (!es || es->tag != 3 || !Fits(es->body, 3, es->end))
            return;
        const quint8 flags = quint8(data[es->body + 2]);
        qint64 at = es->body + 3 + ((flags & 0x80) ? 2 : 0);
        if ((flags & 0x40) && Fits(at, 1, es->end))
            at += 1 + quint8(data[at]);
        at += (flags & 0x20) ? 2 : 0;
        while (const std::optional<Descriptor> config = DescriptorAt(at, es->end)) {
            at = config->end;
            if (config->tag != 4 || !Fits(config->body, 13, config->end))
                continue;
            track.esdsRatesAt = base + config->body + 2; // object type 1, stream type 1
            qint64 in = config->body + 13;
            while (const std::optional<Descriptor> info = DescriptorAt(in, config->end)) {
                in = info->end;
                if (info->tag != 5)
                    continue;
                // MPEG-4 video: visual_object_sequence_start_code, then the indication.
                const QByteArray bytes = data.mid(info->body, info->end - info->body);
                const qsizetype vos = bytes.indexOf(QByteArray("\x00\x00\x01\xB0", 4));
                if (vos >= 0 && vos + 4 < bytes.size())
                    track.mpeg4ProfileLevel = quint8(bytes[vos + 4]);
            }
            return;
        }
    }

    Result<void> ReadTimes(const Box& box, Mp4Track& track) {
        if (!Fits(box.body, 8, box.end))
            return Failure(
                QCoreApplication::translate("Mp4Boxes", "The file's 'stts' box is cut short."));
        const quint64 entries = BigEndian(data, box.body + 4, 4);
        if (!Fits(box.body + 8, qint64(entries) * 8, box.end))
            return Failure(
                QCoreApplication::translate("Mp4Boxes", "The file's 'stts' box is cut short."));
        track.sampleDeltas.clear();
        for (quint64 i = 0; i < entries; ++i) {
            const qint64 at = box.body + 8 + qint64(i) * 8;
            const quint64 count = BigEndian(data, at, 4);
            if (track.sampleDeltas.size() + count > MaxSamples)
                return Failure(QCoreApplication::translate(
                    "Mp4Boxes", "The file's sample table is too large."));
            track.sampleDeltas.insert(track.sampleDeltas.size(), qsizetype(count),
                                      quint32(BigEndian(data, at + 4, 4)));
        }
        return {};
    }

    Result<void> ReadSizes(const Box& box, Mp4Track& track) {
        if (!Fits(box.body, 12, box.end))
            return Failure(
                QCoreApplication::translate("Mp4Boxes", "The file's 'stsz' box is cut short."));
        const quint32 fixed = quint32(BigEndian(data, box.body + 4, 4));
        const quint64 count = BigEndian(data, box.body + 8, 4);
        if (count > MaxSamples)
            return Failure(
                QCoreApplication::translate("Mp4Boxes", "The file's sample table is too large."));
        if (fixed != 0) {
            track.sampleSizes = QList<quint32>(qsizetype(count), fixed);
            return {};
        }
        if (!Fits(box.body + 12, qint64(count) * 4, box.end))
            return Failure(
                QCoreApplication::translate("Mp4Boxes", "The file's 'stsz' box is cut short."));
        track.sampleSizes.resize(qsizetype(count));
        for (quint64 i = 0; i < count; ++i)
            track.sampleSizes[qsizetype(i)] =
                quint32(BigEndian(data, box.body + 12 + qint64(i) * 4, 4));
        return {};
    }

    const QByteArray& data;
    const qint64 base; // file offset of data[0]
};

} // namespace

Result<Mp4Index> ReadMp4Index(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Failure(file.errorString());
    Mp4Index index;
    bool mediaSeen = false;
    const qint64 size = file.size();
    for (qint64 at = 0; at + 8 <= size;) {
        if (!file.seek(at))
            return Failure(file.errorString());
        // The header alone is in memory: its size is checked against the rest of the file.
        const QByteArray header = file.read(16);
        std::optional<Box> box = BoxAt(header, 0, size - at);
        if (!box)
            return Failure(
                QCoreApplication::translate("Mp4Boxes", "The file's boxes cannot be read."));
        box->body += at;
        box->end += at;
        if (box->type == "mdat")
            mediaSeen = true;
        if (box->type == "moov" && index.tracks.isEmpty()) {
            const qint64 length = box->end - box->body;
            if (length > MaxIndexBytes)
                return Failure(
                    QCoreApplication::translate("Mp4Boxes", "The file's index is too large."));
            index.moovFirst = !mediaSeen;
            if (!file.seek(box->body))
                return Failure(file.errorString());
            const QByteArray moov = file.read(length);
            if (moov.size() != length)
                return Failure(
                    QCoreApplication::translate("Mp4Boxes", "The file's index is cut short."));
            IndexParser parser(moov, box->body);
            if (Result<void> walked = parser.Walk(0, moov.size(), nullptr, 0); !walked)
                return Failure(walked.error());
            index.tracks = parser.tracks;
            if (index.tracks.isEmpty())
                return Failure(
                    QCoreApplication::translate("Mp4Boxes", "The file's index holds no track."));
        }
        at = box->end;
    }
    if (index.tracks.isEmpty())
        return Failure(QCoreApplication::translate("Mp4Boxes", "The file has no index ('moov')."));
    return index;
}
