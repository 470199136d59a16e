// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class JobList;

// How a batch went, counted from the job list once it has ended.
struct BatchCounts {
    int total = 0;
    int finished = 0;
    int failed = 0;
    int canceled = 0;
    int skipped = 0;
    int notConverted = 0; // left untouched by a Stop

    static BatchCounts Of(const JobList& jobs);
    bool AllFinished() const { return total > 0 && finished == total; }
};

// The end-of-batch box: its text, and its caption ("Information", or "Warning" when a job
// failed). When every job finished the text is the usual "Converting Finished"; otherwise it
// counts the outcomes of the jobs the batch was to convert, names the jobs skipped by the
// user's choice apart, and says where the reasons of failures are (the rows' tooltips and
// logPath).
QString BatchEndText(const BatchCounts& counts, const QString& logPath);
QString BatchEndCaption(const BatchCounts& counts);
// One line for a desktop notification.
QString BatchEndSummary(const BatchCounts& counts);
