// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/FilePlacement.h"

#include "engine/NumberedName.h"
#include "media/FileNames.h"

#include <QCoreApplication>
#include <QDir>
#include <QScopeGuard>

#include <algorithm>
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

// Copies the file from into a new hidden file in toDir (same permissions), synced to the disk;
// returns its path. Fails with the reason and leaves nothing.
Result<QByteArray> CopyIntoFolder(const QByteArray& from, const QString& toDir) {
    const auto failed = [&toDir](int error) {
        return Failure(QCoreApplication::translate("FilePlacement",
                                                   "The output file cannot be copied into %1: %2")
                           .arg(QDir::toNativeSeparators(toDir),
                                QString::fromLocal8Bit(std::strerror(error))));
    };
    const int in = ::open(from.constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return failed(errno);
    const auto closeIn = qScopeGuard([in] { ::close(in); });
    struct stat info {};
    if (::fstat(in, &info) != 0)
        return failed(errno);
    QByteArray copy = EncodeFileName(QDir(toDir).filePath(QStringLiteral(".morvane-copy-XXXXXX")));
    const int out = ::mkostemp(copy.data(), O_CLOEXEC);
    if (out < 0)
        return failed(errno);
    bool done = ::fchmod(out, info.st_mode & 07777) == 0;
    // The kernel copies on its own where it can; plain reads and writes where it cannot.
    bool kernelCopies = true;
    for (off_t left = info.st_size; done && left > 0;) {
        ssize_t n = -1;
        if (kernelCopies) {
            n = ::copy_file_range(in, nullptr, out, nullptr, size_t(left), 0);
            if (n < 0 &&
                (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
                kernelCopies = false;
                continue;
            }
        } else {
            char buffer[1 << 16];
            n = ::read(in, buffer, sizeof buffer);
            for (ssize_t written = 0; n > 0 && written < n;) {
                const ssize_t w = ::write(out, buffer + written, size_t(n - written));
                if (w <= 0) {
                    n = -1;
                    break;
                }
                written += w;
            }
        }
        if (n == 0)
            errno = EIO; // the file became shorter while it was copied
        done = n > 0;
        left -= std::max<ssize_t>(n, 0);
    }
    done = done && ::fsync(out) == 0;
    const int error = errno;
    done = ::close(out) == 0 && done; // a network share may report a failed write only here
    if (!done) {
        ::unlink(copy.constData());
        return failed(error);
    }
    return copy;
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
    QByteArray source = from;
    QByteArray copy; // from's copy in toDir, when from is on another file system
    const auto dropCopy = qScopeGuard([&copy] {
        if (!copy.isEmpty())
            ::unlink(copy.constData());
    });
    QString candidate = name;
    bool replace = mode == PlaceMode::ReplaceExisting;
    for (int tries = 0;; ++tries) {
        const QString target = QDir(toDir).filePath(candidate + extension);
        const QByteArray to = EncodeFileName(target); // the source's own bytes
        const int result =
            replace ? calls.renameat2(AT_FDCWD, source.constData(), AT_FDCWD, to.constData(), 0)
                    : RenameNoReplace(source, to, calls);
        if (result == 0) {
            if (!copy.isEmpty()) {
                copy.clear();
                ::unlink(from.constData()); // only now: the copy has its name
            }
            return candidate;
        }
        const int error = errno;
        if (error == EXDEV && copy.isEmpty()) {
            const Result<QByteArray> copied = CopyIntoFolder(from, toDir);
            if (!copied)
                return Failure(copied.error());
            copy = source = *copied;
            continue; // the same name again, now on the same file system
        }
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
        replace = false;
        candidate = NextFreeName(candidate, [](const QString&) { return false; });
    }
}
