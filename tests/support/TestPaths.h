// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Folders of the build tree that tests use.
namespace TestPaths {

// The program folder of the build tree: the executables with app/ beside them.
inline QString ProgramDir() {
    return QStringLiteral(MORVANE_PROGRAM_DIR);
}

inline QString SourceDir() {
    return QStringLiteral(MORVANE_SOURCE_DIR);
}

} // namespace TestPaths
