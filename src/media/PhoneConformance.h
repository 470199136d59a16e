// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Result.h"

#include <QString>

// What a phone would say about a finished file, judged from its index alone (no decoding).
struct PhoneCheck {
    bool fits = true;
    QString problem;        // why it does not, for people
    double overshoot = 0.0; // above 1: by how much the rate was too high; 0: no lower rate helps
};

// Judges the 3GP or 3G2 file at path as a phone reads it and writes the fields that a phone
// sizes its buffers by. With a targetLevel (the profile's "-level"), the index must come
// first and the video must fit that level by the standard's model (picture size and rate,
// average rate, decoder buffer, largest H.263 picture); an H.263 track is marked with that
// level. Without one, an H.263 track is marked with the lowest level that it fits. When the
// file fits, the 'esds' (and 'btrt') of every track get the track's true figures: the
// average rate, the most bits in any one second and the buffer that this peak rate needs.
// Fails only when the file cannot be read or written.
Result<PhoneCheck> CheckPhoneFile(const QString& path, int targetLevel);
