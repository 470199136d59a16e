// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/Job.h"

#include <QDateTime>
#include <QStringList>

#include <optional>

// An encoder command ready to run: the program and its arguments, never a shell string.
struct CommandLine {
    QStringList arguments; // the program first, then its arguments

    bool IsEmpty() const { return arguments.isEmpty(); }
    QString Program() const { return arguments.value(0); }
    QStringList ProgramArguments() const { return arguments.mid(1); }
    // The command as one line for logs; arguments with blanks or quotes are quoted.
    QString Printable() const;
};

// One word of a template: its text and whether any part of it was written in quotes.
struct TemplateWord {
    QString text;
    bool quoted = false;
};

// Splits a template into words: blanks separate them, double quotes group and are removed,
// a backslash is an ordinary character (so Windows paths survive).
QList<TemplateWord> SplitCommandTemplate(const QString& commandTemplate);

// "%d-%02d-%02d %02d:%02d:%02d" of a local time, as "$TIMESTAMP" gives it.
QString FormatTimestamp(const QDateTime& time);

// "$START" of a job: its begin as "hh:mm:ss.mmm" (rounded down to the millisecond), or
// nothing when the range starts at the beginning of the file it reads.
QString TemplateStart(const Job& job);
// "$LENGTH" of a job: the range's length as "hh:mm:ss.mmm", never shorter than the range; a
// range that ends at the clip's end gets a second more, so the file is read to its real end.
QString TemplateLength(const Job& job);

// Expands a profile's command template for a job. The template is split into words first,
// then "$INPUT_FILE", "$START", "$LENGTH", "$TIMESTAMP", "$OUTPUT_DIR" and "$OUTPUT_FILE"
// are replaced inside each word, so a value can never add or split an argument. Values are
// inserted as they are and never scanned again for variables. Blanks at both ends of a word
// written without quotes are dropped, and such a word left empty is dropped together with an
// option word just before it ("-ss $START" when the range starts at 0: a seek to the start
// makes the encoder lose the start of some files' sound).
CommandLine ExpandCommandTemplate(const QString& commandTemplate, const Job& job,
                                  const QString& outputDir,
                                  const QDateTime& now = QDateTime::currentDateTime());

// The level that a profile's video is made for: the value of the last "-level" option of its
// first pass template (H.263: 10, 45, 20, 30; MPEG-4 profile_and_level_indication: 8 = Simple
// Profile L0, 9 = L0b, 1, 2, 3). 0 when it names none (an older or hand-made profile file).
int TargetVideoLevel(const QString& firstPassTemplate);

// A rate as ffmpeg's options take it ("110k", "1.5M", "64000") in bits per second; nullopt
// for anything else or a rate that is not above 0.
std::optional<double> ParseBitRate(const QString& text);

// Scales the video rate options of an expanded command ("-b:v", "-maxrate", "-bufsize"; values
// such as "110k", "1.5M" or "64000") by factor: how a job is encoded again at a lower rate.
void ScaleVideoRates(CommandLine& command, double factor);

// Lowers the picture rate of an expanded command's video filter ("fps=15" first in "-vf") to
// share (0 to 1) of it: at a low video rate fewer, sharper pictures are what still fits.
void LowerPictureRate(CommandLine& command, double share);
