// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/PhoneConformance.h"

#include "media/Mp4Boxes.h"
#include "media/VideoLevel.h"

#include <QCoreApplication>
#include <QFile>

#include <cmath>

namespace {

SampleTable SamplesOf(const Mp4Track& track) {
    return {track.timescale, track.sampleSizes, track.sampleDeltas};
}

QByteArray BigEndian(quint64 value, int bytes) {
    QByteArray out(bytes, '\0');
    for (int i = bytes - 1; i >= 0; --i, value >>= 8)
        out[i] = char(value & 0xFF);
    return out;
}

Result<void> WriteAt(QFile& file, qint64 at, const QByteArray& bytes) {
    if (!file.seek(at) || file.write(bytes) != bytes.size())
        return Failure(file.errorString());
    return {};
}

// The rate fields of a track: the copy passes of 3GP2 leave a buffer of 0 and the average as
// maximum, and the encoder's own maximum is its cap, not what the stream does.
Result<void> WriteRateFields(QFile& file, const Mp4Track& track) {
    if (track.esdsRatesAt < 0 && track.btrtAt < 0)
        return {};
    const SampleTable samples = SamplesOf(track);
    const RateFigures rates = MeasureRates(samples);
    const auto clamp32 = [](double value) {
        return quint64(std::min(std::ceil(value), 4294967295.0));
    };
    const quint64 peak = clamp32(rates.peakBitRate);
    const quint64 average = clamp32(rates.averageBitRate);
    const double bufferBits =
        std::max(BucketFullness(samples, rates.peakBitRate), rates.largestSampleBits);
    const quint64 bufferBytes = clamp32(bufferBits / 8.0);
    if (track.esdsRatesAt >= 0) {
        const QByteArray fields = BigEndian(std::min<quint64>(bufferBytes, 0xFFFFFF), 3) +
                                  BigEndian(peak, 4) + BigEndian(average, 4);
        if (Result<void> written = WriteAt(file, track.esdsRatesAt, fields); !written)
            return written;
    }
    if (track.btrtAt >= 0) {
        const QByteArray fields =
            BigEndian(bufferBytes, 4) + BigEndian(peak, 4) + BigEndian(average, 4);
        if (Result<void> written = WriteAt(file, track.btrtAt, fields); !written)
            return written;
    }
    return {};
}

PhoneCheck NotFit(const QString& problem, double overshoot = 0.0) {
    return {false, problem, overshoot};
}

} // namespace

Result<PhoneCheck> CheckPhoneFile(const QString& path, int targetLevel) {
    const Result<Mp4Index> index = ReadMp4Index(path);
    if (!index)
        return Failure(index.error());
    if (targetLevel > 0 && !index->moovFirst)
        return NotFit(QCoreApplication::translate(
            "PhoneConformance", "The file's index comes after its media data, so a phone "
                                "cannot play it while it downloads."));

    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return Failure(file.errorString());
    for (const Mp4Track& track : index->tracks) {
        if (track.handler != "vide")
            continue;
        const SampleTable samples = SamplesOf(track);
        std::optional<LevelLimits> limits;
        if (track.format == "s263") {
            if (track.h263LevelAt < 0)
                return Failure(QCoreApplication::translate("PhoneConformance",
                                                           "The H.263 track has no 'd263' box."));
            const int level =
                targetLevel > 0 ? targetLevel : LowestH263Level(track.width, track.height, samples);
            if (Result<void> written = WriteAt(file, track.h263LevelAt, QByteArray(1, char(level)));
                !written)
                return Failure(written.error());
            if (targetLevel > 0) {
                limits = H263LevelLimits(targetLevel, track.width, track.height);
                if (!limits)
                    return NotFit(
                        QCoreApplication::translate("PhoneConformance",
                                                    "The profile asks for H.263 level %1, which "
                                                    "this program does not know.")
                            .arg(targetLevel));
            }
        } else if (track.format == "mp4v" && targetLevel > 0) {
            if (track.mpeg4ProfileLevel != targetLevel)
                return NotFit(
                    QCoreApplication::translate("PhoneConformance",
                                                "The video says MPEG-4 profile and level %1, but "
                                                "the profile asks for %2.")
                        .arg(track.mpeg4ProfileLevel)
                        .arg(targetLevel));
            limits = Mpeg4LevelLimits(targetLevel);
            if (!limits)
                return NotFit(
                    QCoreApplication::translate("PhoneConformance",
                                                "The profile asks for MPEG-4 profile and level "
                                                "%1, which this program does not know.")
                        .arg(targetLevel));
        }
        if (limits) {
            const LevelFit fit = FitLevel(*limits, track.width, track.height, samples);
            if (!fit.fits)
                return NotFit(fit.problem, fit.overshoot);
        }
    }
    for (const Mp4Track& track : index->tracks) {
        if (Result<void> written = WriteRateFields(file, track); !written)
            return Failure(written.error());
    }
    if (!file.flush())
        return Failure(file.errorString());
    return PhoneCheck{};
}
