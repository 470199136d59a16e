// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Result.h"

#include <QString>

// What a media file holds, as far as the converter needs to know before converting it.
struct MediaInfo {
    double duration = 0.0; // playing time in seconds
    bool hasVideo = false;
    bool hasAudio = false;
};

// Opens a media file with libavformat and reads its playing time. A missing, empty,
// truncated or non-media file fails with a message that names the problem, and so does a
// path that is not a regular file (CheckRegularFile).
Result<MediaInfo> ProbeMedia(const QString& path);

// A source must be a regular file: a named pipe, a device or a socket would keep its reader
// waiting for ever (or give something else at every read). Fails with what the path names
// instead; a path that names nothing passes (its reader says so in its own way).
Result<void> CheckRegularFile(const QString& path);

// True for a still picture: a picture format (PNG, JPEG, ...) or a single frame, without sound.
// There is nothing to convert in it. False for anything it cannot open.
bool IsStillPicture(const QString& path);
