// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Folders the program works with. Every folder path ends with the native separator.
namespace AppPaths {

// The folder of the running program (set once at start-up from the executable).
QString ProgramDir();
// Overrides the program folder (start-up, tests).
void SetProgramDir(const QString& dir);

// The folder of the profile files: ProgramDir + "app".
QString ProfileDir();

// Where the program writes its own files (log.txt, RealMedia intermediates): the program
// folder when it is writable, else the user's data folder.
QString WritableDir();

// Where a program named in a profile's command is run from: a name with a folder is taken
// relative to workingDir; a bare name is looked for in the program folder, then in
// workingDir (the profile folder by default), then on PATH. Empty when it is nowhere.
QString FindProgram(const QString& program, const QString& workingDir = ProfileDir());

// A folder path with exactly one trailing native separator ("" stays "").
QString WithTrailingSeparator(const QString& dir);

} // namespace AppPaths
