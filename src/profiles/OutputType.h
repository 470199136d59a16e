// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The three kinds of output, numbered as the items of the output type combo box.
enum class OutputType : int {
    Amr3gp = 0, // 3GP + AMR
    Aac3gp = 1, // 3GP + AAC
    Aac3g2 = 2, // 3GP2 + AAC, converted in three passes
};

constexpr int OutputTypeCount = 3;

bool IsValidOutputType(int value);
// The combo box item of a type, e.g. "Cell Phone 3GP  files (3GP + AMR)".
QString OutputTypeTitle(OutputType type);
// The profile file of a type, e.g. "3GP_AMR_Profile.ini" (relative to the profile folder).
QString ProfileFileName(OutputType type);
// ".3gp" or ".3g2".
QString OutputExtension(OutputType type);
// How many encoder passes a job of this type runs (1, or 3 for 3GP2).
int PassCount(OutputType type);
