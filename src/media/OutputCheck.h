// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Result.h"

#include <QString>
#include <QStringList>

// What a finished output file must be for a phone to play it.
struct OutputExpectation {
    QString brandPrefix;   // the container's major brand starts so: "3gp" or "3g2"
    bool video = false;    // a picture stream, when the source has one
    bool audio = false;    // a sound stream, when the source has one
    QStringList encoders;  // the profile's encoders ("h263", "libopencore_amrnb", ...)
    double duration = 0.0; // seconds, the job's range
};

// Checks a file as a user would: it opens, carries the brand, the streams and the codecs it
// should, lasts the range within max(0.2 s, two frames), reads to its end packet by packet in
// time order, and every picture and its sound (AMR sampled between the first and last second)
// decode without an error. Fails with the check that failed.
Result<void> CheckOutputFile(const QString& path, const OutputExpectation& expected);
