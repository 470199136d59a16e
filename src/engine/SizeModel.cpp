// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/SizeModel.h"

#include "engine/CommandTemplate.h"
#include "media/AppPaths.h"
#include "media/VideoLevel.h"
#include "profiles/CProfileIniReader.h"
#include "profiles/Profile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

// The profiles aim "-b:v" at about 78% of their level's rate (the rest is room for rate
// control's misses and the retry); a fitted rate keeps that room.
constexpr double LevelRoom = 0.78;
// A fitted file aims a little under its size: rate control misses by a few percent either way.
constexpr double FitAim = 0.96;

double LevelRate(const QString& videoEncoder, int level) {
    std::optional<LevelLimits> limits;
    if (videoEncoder.startsWith(u"h263"))
        limits = H263LevelLimits(level, 176, 144); // the rate does not depend on the size
    else if (videoEncoder == u"mpeg4")
        limits = Mpeg4LevelLimits(level);
    return limits ? limits->maxBitRate : 0.0;
}

QString Seconds(double seconds) {
    return QStringLiteral("%1 s").arg(QLocale::c().toString(seconds, 'f', seconds < 10 ? 1 : 0));
}

QString KilobitsPerSecond(double bits) {
    return QStringLiteral("%1 kbit/s").arg(QLocale::c().toString(bits / 1000.0, 'g', 3));
}

double RangeSeconds(const Job& job) {
    return std::max(job.endTime - job.beginTime, 0.0);
}

} // namespace

ProfileRates RatesOfTemplates(const QStringList& passTemplates) {
    ProfileRates rates;
    const QList<TemplateWord> words = SplitCommandTemplate(passTemplates.value(0));
    QString videoEncoder;
    for (qsizetype i = 0; i + 1 < words.size(); ++i) {
        const QString& option = words[i].text;
        const QString& value = words[i + 1].text;
        if (option == u"-b:v")
            rates.videoBitsPerSecond = ParseBitRate(value).value_or(0.0);
        else if (option == u"-b:a")
            rates.audioBitsPerSecond = ParseBitRate(value).value_or(0.0);
        else if (option == u"-c:v" || option == u"-vcodec")
            videoEncoder = value;
    }
    const double levelRate =
        LevelRate(videoEncoder, TargetVideoLevel(passTemplates.value(0))) * LevelRoom;
    rates.videoRateCap = std::max(rates.videoBitsPerSecond, levelRate);
    return rates;
}

qint64 ContainerOverheadBytes(double seconds) {
    // Measured on 3GP files of 5-30 s: about 1.5 KB of boxes plus the sample index, which
    // grows with the pictures and sound frames per second (300-650 bytes a second).
    return 1500 + qint64(std::ceil(std::max(seconds, 0.0) * 480.0));
}

std::optional<qint64> ParseFileSize(const QString& text) {
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*(\\d+(?:\\.\\d+)?)\\s*(?:(k|m|g)b?|b)?\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    double bytes = QLocale::c().toDouble(match.captured(1));
    const QString unit = match.captured(2).toLower();
    if (unit == u"k")
        bytes *= 1e3;
    else if (unit == u"m")
        bytes *= 1e6;
    else if (unit == u"g")
        bytes *= 1e9;
    if (!(bytes >= 1.0) || bytes > 1e15)
        return std::nullopt;
    return qint64(std::floor(bytes));
}

QString FormatFileSize(qint64 bytes) {
    if (bytes < 1000)
        return QStringLiteral("%1 bytes").arg(bytes);
    static const std::array<const char*, 4> units{"KB", "MB", "GB", "TB"};
    double value = double(bytes) / 1e3;
    std::size_t unit = 0;
    // 999.6 KB would round to "1e+03 KB" in three figures: it is 1 MB.
    while (value >= 999.5 && unit + 1 < units.size()) {
        value /= 1e3;
        ++unit;
    }
    return QStringLiteral("%1 %2").arg(QLocale::c().toString(value, 'g', 3),
                                       QLatin1String(units[unit]));
}

Result<double> FitVideoRate(qint64 targetBytes, double seconds, const ProfileRates& rates,
                            bool hasVideo) {
    const double length = std::max(seconds, 0.001);
    const double budgetBits = double(targetBytes - ContainerOverheadBytes(length)) * 8.0 * FitAim;
    const double audioBits = rates.audioBitsPerSecond * length;
    if (audioBits > 0.0 && audioBits >= budgetBits) {
        return Failure(
            QCoreApplication::translate("SizeModel",
                                        "%1 of sound at %2 alone needs about %3: it cannot fit "
                                        "into %4.")
                .arg(Seconds(length), KilobitsPerSecond(rates.audioBitsPerSecond),
                     FormatFileSize(qint64(audioBits / 8.0) + ContainerOverheadBytes(length)),
                     FormatFileSize(targetBytes)));
    }
    if (!hasVideo)
        return 0.0;
    const double video = std::max(budgetBits - audioBits, 0.0) / length;
    if (video < LowestFitVideoRate) {
        return Failure(QCoreApplication::translate(
                           "SizeModel", "Fitting %1 into %2 leaves %3 for the picture, below the "
                                        "%4 that still shows one: shorten the range or choose a "
                                        "larger size.")
                           .arg(Seconds(length), FormatFileSize(targetBytes),
                                KilobitsPerSecond(video), KilobitsPerSecond(LowestFitVideoRate)));
    }
    return std::min(video, rates.videoRateCap > 0.0 ? rates.videoRateCap : video);
}

