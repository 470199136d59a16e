// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/WorkFolder.h"

#include "engine/ErrorLog.h"
#include "engine/FilePlacement.h"
#include "engine/KeyedRecord.h"
#include "engine/SafeRemoval.h"
#include "media/AppPaths.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QList>
#include <QSysInfo>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* const RecordName = "owner";
// What earlier versions wrote: a bare process id, which says nothing of host or namespace.
const char* const BarePidRecordName = "owner.pid";
const char* const RecordHeader = "morvane work folder";
// A folder is made under this prefix, which the clean-up never looks at, and takes its work
// name only once its owner record is complete: no run can meet it half made.
const char* const NewPrefix = ".morvane-new-";
constexpr qsizetype MaxRecordBytes = 4096;
// A folder of another machine or namespace cannot be judged; this old, its run has ended.
constexpr qint64 ForeignFolderAgeSeconds = 7 * 24 * 3600;

QByteArray ReadSystemFile(const char* path) {
    QFile file(QString::fromLatin1(path));
    return file.open(QIODevice::ReadOnly) ? file.read(MaxRecordBytes).trimmed() : QByteArray();
}

// The start of a process in clock ticks after boot (field 22 of /proc/<pid>/stat); 0 when
// it cannot be read.
qint64 StartTimeOf(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = stat.read(MaxRecordBytes);
    // The name in parentheses may hold blanks and parentheses itself.
    const qsizetype close = text.lastIndexOf(')');
    if (close < 0)
        return 0;
    const QList<QByteArray> fields = text.mid(close + 2).split(' ');
    constexpr qsizetype StartTimeField = 22 - 3; // the first field after the name is field 3
    return fields.size() > StartTimeField ? fields.at(StartTimeField).toLongLong() : 0;
}

// Whether /proc shows this process's own PID namespace (not so after `unshare --pid` without
// a /proc of its own): only then does /proc/<pid> describe the process with that id.
bool ProcShowsOurProcesses() {
    char link[32] = {};
    const ssize_t length = ::readlink("/proc/self", link, sizeof link - 1);
    return length > 0 && QByteArray(link, length).toLongLong() == qint64(::getpid());
}

enum class Verdict {
    Runs,
    Gone,
    CannotJudge, // another machine, another process namespace, or nothing to compare with
};

Verdict Judge(const WorkFolderOwner& owner, const WorkFolderOwner& self) {
    if (self.host.isEmpty() || owner.host != self.host || self.bootId.isEmpty() ||
        owner.bootId.isEmpty())
        return Verdict::CannotJudge;
    if (owner.bootId != self.bootId)
        return Verdict::Gone; // this machine has started again since
    if (self.pidNamespace.isEmpty() || owner.pidNamespace != self.pidNamespace)
        return Verdict::CannotJudge;
    if (::kill(pid_t(owner.pid), 0) != 0 && errno == ESRCH)
        return Verdict::Gone;
    if (owner.startTime != 0 && ProcShowsOurProcesses()) {
        const qint64 start = StartTimeOf(owner.pid);
        if (start != 0 && start != owner.startTime)
            return Verdict::Gone; // the id now belongs to another process
    }
    return Verdict::Runs;
}

// Reads the owner record in the folder open as folderFd: a plain file of this user, never
// through a link. Nothing when there is none that can be read.
std::optional<QByteArray> ReadRecord(int folderFd, const char* name, time_t* modified) {
    const int fd = ::openat(folderFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat info {};
    std::optional<QByteArray> text;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid() &&
        info.st_size <= MaxRecordBytes) {
        QByteArray bytes(MaxRecordBytes, Qt::Uninitialized);
        const ssize_t read = ::read(fd, bytes.data(), bytes.size());
        if (read >= 0) {
            bytes.truncate(read);
            text = bytes;
            *modified = info.st_mtime;
        }
    }
    ::close(fd);
    return text;
}

