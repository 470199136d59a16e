// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Result.h"

#include <QByteArray>
#include <QList>
#include <QString>

// One track of a 3GP or 3G2 file as its index ('moov') describes it: what a phone reads
// before it decodes anything.
struct Mp4Track {
    QByteArray handler; // "vide", "soun", ...
    QByteArray format;  // the first sample entry: "s263", "mp4v", "mp4a", "samr", ...
    int width = 0;      // of a visual sample entry
    int height = 0;
    quint32 timescale = 0;
    QList<quint32> sampleSizes;  // bytes, in decoding order
    QList<quint32> sampleDeltas; // timescale units, one per sample
    int h263Level = -1;          // the 'd263' level; -1 without that box
    qint64 h263LevelAt = -1;     // file offset of that byte
    int mpeg4ProfileLevel = -1;  // profile_and_level_indication of the 'esds' VOS header
    qint64 esdsRatesAt = -1;     // file offset of bufferSizeDB (3 bytes), maxBitrate, avgBitrate
    qint64 btrtAt = -1;          // file offset of 'btrt': bufferSizeDB, maxBitrate, avgBitrate
};

struct Mp4Index {
    bool moovFirst = false; // the index comes before any media data ("fast start")
    QList<Mp4Track> tracks;
};

// Reads the index of the file at path. The file is untrusted: every size is checked against
// its box, nesting is bounded, and an index or a sample table too large for a phone file is
// refused with the reason.
Result<Mp4Index> ReadMp4Index(const QString& path);