double RefitFactor(qint64 targetBytes, qint64 madeBytes, double seconds,
                   const ProfileRates& rates) {
    // Sound and boxes do not shrink with the video rate: only the video's bytes are scaled.
    const double fixed = double(ContainerOverheadBytes(seconds)) +
                         rates.audioBitsPerSecond * std::max(seconds, 0.0) / 8.0;
    const double made = double(madeBytes) - fixed;
    const double allowed = double(targetBytes) * FitAim - fixed;
    if (!(made > 0.0) || !(allowed > 0.0))
        return 0.5;
    return std::clamp(allowed / made, 0.1, 0.97);
}

double FitPictureRateShare(double videoFactor) {
    return std::clamp(videoFactor / 0.6, 0.5, 1.0);
}

std::optional<SizeProfile> ReadSizeProfile(OutputType type, int listSelection) {
    CProfileIniReader reader;
    const Result<ResolvedProfile> profile =
        ResolveProfile(reader, AppPaths::ProfileDirs(), type, listSelection);
    if (!profile)
        return std::nullopt;
    return SizeProfile{SizeProfileKey(type, profile->profile.sectionName),
                       RatesOfTemplates(profile->passTemplates)};
}

QString SizeProfileKey(OutputType type, const QString& sectionName) {
    return ProfileFileName(type) + u'/' + sectionName;
}

qint64 RawEstimateBytes(double seconds, const ProfileRates& rates) {
    const double bits = (rates.videoBitsPerSecond + rates.audioBitsPerSecond) * seconds;
    return qint64(std::llround(bits / 8.0)) + ContainerOverheadBytes(seconds);
}

QString SizeModel::CorrectionFilePath() {
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation) +
           QStringLiteral("/size-corrections.json");
}

SizeModel SizeModel::Load() {
    SizeModel model;
    QFile file(CorrectionFilePath());
    if (!file.open(QIODevice::ReadOnly))
        return model;
    const QJsonObject kept = QJsonDocument::fromJson(file.readAll()).object();
    for (auto it = kept.begin(); it != kept.end(); ++it) {
        const double ratio = it.value().toDouble();
        if (ratio >= 0.2 && ratio <= 5.0) // a damaged entry is ignored, not believed
            model.corrections.insert(it.key(), ratio);
    }
    return model;
}

qint64 SizeModel::EstimateJob(const Job& job, const SizeProfile& profile, qint64 fitBytes) const {
    const double seconds = RangeSeconds(job);
    const qint64 raw = RawEstimateBytes(seconds, profile.rates);
    const qint64 corrected = qint64(std::llround(double(raw) * Correction(profile.key)));
    return fitBytes > 0 ? std::min(corrected, fitBytes) : corrected;
}

qint64 SizeModel::EstimateBatch(const JobList& jobs, const SizeProfile& profile, qint64 fitBytes,
                                bool retryUnfinished) const {
    return EstimateBatch(
        jobs, [&profile](const Job&) { return std::optional(profile); }, fitBytes, retryUnfinished);
}

qint64 SizeModel::EstimateBatch(const JobList& jobs, const ProfileOfJob& profileOf, qint64 fitBytes,
                                bool retryUnfinished) const {
    qint64 total = 0;
    for (const Job& job : jobs) {
        if (retryUnfinished && !NeedsRetry(job.status))
            continue;
        if (const std::optional<SizeProfile> profile = profileOf(job))
            total += EstimateJob(job, *profile, fitBytes);
    }
    return total;
}

void SizeModel::Record(const QString& profileKey, qint64 estimatedBytes, qint64 actualBytes) {
    if (estimatedBytes <= 0 || actualBytes <= 0)
        return;
    const double ratio = std::clamp(double(actualBytes) / double(estimatedBytes), 0.2, 5.0);
    // A moving average: one odd clip moves the estimate, a run of them sets it.
    const auto kept = corrections.constFind(profileKey);
    corrections.insert(profileKey, kept == corrections.cend() ? ratio : *kept * 0.7 + ratio * 0.3);
    const QString path = CorrectionFilePath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QJsonObject all;
    for (auto it = corrections.cbegin(); it != corrections.cend(); ++it)
        all.insert(it.key(), it.value());
    // Written whole or not at all; a file that cannot be written only costs accuracy.
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(QJsonDocument(all).toJson(QJsonDocument::Compact));
        file.commit();
    }
}
