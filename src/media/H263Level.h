// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Result.h"

#include <QString>

// The H.263 level (profile 0) that a stream of this frame size, frame rate and bit rate
// needs: 10 (QCIF, 15 fps, 64 kbit/s), 45 (QCIF, 15 fps, 128 kbit/s), 20 (CIF, 15 fps,
// 128 kbit/s), 30 (CIF, 30 fps, 384 kbit/s), 40 (2048 kbit/s), 50, 60 or 70 beyond.
int H263LevelFor(int width, int height, double framesPerSecond, double kilobitsPerSecond);

// Writes the level that its H.263 track needs into a 3GP or 3G2 file's 'd263' box (the
// writer always says 10). Succeeds when the file has no H.263 track or now says the right
// level; fails, with the reason, when it cannot be read or written.
Result<void> WriteH263Level(const QString& path);
