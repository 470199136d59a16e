// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Result.h"
#include "engine/JobList.h"
#include "profiles/OutputType.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// What a profile's first pass asks of the encoder, for sizes: read from its options.
struct ProfileRates {
    double videoBitsPerSecond = 0.0; // "-b:v": what rate control aims at; 0 when not named
    double audioBitsPerSecond = 0.0; // "-b:a"; 0 when not named
    // The most "-b:v" may become when a file is fitted to a size: the profile's level's rate
    // with the room its own rate leaves below it, or the profile's own rate without a level.
    double videoRateCap = 0.0;
};
ProfileRates RatesOfTemplates(const QStringList& passTemplates);

// The bytes a 3GP file spends besides its streams (boxes, the sample index) for a range of
// this many seconds.
qint64 ContainerOverheadBytes(double seconds);

// A size as people write it: "300K", "300KB", "1M", "1.5MB" or plain bytes ("250000");
// K is 1000 bytes and M a million, as file managers count. nullopt for anything else or 0.
std::optional<qint64> ParseFileSize(const QString& text);
// "300 KB", "1.5 MB", "2.4 GB": a size for people in three figures, in the same units.
QString FormatFileSize(qint64 bytes);

// The video rate (bits per second) that makes a range of seconds fit into targetBytes with its
// sound at the profile's rate and the container's overhead, capped by the profile's level.
// Fails with the reason when even the lowest rate worth watching cannot fit (or the sound
// alone is larger); hasVideo false checks the sound only (the result is then 0).
Result<double> FitVideoRate(qint64 targetBytes, double seconds, const ProfileRates& rates,
                            bool hasVideo = true);
// The lowest video rate worth making: below it only blocks are left.
constexpr double LowestFitVideoRate = 16000.0;

// The factor for the video rates of a second encode of a file that came out at madeBytes, over
// the targetBytes it must fit into: lowered in proportion to the video's share of the excess.
double RefitFactor(qint64 targetBytes, qint64 madeBytes, double seconds, const ProfileRates& rates);

// The share of the profile's picture rate that a fitted file keeps when its video rates are
// the profile's times videoFactor: all of it down to 60% of the rate, then down in proportion
// to half (15 fps becomes 7.5), where the encoder's coarsest pictures would no longer fit.
double FitPictureRateShare(double videoFactor);

// The profile a batch converts with, as far as sizes are concerned.
struct SizeProfile {
    QString key; // the profile's name in the correction file: "<profile file>/<section>"
    ProfileRates rates;
};
// The profile at list selection of an output type's profile file; nullopt when there is none.
std::optional<SizeProfile> ReadSizeProfile(OutputType type, int listSelection);
QString SizeProfileKey(OutputType type, const QString& sectionName);

// Expected sizes of output files: the profile's rates times the range plus the container's
// overhead, corrected by what earlier jobs of the same profile really produced. The
// corrections are kept in the user's cache folder ("size-corrections.json") across runs.
class SizeModel {
public:
    // Reads the corrections kept by earlier runs.
    static SizeModel Load();
    static QString CorrectionFilePath();

    // How much larger (above 1) or smaller real files of a profile come out than its rates say;
    // 1 until a job of that profile has finished.
    double Correction(const QString& profileKey) const {
        return corrections.value(profileKey, 1.0);
    }

    // The expected bytes of a job's output; fitBytes (0: off) is a size it must fit into.
    qint64 EstimateJob(const Job& job, const SizeProfile& profile, qint64 fitBytes = 0) const;
    // The sum over the jobs that a batch converts (with retryUnfinished, only those a retry
    // converts).
    qint64 EstimateBatch(const JobList& jobs, const SizeProfile& profile, qint64 fitBytes = 0,
                         bool retryUnfinished = false) const;
    // The same where jobs may have profiles of their own: profileOf gives a job's (nullopt: the
    // job counts nothing).
    using ProfileOfJob = std::function<std::optional<SizeProfile>(const Job&)>;
    qint64 EstimateBatch(const JobList& jobs, const ProfileOfJob& profileOf, qint64 fitBytes = 0,
                         bool retryUnfinished = false) const;

    // A job of the profile that was expected (uncorrected) at estimatedBytes made actualBytes:
    // the profile's correction moves toward that ratio and is written to the file at once.
    void Record(const QString& profileKey, qint64 estimatedBytes, qint64 actualBytes);

private:
    QHash<QString, double> corrections;
};

// The uncorrected bytes of a range of seconds at a profile's rates.
qint64 RawEstimateBytes(double seconds, const ProfileRates& rates);
