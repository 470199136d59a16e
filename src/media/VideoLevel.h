// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>

#include <optional>

// What a decoder of one profile and level accepts, as the standards' level tables say:
// H.263 profile 0 (Annex X, with the hypothetical reference decoder of Annex B) and MPEG-4
// Visual Simple Profile (Annex N, with its video buffering verifier).
struct LevelLimits {
    QString name;     // "H.263 Level 45", "MPEG-4 Simple Profile Level 0b"
    int maxWidth = 0; // H.263: the largest picture format
    int maxHeight = 0;
    double maxPicturesPerSecond = 0.0;  // H.263
    int maxMacroblocks = 0;             // MPEG-4: per picture
    double maxMacroblocksPerSecond = 0; // MPEG-4
    double maxBitRate = 0.0;            // bits per second
    double bufferBits = 0.0;            // the decoder buffer
    double maxPictureBits = 0.0;        // H.263's BPPmaxKb x 1024; 0 when the level has none
};

// The limits of H.263 profile 0 at level (10, 45, 20, 30, 40) for pictures of this size
// (the buffer and the largest picture depend on it); nullopt for another level.
std::optional<LevelLimits> H263LevelLimits(int level, int width, int height);
// The limits of an MPEG-4 Visual profile_and_level_indication of Simple Profile (8 = L0,
// 9 = L0b, 1, 2, 3); nullopt for anything else.
std::optional<LevelLimits> Mpeg4LevelLimits(int profileAndLevel);

// A track's samples: sizes in bytes and durations in timescale units, in decoding order.
struct SampleTable {
    quint32 timescale = 0;
    QList<quint32> sizes;
    QList<quint32> deltas;
};

// Rates of a track from its sample table. A clip shorter than a second counts as a second:
// a rate is a budget per second, so its average never exceeds its one-second peak.
struct RateFigures {
    double seconds = 0.0; // the track's length
    double averageBitRate = 0.0;
    double peakBitRate = 0.0; // the most bits in any one-second window
    double largestSampleBits = 0.0;
    double shortestInterval = 0.0; // seconds between two samples; 0 with fewer than two
};
RateFigures MeasureRates(const SampleTable& table);

// The fullest that a leaky bucket draining at rate (bits per second) gets when each sample's
// bits go in at its time: the decoder buffer the stream needs when fed at that rate.
double BucketFullness(const SampleTable& table, double rate);

// Whether a picture stream fits a level. overshoot is the worst of average rate, buffer and
// largest picture against the level's (above 1 when one of them is too large), or 0 when the
// stream does not fit for a reason that a lower rate cannot mend (size, picture rate).
struct LevelFit {
    bool fits = true;
    QString problem; // what does not fit, for people
    double overshoot = 0.0;
};
LevelFit FitLevel(const LevelLimits& limits, int width, int height, const SampleTable& table);

// The lowest H.263 level (10, 45, 20, 30, 40) that the stream fits; 70 when none of them.
int LowestH263Level(int width, int height, const SampleTable& table);
