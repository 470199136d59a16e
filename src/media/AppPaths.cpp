// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

QString& ProgramDirOverride() {
    static QString dir;
    return dir;
}

} // namespace

namespace AppPaths {

namespace {

bool IsRunnable(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

} // namespace

QString FindProgram(const QString& program, const QString& workingDir) {
    if (program.isEmpty())
        return {};
    if (program.contains(u'/') || program.contains(QDir::separator())) {
        const QString path = QDir(workingDir).absoluteFilePath(program);
        return IsRunnable(path) ? path : QString();
    }
    for (const QString& dir : {ProgramDir(), workingDir}) {
        const QString path = QDir(dir).absoluteFilePath(program);
        if (IsRunnable(path))
            return path;
    }
    return QStandardPaths::findExecutable(program);
}

QString WithTrailingSeparator(const QString& dir) {
    if (dir.isEmpty())
        return dir;
    QString native = QDir::toNativeSeparators(dir);
    const QChar sep = QDir::separator();
    while (native.size() > 1 && (native.endsWith(sep) || native.endsWith(u'/')))
        native.chop(1);
    if (native == sep)
        return native;
    return native + sep;
}

QString ProgramDir() {
    if (!ProgramDirOverride().isEmpty())
        return ProgramDirOverride();
    return WithTrailingSeparator(QCoreApplication::applicationDirPath());
}

void SetProgramDir(const QString& dir) {
    ProgramDirOverride() = WithTrailingSeparator(QDir(dir).absolutePath());
}

QString DataDir() {
    const QString programDir = ProgramDir();
    if (QFileInfo(programDir + QStringLiteral("app")).isDir())
        return programDir;
    return WithTrailingSeparator(QDir::cleanPath(programDir + QStringLiteral("../share/morvane")));
}

QString ProfileDir() {
    return DataDir() + QStringLiteral("app") + QDir::separator();
}

QString UserProfileDir() {
    return WithTrailingSeparator(
        QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
        QStringLiteral("/profiles"));
}

QStringList ProfileDirs() {
    return {UserProfileDir(), ProfileDir()};
}

QString WritableDir() {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    QDir().mkpath(data);
    return WithTrailingSeparator(data);
}

} // namespace AppPaths
