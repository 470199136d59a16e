// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/StoredSettings.h"

#include "media/AppPaths.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace {

// "Default" addresses a subkey's default value in the registry; elsewhere it is a plain key.
const QString destinationKey = QStringLiteral("destination/Default");
const QString fileNumberKey = QStringLiteral("fileno/Default");
const QString simultaneousJobsKey = QStringLiteral("jobs/Default");
const QString addFolderKey = QStringLiteral("addfolder/Default");

QSettings Store() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Morvane"),
                     QStringLiteral("Morvane"));
}

} // namespace

namespace StoredSettings {

QString DefaultOutputDir() {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    if (dir.isEmpty())
        dir = QDir::homePath();
    // The standard Videos folder may not exist yet on a new account: make it, so that the
    // first batch does not stop at a folder the user never chose.
    QDir().mkpath(dir);
    return AppPaths::WithTrailingSeparator(dir);
}

QString LoadOutputDir() {
    const QString stored = Store().value(destinationKey).toString();
    if (stored.trimmed().isEmpty())
        return DefaultOutputDir();
    return AppPaths::WithTrailingSeparator(stored);
}

void StoreOutputDir(const QString& dir) {
    if (dir.isEmpty())
        return;
    QSettings store = Store();
    store.setValue(destinationKey, dir);
}

void StoreFileNumber(int number) {
    QSettings store = Store();
    store.setValue(fileNumberKey, QString::number(number));
}

QString LoadAddFolder() {
    const QString stored = Store().value(addFolderKey).toString();
    if (!stored.isEmpty() && QFileInfo(stored).isDir())
        return stored;
    return QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
}

void StoreAddFolder(const QString& dir) {
    QSettings store = Store();
    store.setValue(addFolderKey, dir);
}

int LoadSimultaneousJobs() {
    bool ok = false;
    const int jobs = Store().value(simultaneousJobsKey).toString().toInt(&ok);
    return ok && jobs >= 0 && jobs <= 8 ? jobs : 1;
}

void StoreSimultaneousJobs(int jobs) {
    QSettings store = Store();
    store.setValue(simultaneousJobsKey, QString::number(jobs));
}

} // namespace StoredSettings
