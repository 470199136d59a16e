// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Result.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <sys/types.h>

// The program's one way to remove a folder with what is in it. It never follows a symbolic
// link: a link in the place of the folder is refused and left, a link inside goes as a link
// (never what it points to), and a folder of another file system mounted inside is left. Every
// step works on open folders (openat, unlinkat), so a folder swapped for a link meanwhile is
// not entered either. A folder that is not there is no failure.
Result<void> RemoveFolderTree(const QString& path);
// The same for the entry name of the folder open as dirFd; with expected, only while that name
// is still the folder that was looked at (its device and inode), never one swapped in since.
struct FolderId {
    dev_t device = 0;
    ino_t inode = 0;
};
Result<void> RemoveFolderTreeAt(int dirFd, const QByteArray& name,
                                std::optional<FolderId> expected = std::nullopt);

// Removes a folder of the program's own (a batch's or a job's work folder) as above; what
// cannot be removed is named in log.txt.
void DiscardFolder(const QString& path);
// Names in log.txt a folder that is left where it is, and why; each folder once per run.
void LogFolderLeftAlone(const QString& folder, const QString& why);
