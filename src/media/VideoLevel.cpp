// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/VideoLevel.h"

#include <QCoreApplication>

#include <algorithm>

namespace {

// The picture clock of both standards is 30000/1001 Hz; 15 fps streams (intervals of 1/15 s)
// are the common reading of "every second picture", so intervals this much shorter count.
constexpr double IntervalSlack = 0.999;
constexpr double PictureClock = 30000.0 / 1001.0;

bool QcifOrSmaller(int width, int height) {
    return width <= 176 && height <= 144;
}

int Macroblocks(int width, int height) {
    return ((width + 15) / 16) * ((height + 15) / 16);
}

} // namespace

std::optional<LevelLimits> H263LevelLimits(int level, int width, int height) {
    LevelLimits limits;
    limits.name = QStringLiteral("H.263 Level %1").arg(level);
    const bool small = QcifOrSmaller(width, height);
    switch (level) {
    case 10:
    case 45:
        limits.maxWidth = 176;
        limits.maxHeight = 144;
        limits.maxPicturesPerSecond = PictureClock / 2;
        limits.maxBitRate = level == 10 ? 64000 : 128000;
        break;
    case 20:
        limits.maxWidth = 352;
        limits.maxHeight = 288;
        limits.maxPicturesPerSecond = small ? PictureClock : PictureClock / 2;
        limits.maxBitRate = 128000;
        break;
    case 30:
    case 40:
        limits.maxWidth = 352;
        limits.maxHeight = 288;
        limits.maxPicturesPerSecond = PictureClock;
        limits.maxBitRate = level == 30 ? 384000 : 2048000;
        break;
    default:
        return std::nullopt;
    }
    // Annex B: B = 4 Rmax / 29.97 + BPPmaxKb x 1024, BPPmaxKb 64 up to QCIF, 256 at CIF.
    limits.maxPictureBits = (small ? 64 : 256) * 1024.0;
    limits.bufferBits = 4 * limits.maxBitRate / PictureClock + limits.maxPictureBits;
    return limits;
}

std::optional<LevelLimits> Mpeg4LevelLimits(int profileAndLevel) {
    struct Row {
        int indication;
        const char* level;
        int macroblocks;
        double macroblocksPerSecond;
        double bitRate;
        int vbvUnits; // of 16384 bits
    };
    static constexpr Row rows[] = {
        {0x08, "0", 99, 1485, 64000, 10},    {0x09, "0b", 99, 1485, 128000, 20},
        {0x01, "1", 99, 1485, 64000, 10},    {0x02, "2", 396, 5940, 128000, 40},
        {0x03, "3", 396, 11880, 384000, 40},
    };
    for (const Row& row : rows) {
        if (row.indication != profileAndLevel)
            continue;
        LevelLimits limits;
        limits.name = QStringLiteral("MPEG-4 Simple Profile Level %1").arg(row.level);
        limits.maxMacroblocks = row.macroblocks;
        limits.maxMacroblocksPerSecond = row.macroblocksPerSecond;
        limits.maxBitRate = row.bitRate;
        limits.bufferBits = row.vbvUnits * 16384.0;
        return limits;
    }
    return std::nullopt;
}

RateFigures MeasureRates(const SampleTable& table) {
    RateFigures figures;
    const qsizetype count = std::min(table.sizes.size(), table.deltas.size());
    if (count == 0 || table.timescale == 0)
        return figures;
    const double scale = table.timescale;
    QList<double> times(count);
    quint64 ticks = 0;
    double bits = 0.0;
    for (qsizetype i = 0; i < count; ++i) {
        times[i] = double(ticks) / scale;
        ticks += table.deltas[i];
        bits += 8.0 * table.sizes[i];
        figures.largestSampleBits = std::max(figures.largestSampleBits, 8.0 * table.sizes[i]);
        if (i > 0) {
            const double interval = times[i] - times[i - 1];
            if (figures.shortestInterval == 0.0 || interval < figures.shortestInterval)
                figures.shortestInterval = interval;
        }
    }
    figures.seconds = double(ticks) / scale;
    figures.averageBitRate = bits / std::max(figures.seconds, 1.0);
    // Every window that starts at a sample: the busiest second starts at one.
    double window = 0.0;
    for (qsizetype first = 0, next = 0; first < count; ++first) {
        for (; next < count && times[next] < times[first] + 1.0; ++next)
            window += 8.0 * table.sizes[next];
        figures.peakBitRate = std::max(figures.peakBitRate, window);
        window -= 8.0 * table.sizes[first];
    }
    return figures;
}

