// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/RealMediaExport.h"

#include <QRandomGenerator>

namespace {

// The position of the preferred match if any, else of the fallback match, else -1.
int ChooseCodec(const QStringList& names, const QString& preferred, const QString& fallback) {
    int preferredMatch = -1;
    int fallbackMatch = -1;
    for (int i = 0; i < names.size(); ++i) {
        if (names.at(i).contains(preferred, Qt::CaseSensitive))
            preferredMatch = i;
        if (names.at(i).contains(fallback, Qt::CaseSensitive))
            fallbackMatch = i;
    }
    return preferredMatch >= 0 ? preferredMatch : fallbackMatch;
}

} // namespace

ExportCodecChoice ChooseExportCodecs(const QStringList& videoCodecs,
                                     const QStringList& audioCodecs) {
    ExportCodecChoice choice;
    choice.videoIndex = ChooseCodec(videoCodecs, QStringLiteral("Microsoft MPEG-4 Video Codec V3"),
                                    QStringLiteral("DivX"));
    choice.audioIndex =
        ChooseCodec(audioCodecs, QStringLiteral("MPEG Layer-3"), QStringLiteral("PCM"));
    return choice;
}

int ExportOutputFormat(const ExportCodecChoice& choice) {
    return choice.IsAvi() ? 8 : 6;
}

QString ExportFileName(const QString& dir, const QString& baseName, bool avi, int number) {
    return dir + QStringLiteral("%1_%2.%3").arg(baseName).arg(number).arg(avi ? "avi" : "mpg");
}

int RandomInRange(int low, int high) {
    if (high < low)
        return low;
    // Seeded once per run, not from the clock at every call: two exports started in the same
    // second must not draw the same number. Values are taken in the range 0 .. 32767.
    const qint64 r = QRandomGenerator::global()->bounded(0x8000);
    return static_cast<int>(low + r * (qint64(high) - low + 1) / 32767);
}
