// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/SafeRemoval.h"

#include "engine/ErrorLog.h"

#include <QDir>
#include <QFile>
#include <QSet>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace {

// Deeper trees than the program ever makes are not its own.
constexpr int MaxDepth = 32;

int OpenFolderAt(int dirFd, const char* name) {
    return ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// Removes what the folder open as fd holds; takes fd over. Returns 0 or the first errno met.
int EmptyFolder(int fd, dev_t device, int depth) {
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) {
        const int error = errno;
        ::close(fd);
        return error;
    }
    // Names are read first: removing while reading may skip entries.
    std::vector<QByteArray> names;
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.emplace_back(entry->d_name);
    }
    int firstError = 0;
    const auto note = [&firstError](int error) {
        if (firstError == 0)
            firstError = error;
    };
    const int dfd = ::dirfd(dir);
    for (const QByteArray& name : names) {
        struct stat info {};
        if (::fstatat(dfd, name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
            note(errno);
            continue;
        }
        if (!S_ISDIR(info.st_mode)) {
            if (::unlinkat(dfd, name.constData(), 0) != 0)
                note(errno);
            continue;
        }
        if (info.st_dev != device || depth >= MaxDepth) {
            note(info.st_dev != device ? EXDEV : ELOOP);
            continue;
        }
        const int sub = OpenFolderAt(dfd, name.constData());
        if (sub < 0) {
            note(errno);
            continue;
        }
        if (const int error = EmptyFolder(sub, device, depth + 1); error != 0)
            note(error);
        else if (::unlinkat(dfd, name.constData(), AT_REMOVEDIR) != 0)
            note(errno);
    }
    ::closedir(dir);
    return firstError;
}

// Removes the folder name of dirFd with what it holds. Returns 0 or the first errno met.
int RemoveAt(int dirFd, const char* name, std::optional<FolderId> expected) {
    const int fd = OpenFolderAt(dirFd, name);
    if (fd < 0)
        return errno == ENOENT ? 0 : errno;
    struct stat info {};
    if (::fstat(fd, &info) != 0 ||
        (expected && (info.st_dev != expected->device || info.st_ino != expected->inode))) {
        const int error = expected ? ESTALE : errno;
        ::close(fd);
        return error;
    }
    if (const int error = EmptyFolder(fd, info.st_dev, 0); error != 0)
        return error;
    if (::unlinkat(dirFd, name, AT_REMOVEDIR) != 0 && errno != ENOENT)
        return errno;
    return 0;
}

Result<void> Outcome(const QByteArray& path, int error) {
    if (error == 0)
        return {};
    return Failure(QStringLiteral("%1 cannot be removed: %2")
                       .arg(QFile::decodeName(path), QString::fromLocal8Bit(std::strerror(error))));
}

} // namespace

Result<void> RemoveFolderTreeAt(int dirFd, const QByteArray& name,
                                std::optional<FolderId> expected) {
    return Outcome(name, RemoveAt(dirFd, name.constData(), expected));
}

Result<void> RemoveFolderTree(const QString& path) {
    QByteArray bytes = QFile::encodeName(path);
    while (bytes.size() > 1 && bytes.endsWith('/'))
        bytes.chop(1);
    const qsizetype slash = bytes.lastIndexOf('/');
    const QByteArray parent = slash < 0    ? QByteArray(".")
                              : slash == 0 ? QByteArray("/")
                                           : bytes.left(slash);
    const QByteArray name = bytes.mid(slash + 1);
    if (name.isEmpty() || name == "." || name == ".." || name == "/")
        return Failure(QStringLiteral("%1 is no folder to remove.").arg(path));
    // The way to the folder is the caller's: links on it are followed, the folder's own is not.
    const int parentFd = ::open(parent.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parentFd < 0)
        return Outcome(bytes, errno == ENOENT ? 0 : errno);
    const int error = RemoveAt(parentFd, name.constData(), std::nullopt);
    ::close(parentFd);
    return Outcome(bytes, error);
}

void DiscardFolder(const QString& path) {
    if (const Result<void> removed = RemoveFolderTree(path); !removed)
        LogFolderLeftAlone(path, removed.error());
}

void LogFolderLeftAlone(const QString& folder, const QString& why) {
    static QSet<QString> named;
    if (named.contains(folder))
        return;
    named.insert(folder);
    AppendToLog(QStringLiteral("WORK:    folder          =   %1.\n"
                               "         left alone      =   %2.\n")
                    .arg(EscapeForLog(QDir::toNativeSeparators(folder)), EscapeForLog(why)));
}
