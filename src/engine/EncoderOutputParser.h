// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/Job.h"

#include <QByteArrayView>

// Takes the encoder's status out of one chunk of its output (at most 255 bytes, cut anywhere)
// and stores it in the job: the frame count gives framesPerSecond, "size=" gives sizeKB and
// "time=" gives encodedTime. A value whose key is missing, or too close to the end of the chunk
// to be read whole, keeps its last value. elapsedMs is the time since the step began; with 0
// the speed is 0.
//
// Fields are read at fixed widths after their key: 6 characters of "frame=", 8 of "size="
// (a unit "kB" or "KiB" ends the number) and 5 of "time=" as seconds; an "hh:mm:ss.xx" time
// is read whole.
void ParseEncoderOutput(QByteArrayView chunk, Job& job, quint32 elapsedMs);