double BucketFullness(const SampleTable& table, double rate) {
    const qsizetype count = std::min(table.sizes.size(), table.deltas.size());
    if (table.timescale == 0)
        return 0.0;
    double fullness = 0.0;
    double most = 0.0;
    for (qsizetype i = 0; i < count; ++i) {
        if (i > 0)
            fullness = std::max(0.0, fullness - rate * table.deltas[i - 1] / table.timescale);
        fullness += 8.0 * table.sizes[i];
        most = std::max(most, fullness);
    }
    return most;
}

LevelFit FitLevel(const LevelLimits& limits, int width, int height, const SampleTable& table) {
    LevelFit fit;
    QStringList problems;
    const RateFigures rates = MeasureRates(table);
    const double fastest = rates.shortestInterval > 0.0 ? 1.0 / rates.shortestInterval : 0.0;
    if (limits.maxWidth > 0 && (width > limits.maxWidth || height > limits.maxHeight))
        problems.append(
            QCoreApplication::translate("VideoLevel", "pictures of %1x%2").arg(width).arg(height));
    if (limits.maxPicturesPerSecond > 0 && fastest * IntervalSlack > limits.maxPicturesPerSecond)
        problems.append(QCoreApplication::translate("VideoLevel", "%1 pictures per second")
                            .arg(fastest, 0, 'f', 2));
    const int macroblocks = Macroblocks(width, height);
    if (limits.maxMacroblocks > 0 && macroblocks > limits.maxMacroblocks)
        problems.append(QCoreApplication::translate("VideoLevel", "%1 macroblocks per picture")
                            .arg(macroblocks));
    if (limits.maxMacroblocksPerSecond > 0 &&
        macroblocks * fastest * IntervalSlack > limits.maxMacroblocksPerSecond)
        problems.append(QCoreApplication::translate("VideoLevel", "%1 macroblocks per second")
                            .arg(macroblocks * fastest, 0, 'f', 0));
    const bool mendable = problems.isEmpty();

    const double average = rates.averageBitRate / limits.maxBitRate;
    const double buffer = BucketFullness(table, limits.maxBitRate) / limits.bufferBits;
    const double picture =
        limits.maxPictureBits > 0 ? rates.largestSampleBits / limits.maxPictureBits : 0.0;
    if (average > 1.0)
        problems.append(QCoreApplication::translate("VideoLevel", "an average of %1 kbit/s")
                            .arg(rates.averageBitRate / 1000.0, 0, 'f', 1));
    if (buffer > 1.0)
        problems.append(QCoreApplication::translate("VideoLevel", "a decoder buffer of %1 kbit")
                            .arg(buffer * limits.bufferBits / 1000.0, 0, 'f', 1));
    if (picture > 1.0)
        problems.append(QCoreApplication::translate("VideoLevel", "a picture of %1 bits")
                            .arg(rates.largestSampleBits, 0, 'f', 0));
    if (problems.isEmpty())
        return fit;
    fit.fits = false;
    fit.problem = QCoreApplication::translate(
                      "VideoLevel", "The video does not fit %1 (%2 kbit/s, a %3 kbit buffer): %4.")
                      .arg(limits.name)
                      .arg(limits.maxBitRate / 1000.0, 0, 'f', 0)
                      .arg(limits.bufferBits / 1000.0, 0, 'f', 1)
                      .arg(problems.join(QStringLiteral(", ")));
    fit.overshoot = mendable ? std::max({average, buffer, picture}) : 0.0;
    return fit;
}

int LowestH263Level(int width, int height, const SampleTable& table) {
    for (const int level : {10, 45, 20, 30, 40}) {
        if (FitLevel(*H263LevelLimits(level, width, height), width, height, table).fits)
            return level;
    }
    return 70;
}
