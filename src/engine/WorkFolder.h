// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Result.h"

#include <QByteArray>
#include <QString>

#include <optional>

// Who made a work folder: enough for a later run to tell whether that process still runs.
// Process ids mean something only on the same machine, since the same start of it (boot id),
// and in the same process id namespace (containers, `unshare --pid`).
struct WorkFolderOwner {
    QByteArray host;         // the host name
    QByteArray bootId;       // /proc/sys/kernel/random/boot_id: new at every start
    QByteArray pidNamespace; // /proc/self/ns/pid, "pid:[4026531836]"
    qint64 pid = 0;
    qint64 startTime = 0; // clock ticks after boot (/proc/<pid>/stat); tells a reused id

    static WorkFolderOwner ThisProcess();
    // The owner record's text, and back; nothing when the text is not such a record.
    QByteArray ToRecord() const;
    static std::optional<WorkFolderOwner> FromRecord(const QByteArray& record);
};

// The private folder a batch writes into, inside the output folder (so that a finished file
// reaches its place with one rename on the same file system) or a work folder of the user's
// choice (a local disk). Its hidden name is unique, and
// a record in it names its owner: a later run removes the folders that Stop, a crash or a kill
// left behind, but only those that are provably its user's and abandoned.
class WorkFolder {
public:
    WorkFolder() = default;
    ~WorkFolder();
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    // Removes the folders of runs that have ended in parentDir, then makes a new folder there;
    // fails, with the reason, when it cannot be made.
    Result<void> Create(const QString& parentDir);
    // Removes the folder and everything in it.
    void Remove();

    bool IsValid() const { return !path.isEmpty(); }
    // The folder, with a trailing separator; "" when there is none.
    QString Path() const { return path; }
    // A subfolder of its own for one job, with a trailing separator. It is made inside the
    // work folder only: when the output folder has gone, nothing is made again.
    QString JobDir(int row) const;

    // The prefix of the folders' names.
    static QString NamePrefix();
    // The owner record's file name in a work folder.
    static QString OwnerRecordName();
    // Removes the work folders in outputDir that are provably abandoned: real folders (not
    // links) of this user, mode 0700, whose owner record names a process that no longer runs
    // on this machine; a folder of another machine or process namespace once its record is a
    // week old. Every other one is left and named in log.txt. Returns how many went.
    static int RemoveAbandoned(const QString& outputDir);

private:
    QString path;
};
