// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/StandardOutput.h"
#include "engine/JobList.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>

// morvane-cli's --verbose: the encoders' own lines, each tagged with its job ("[2/5] ") and
// escaped as in log.txt. The encoder ends its status lines with a carriage return; each
// becomes a line of its own. Jobs side by side keep their halves of a line apart.
class EncoderEcho {
public:
    EncoderEcho(const JobList& jobs, StandardOutput& out);

    // A chunk of a job's encoder output, as it came.
    void Output(int row, QByteArrayView chunk);
    // The job has ended: what is left of its last line is printed.
    void JobEnded(int row);

private:
    void Print(int row, QByteArrayView line);

    const JobList& jobs;
    StandardOutput& out;
    QHash<int, QByteArray> pending; // the start of a line, by row
};
