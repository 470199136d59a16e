// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Result.h"

#include <QString>

// The private folder a batch writes into, inside the output folder (so that a finished file
// reaches its place with one rename on the same file system). Its hidden name is unique, and
// a lock file holds the owner's process id: a later run removes the folders that Stop, a crash
// or a kill left behind, but never one whose owner still runs.
class WorkFolder {
public:
    WorkFolder() = default;
    ~WorkFolder();
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    // Removes the folders of runs that have ended, then makes a new folder; fails, with the
    // reason, when it cannot be made.
    Result<void> Create(const QString& outputDir);
    // Removes the folder and everything in it.
    void Remove();

    bool IsValid() const { return !path.isEmpty(); }
    // The folder, with a trailing separator; "" when there is none.
    QString Path() const { return path; }
    // A subfolder of its own for one job (made on demand), with a trailing separator.
    QString JobDir(int row) const;

    // The prefix of the folders' names.
    static QString NamePrefix();
    // Removes the work folders in outputDir whose owners no longer run; returns how many.
    static int RemoveAbandoned(const QString& outputDir);

private:
    QString path;
};
