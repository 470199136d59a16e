// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/FilePlacement.h"

#include "engine/NumberedName.h"
#include "media/FileNames.h"

#include <QCoreApplication>
#include <QDir>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// What a file system answers when it has no such flag or call (not: "the name is taken").
bool Unsupported(int error) {
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP || error == ENOTSUP;
}

// What it answers when it makes no hard links (FAT, exFAT, many network and phone mounts).
bool LinksRefused(int error) {
    return Unsupported(error) || error == EPERM || error == EXDEV || error == EMLINK;
}

} // namespace

int RenameNoReplace(const QByteArray& from, const QByteArray& to, const FileSystemCalls& calls) {
    if (calls.renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) ==
        0)
        return 0;
    if (!Unsupported(errno))
        return -1;
    if (calls.link(from.constData(), to.constData()) == 0) {
        // The file is in its place; a copy left under the work name goes with the work folder.
        ::unlink(from.constData());
        return 0;
    }
    if (!LinksRefused(errno))
        return -1;
    struct stat info {};
    if (::lstat(to.constData(), &info) == 0) {
        errno = EEXIST;
        return -1;
    }
    if (errno != ENOENT)
        return -1;
    return calls.renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), 0);
}

Result<QString> PlaceFile(const QByteArray& from, const QString& toDir, const QString& name,
                          const QString& extension, PlaceMode mode, const FileSystemCalls& calls) {
    // A bound, so that a folder that answers "taken" to every name cannot hold the job forever.
    constexpr int MaxTries = 10000;
    QString candidate = name;
    for (int tries = 0;; ++tries) {
        const QString target = QDir(toDir).filePath(candidate + extension);
        const QByteArray to = EncodeFileName(target); // the source's own bytes
        const bool replace = mode == PlaceMode::ReplaceExisting && tries == 0;
        const int result =
            replace ? calls.renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), 0)
                    : RenameNoReplace(from, to, calls);
        if (result == 0)
            return candidate;
        const int error = errno;
        if (error == ENAMETOOLONG)
            return Failure(
                QCoreApplication::translate("FilePlacement",
                                            "The name %1 is too long for the file system of the "
                                            "output folder.")
                    .arg(QDir::toNativeSeparators(target)));
        if (error != EEXIST || tries >= MaxTries)
            return Failure(QCoreApplication::translate("FilePlacement",
                                                       "The output file cannot be moved to %1: %2")
                               .arg(QDir::toNativeSeparators(target),
                                    QString::fromLocal8Bit(std::strerror(error))));
        candidate = NextFreeName(candidate, [](const QString&) { return false; });
    }
}
