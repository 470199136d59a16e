// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>

// The longest output name (without extension), in bytes as the file system stores it. A file
// name holds at most 255 bytes (NAME_MAX), and the passes' files add to the output name: the
// extension, " (n)" when a name is taken, "_temp_2.3g2" for the intermediates of 3GP2.
constexpr qsizetype MaxOutputNameBytes = 240;

// A name cut at a character boundary to at most MaxOutputNameBytes bytes as stored.
QString FitOutputName(const QString& name);

// "name (n)": how a later file of a name is told from the earlier ones. The name is cut (at a
// character boundary) so that the whole still fits MaxOutputNameBytes.
QString NumberedName(const QString& name, int n);

// The first name after name that taken() refuses: "tone" gives "tone (2)", "tone (3)", ...;
// an already numbered "tone (2)" goes on with "tone (3)", never "tone (2) (2)". A number in
// parentheses from 2 to 999 is taken as such a number ("Live (1999)" is a name of its own).
QString NextFreeName(const QString& name, const std::function<bool(const QString&)>& taken);
