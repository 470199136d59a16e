// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/WorkFolder.h"

#include "media/AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

namespace {

const char* const LockName = "owner.pid";

// Whether the process that wrote a lock still runs. A lock that cannot be read belongs to a
// run that died while making its folder.
bool OwnerRuns(const QString& folder) {
    QFile lock(QDir(folder).filePath(QString::fromLatin1(LockName)));
    if (!lock.open(QIODevice::ReadOnly))
        return false;
    bool ok = false;
    const qint64 pid = lock.readAll().trimmed().toLongLong(&ok);
    if (!ok || pid <= 0)
        return false;
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

} // namespace

WorkFolder::~WorkFolder() {
    Remove();
}

QString WorkFolder::NamePrefix() {
    return QStringLiteral(".morvane-work-");
}

int WorkFolder::RemoveAbandoned(const QString& outputDir) {
    int removed = 0;
    const QDir dir(outputDir);
    for (const QString& name :
         dir.entryList({NamePrefix() + u'*'}, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot)) {
        const QString folder = dir.filePath(name);
        if (!OwnerRuns(folder) && QDir(folder).removeRecursively())
            ++removed;
    }
    return removed;
}

Result<void> WorkFolder::Create(const QString& outputDir) {
    Remove();
    RemoveAbandoned(outputDir);
    QByteArray pattern = QFile::encodeName(QDir(outputDir).filePath(NamePrefix() + "XXXXXX"));
    if (::mkdtemp(pattern.data()) == nullptr)
        return Failure(QStringLiteral("A work folder cannot be made in %1: %2")
                           .arg(QDir::toNativeSeparators(outputDir),
                                QString::fromLocal8Bit(std::strerror(errno))));
    const QString made = QFile::decodeName(pattern);
    QFile lock(QDir(made).filePath(QString::fromLatin1(LockName)));
    if (!lock.open(QIODevice::WriteOnly) ||
        lock.write(QByteArray::number(QCoreApplication::applicationPid())) <= 0 || !lock.flush()) {
        const QString why = lock.errorString();
        QDir(made).removeRecursively();
        return Failure(QStringLiteral("A work folder cannot be written in %1: %2")
                           .arg(QDir::toNativeSeparators(outputDir), why));
    }
    path = AppPaths::WithTrailingSeparator(made);
    return {};
}

void WorkFolder::Remove() {
    if (path.isEmpty())
        return;
    QDir(path).removeRecursively();
    path.clear();
}

QString WorkFolder::JobDir(int row) const {
    // A job without its folder would write beside the user's files.
    Q_ASSERT_X(!path.isEmpty(), "WorkFolder::JobDir", "the folder is made before any job");
    if (path.isEmpty())
        return {};
    const QString dir = QDir(path).filePath(QString::number(row));
    QDir().mkpath(dir);
    return AppPaths::WithTrailingSeparator(dir);
}
