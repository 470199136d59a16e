// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// Folders the program works with. Every folder path ends with the native separator.
namespace AppPaths {

// The folder of the running program (set once at start-up from the executable).
QString ProgramDir();
// Overrides the program folder (start-up, tests).
void SetProgramDir(const QString& dir);

// The folder of the program's read-only data (app/, help/, the skin). Beside the program when
// app/ is there (the build tree); else share/morvane/ beside the program's bin/, so an
// installed tree works under any prefix.
QString DataDir();

// The folder of the shipped profile files: DataDir + "app".
QString ProfileDir();
// The folder of the user's own profile files: "profiles" in the user's config folder
// (~/.config/Morvane/Morvane/profiles/). Never written by the program.
QString UserProfileDir();
// The folders profile files are read from, in order: a file in the user's folder replaces the
// shipped file of the same name.
QStringList ProfileDirs();

// Where the program writes its own files (log.txt, RealMedia intermediates): the user's data
// folder (~/.local/share/Morvane/Morvane/), made when missing; never the program's folders,
// which are read-only once installed.
QString WritableDir();

// Where a program named in a profile's command is run from: a name with a folder is taken
// relative to workingDir; a bare name is looked for in the program folder, then in
// workingDir (the profile folder by default), then on PATH. Empty when it is nowhere.
QString FindProgram(const QString& program, const QString& workingDir = ProfileDir());

// A folder path with exactly one trailing native separator ("" stays "").
QString WithTrailingSeparator(const QString& dir);

} // namespace AppPaths
