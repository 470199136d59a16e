// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Result.h"

#include <QByteArray>
#include <QString>

#include <cstdio>

// The system calls that placement makes; tests replace them to stand for file systems that
// refuse a flag or links.
struct FileSystemCalls {
    int (*renameat2)(int, const char*, int, const char*, unsigned int) = ::renameat2;
    int (*link)(const char*, const char*) = ::link;
};

// Moves from to the path to, never replacing what is there: renameat2(RENAME_NOREPLACE);
// where a file system refuses that flag (FUSE mounts, network shares), link() then unlink(),
// which never replace either; where links are refused too, a check and a plain rename (the one
// case where a file made between the two could be replaced: such file systems offer nothing
// better). Returns 0, or -1 with errno set (EEXIST: the name is taken); from stays on failure.
int RenameNoReplace(const QByteArray& from, const QByteArray& to,
                    const FileSystemCalls& calls = {});

enum class PlaceMode {
    KeepExisting,    // a taken name is left, the file takes the next free "name (n)"
    ReplaceExisting, // a file of the name is replaced
};

// Moves the file from into the folder toDir as name + extension, or, when that name is taken
// and mode keeps it, as the next free "name (n)" + extension. From another file system (a work
// folder on a local disk, EXDEV) the file is first copied to a hidden name in toDir and synced,
// then placed by the same steps, and from goes only after: nothing half copied ever has the
// final name. Returns the name used (without extension); on failure, with the reason, from is
// still where it was and no copy is left.
Result<QString> PlaceFile(const QByteArray& from, const QString& toDir, const QString& name,
                          const QString& extension, PlaceMode mode,
                          const FileSystemCalls& calls = {});