// Why a work folder is not (yet) to be removed; empty for a live run's folder, which is
// nothing to tell anyone about. abandoned is set when it is to be removed, id to the folder
// that was looked at.
QString Examine(int dirFd, const QByteArray& name, const WorkFolderOwner& self, bool* abandoned,
                FolderId* id) {
    *abandoned = false;
    struct stat info {};
    if (::fstatat(dirFd, name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return {}; // gone meanwhile
    *id = FolderId{info.st_dev, info.st_ino};
    if (!S_ISDIR(info.st_mode))
        return QStringLiteral("it is not a folder (a link or a file)");
    if (info.st_uid != ::geteuid())
        return QStringLiteral("it belongs to another user");
    // A group folder's set-group-id bit is handed down to every folder made in it.
    if ((info.st_mode & 07777 & ~S_ISGID) != S_IRWXU)
        return QStringLiteral("its permissions are not 0700");
    const int fd =
        ::openat(dirFd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    struct stat opened {};
    const bool same =
        ::fstat(fd, &opened) == 0 && opened.st_dev == info.st_dev && opened.st_ino == info.st_ino;
    time_t recordTime = 0;
    const std::optional<QByteArray> record =
        same ? ReadRecord(fd, RecordName, &recordTime) : std::nullopt;
    struct stat bare {};
    const bool hasBarePid = ::fstatat(fd, BarePidRecordName, &bare, AT_SYMLINK_NOFOLLOW) == 0;
    ::close(fd);
    if (!same)
        return QStringLiteral("it changed while it was looked at");
    const std::optional<WorkFolderOwner> owner =
        record ? WorkFolderOwner::FromRecord(*record) : std::nullopt;
    const bool oldEnough =
        QDateTime::currentSecsSinceEpoch() - std::max<qint64>(info.st_mtime, recordTime) >=
        ForeignFolderAgeSeconds;
    if (!owner && record) {
        // Empty or cut short: the record is written without a sync (a sync costs a call's start
        // tens of milliseconds), so its machine stopped before it reached the disk. Whoever
        // made it, a week later that run has ended.
        if (oldEnough) {
            *abandoned = true;
            return {};
        }
        return QStringLiteral("its owner record is incomplete (its machine stopped while the "
                              "folder was made); it is removed when a week old");
    }
    if (!owner) {
        // An earlier version's bare process id cannot tell this machine's processes from
        // another's: such a folder is left to the user.
        if (hasBarePid)
            return QStringLiteral("its owner record is an earlier version's process id alone");
        return QStringLiteral("it has no owner record that can be read");
    }
    switch (Judge(*owner, self)) {
    case Verdict::Runs:
        return {};
    case Verdict::Gone:
        *abandoned = true;
        return {};
    case Verdict::CannotJudge:
        break;
    }
    if (oldEnough) {
        *abandoned = true;
        return {};
    }
    return QStringLiteral("its owner, process %1 on host \"%2\", cannot be checked from here "
                          "(another machine or process namespace); it is removed when a week "
                          "old")
        .arg(owner->pid)
        .arg(QString::fromUtf8(owner->host));
}

QList<QByteArray> WorkFolderNames(int dirFd) {
    QList<QByteArray> names;
    const int listFd = ::fcntl(dirFd, F_DUPFD_CLOEXEC, 0);
    if (listFd < 0)
        return names;
    DIR* dir = ::fdopendir(listFd);
    if (dir == nullptr) {
        ::close(listFd);
        return names;
    }
    const QByteArray prefix = QFile::encodeName(WorkFolder::NamePrefix());
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name.startsWith(prefix))
            names.append(name);
    }
    ::closedir(dir);
    return names;
}

Result<void> WriteRecord(const QByteArray& folder) {
    const QByteArray record = WorkFolderOwner::ThisProcess().ToRecord();
    const QByteArray file = folder + '/' + RecordName;
    const int fd =
        ::open(file.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return Failure(QString::fromLocal8Bit(std::strerror(errno)));
    // No sync: a record that a machine's stop cut short is judged as such (see Examine).
    const bool written = ::write(fd, record.constData(), size_t(record.size())) == record.size();
    const int error = errno;
    ::close(fd);
    if (!written)
        return Failure(QString::fromLocal8Bit(std::strerror(error)));
    // Earlier versions read only a bare process id; with it they see a live owner instead of
    // a folder without one. Best effort: the record above is what this version reads.
    const QByteArray bare = folder + '/' + BarePidRecordName;
    const int bareFd =
        ::open(bare.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (bareFd >= 0) {
        const QByteArray pid = QByteArray::number(qint64(::getpid()));
        [[maybe_unused]] const auto bareWritten =
            ::write(bareFd, pid.constData(), size_t(pid.size()));
        ::close(bareFd);
    }
    return {};
}

} // namespace

WorkFolderOwner WorkFolderOwner::ThisProcess() {
    WorkFolderOwner self;
    self.host = QSysInfo::machineHostName().toUtf8();
    self.bootId = ReadSystemFile("/proc/sys/kernel/random/boot_id");
    char link[PATH_MAX] = {};
    const ssize_t length = ::readlink("/proc/self/ns/pid", link, sizeof link - 1);
    if (length > 0)
        self.pidNamespace = QByteArray(link, length);
    self.pid = QCoreApplication::applicationPid();
    self.startTime = ProcShowsOurProcesses() ? StartTimeOf(self.pid) : 0;
    return self;
}

QByteArray WorkFolderOwner::ToRecord() const {
    return WriteKeyedRecord(RecordHeader, {{"host", host},
                                           {"boot", bootId},
                                           {"pidns", pidNamespace},
                                           {"pid", QByteArray::number(pid)},
                                           {"start", QByteArray::number(startTime)}});
}

std::optional<WorkFolderOwner> WorkFolderOwner::FromRecord(const QByteArray& record) {
    const auto fields = ReadKeyedRecord(RecordHeader, record);
    if (!fields)
        return std::nullopt;
    WorkFolderOwner owner;
    owner.host = fields->value("host");
    owner.bootId = fields->value("boot");
    owner.pidNamespace = fields->value("pidns");
    owner.pid = fields->value("pid").toLongLong();
    owner.startTime = fields->value("start").toLongLong();
    if (owner.host.isEmpty() || owner.pid <= 0 || owner.pid > INT_MAX)
        return std::nullopt;
    return owner;
}

WorkFolder::~WorkFolder() {
    Remove();
}

QString WorkFolder::NamePrefix() {
    return QStringLiteral(".morvane-work-");
}

QString WorkFolder::OwnerRecordName() {
    return QString::fromLatin1(RecordName);
}

int WorkFolder::RemoveAbandoned(const QString& outputDir) {
    // The output folder is the user's choice, and the batch writes through a link to it as
    // well; nothing inside it is followed.
    const int dirFd =
        ::open(QFile::encodeName(outputDir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return 0;
    const WorkFolderOwner self = WorkFolderOwner::ThisProcess();
    int removed = 0;
    for (const QByteArray& name : WorkFolderNames(dirFd)) {
        const QString folder = QDir(outputDir).filePath(QFile::decodeName(name));
        bool abandoned = false;
        FolderId id;
        QString leftBecause = Examine(dirFd, name, self, &abandoned, &id);
        if (abandoned) {
            const Result<void> gone = RemoveFolderTreeAt(dirFd, name, id);
            if (gone)
                ++removed;
            else
                leftBecause = gone.error();
        }
        if (!leftBecause.isEmpty())
            LogFolderLeftAlone(folder, leftBecause);
    }
    ::close(dirFd);
    return removed;
}

Result<void> WorkFolder::Create(const QString& parentDir) {
    Remove();
    RemoveAbandoned(parentDir);
    const QString shownDir = QDir::toNativeSeparators(parentDir);
    const auto cannot = [&shownDir](const QString& why) {
        return Failure(
            QCoreApplication::translate("WorkFolder", "A work folder cannot be made in %1: %2")
                .arg(shownDir, why));
    };
    const QByteArray dir = QFile::encodeName(AppPaths::WithTrailingSeparator(parentDir));
    // A few tries: another run may take the same name between the two steps.
    for (int attempt = 0; attempt < 16; ++attempt) {
        QByteArray made = dir + NewPrefix + "XXXXXX";
        if (::mkdtemp(made.data()) == nullptr)
            return cannot(QString::fromLocal8Bit(std::strerror(errno)));
        if (const Result<void> written = WriteRecord(made); !written) {
            DiscardFolder(QFile::decodeName(made));
            return cannot(written.error());
        }
        const QByteArray named = dir + QFile::encodeName(NamePrefix()) + made.mid(made.size() - 6);
        if (RenameNoReplace(made, named) == 0) {
            path = AppPaths::WithTrailingSeparator(QFile::decodeName(named));
            return {};
        }
        const int error = errno;
        DiscardFolder(QFile::decodeName(made));
        if (error != EEXIST && error != ENOTEMPTY)
            return cannot(QString::fromLocal8Bit(std::strerror(error)));
    }
    return cannot(QString::fromLocal8Bit(std::strerror(EEXIST)));
}

void WorkFolder::Remove() {
    if (path.isEmpty())
        return;
    DiscardFolder(path);
    path.clear();
}

QString WorkFolder::JobDir(int row) const {
    // A job without its folder would write beside the user's files.
    Q_ASSERT_X(!path.isEmpty(), "WorkFolder::JobDir", "the folder is made before any job");
    if (path.isEmpty())
        return {};
    const QString dir = QDir(path).filePath(QString::number(row));
    // Never the folders above it: an output folder deleted during the batch stays deleted,
    // and the job fails for that reason.
    ::mkdir(QFile::encodeName(dir).constData(), S_IRWXU);
    return AppPaths::WithTrailingSeparator(dir);
}
