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
// truncated or non-media file fails with a message that names the problem.
Result<MediaInfo> ProbeMedia(const QString& path);

// True for a still picture: a picture format (PNG, JPEG, ...) or a single frame, without sound.
// There is nothing to convert in it. False for anything it cannot open.
bool IsStillPicture(const QString& path);
