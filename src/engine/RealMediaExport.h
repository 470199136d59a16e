// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// Which of the exporter's codecs a RealMedia range is exported with. When both a video and an
// audio codec are found the export is an AVI with them; otherwise it is an MPEG file and no
// codec is chosen.
struct ExportCodecChoice {
    int videoIndex = -1; // position in the video codec list, or -1
    int audioIndex = -1; // position in the audio codec list, or -1

    bool IsAvi() const { return videoIndex >= 0 && audioIndex >= 0; }
};

// Picks the codecs by the case-sensitive parts of their names: video "Microsoft MPEG-4 Video
// Codec V3", else "DivX"; audio "MPEG Layer-3", else "PCM". A later match replaces an earlier one.
ExportCodecChoice ChooseExportCodecs(const QStringList& videoCodecs,
                                     const QStringList& audioCodecs);

// The exporter's output format number for the choice: 8 for AVI, 6 for MPEG.
int ExportOutputFormat(const ExportCodecChoice& choice);

// The intermediate file: dir (ending with a separator) + "%s_%d.avi" or "%s_%d.mpg".
QString ExportFileName(const QString& dir, const QString& baseName, bool avi, int number);

// A number from low to high (the top may reach high + 1), seeded from the clock's seconds, so
// two calls in the same second give the same number. high < low gives low.
int RandomInRange(int low, int high);
