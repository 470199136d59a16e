// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Result.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <sys/types.h>
#include <sys/xattr.h>

// What an output file was made from: its source file and the settings it was converted with.
// Kept with the output, so that "skip what exists" can tell a file of the same source from one
// of another source that happens to have the same name.
struct SourceIdentity {
    QByteArray path; // the source's absolute path as stored (for people: it is not compared)
    qint64 size = -1;
    qint64 modifiedNs = 0;
    QByteArray digest;   // MD5 of the source's first and last 64 KiB, hex
    QByteArray settings; // output type, profile and range

    // The identity of the file at path, converted with settings; fails when it cannot be read.
    static Result<SourceIdentity> Of(const QString& path, const QByteArray& settings);
    // The settings' text as it is kept.
    static QByteArray Settings(int outputType, int profileSelection, double begin, double end,
                               qint64 fitBytes = 0);

    QByteArray ToRecord() const;
    static std::optional<SourceIdentity> FromRecord(const QByteArray& record);
    // The same source converted the same way: same size, modification time, contents at both
    // ends and settings. The path is not compared: one share is mounted at different paths on
    // different machines.
    bool IsSameAs(const SourceIdentity& other) const;
};

// The calls that keep a record in the output's extended attributes; tests replace them to
// stand for file systems without them (vfat, many network shares, tmpfs without user_xattr).
struct AttributeCalls {
    int (*setxattr)(const char*, const char*, const void*, size_t, int) = ::setxattr;
    ssize_t (*getxattr)(const char*, const char*, void*, size_t) = ::getxattr;
};

// Records with the output file at path what it was made from: in its extended attribute
// "user.morvane.source", or where the file system has none and index is set, in the index
// file ".morvane-sources" of its folder (one line a record, appended whole).
Result<void> RecordSource(const QString& output, const SourceIdentity& source, bool index,
                          const AttributeCalls& calls = {});
// What the output file at path was recorded to be made from; nothing when no record is known
// (or the index's record is of an earlier file of that name).
std::optional<SourceIdentity> RecordedSource(const QString& output,
                                             const AttributeCalls& calls = {});
