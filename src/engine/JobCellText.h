// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/Job.h"

#include <QString>

// The columns of the job list, in order.
enum class JobColumn : int {
    Source = 0,
    BeginTime = 1,
    EndTime = 2,
    Output = 3,
    Progress = 4,
};
constexpr int JobColumnCount = 5;

// What the Progress cell of a job shows: a text and, when hasBar, a bar of the given range,
// position and colour.
struct ProgressCell {
    QString text;
    bool hasBar = false;
    int range = 0;
    int position = 0;
    int barRed = 0;
    int barGreen = 0;
    int barBlue = 0;
};

// The colour of every progress bar.
constexpr int ProgressBarRed = 154;
constexpr int ProgressBarGreen = 30;
constexpr int ProgressBarBlue = 28;

// The header text of a column ("Source", "Begin Time", "End Time", "Output", "Progress").
QString JobColumnTitle(JobColumn column);

// The encoded share of a job's range in percent (0 .. 100): 99 and more count as 100, and a
// job without a range is at 0.
int EncodedPercent(const Job& job);

// The Progress cell of a job: " Finished ", "Buffering  12.50%" while a RealMedia range is
// exported, the encoding status during the first pass, "Exporting" and "Changeing" during the
// second and third passes, "Canceled", "Failed", "Skipped", "Interrupted" (after a crash),
// "Source missing" (a remembered row whose file is gone), or nothing while it waits. With
// withTimeLeft (jobs side by side) the encoding status ends with the pass's time left.
ProgressCell JobProgressCell(const Job& job, bool withTimeLeft = false);

// A time left as the user reads it: "45 s left", "3 min left", "1 h 05 min left" (rounded up);
// empty for a negative time (unknown).
QString FormatTimeLeft(double seconds);

// The text of one cell. outputType is the output type combo box's selection (-1 for none);
// only the Output column depends on it, except for a finished job, which shows the name of
// the file it wrote.
QString JobCellText(const Job& job, JobColumn column, int outputType);
