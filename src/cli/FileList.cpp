// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/FileList.h"

#include "media/FileNames.h"

#include <QFile>

#include <cmath>
#include <cstdio>

namespace {

std::optional<double> SecondsOf(QByteArrayView text) {
    bool ok = false;
    const double value = QByteArray(text.data(), text.size()).trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value) || value < 0.0)
        return std::nullopt;
    return value;
}

std::optional<int> NumberOf(QByteArrayView text, int low, int high) {
    bool ok = false;
    const qlonglong value = QByteArray(text.data(), text.size()).trimmed().toLongLong(&ok);
    if (!ok || value < low || value > high)
        return std::nullopt;
    return int(value);
}

enum class Setting { None, Applied, Wrong };

// Applies "key=value" to the entry when the key is one of the settings.
Setting ApplySetting(QByteArrayView field, FileEntry& entry) {
    const qsizetype equals = field.indexOf('=');
    if (equals <= 0)
        return Setting::None;
    const QByteArrayView key = field.first(equals);
    const QByteArrayView value = field.sliced(equals + 1);
    bool applied = true;
    if (key == "begin")
        applied = bool(entry.begin = SecondsOf(value));
    else if (key == "end")
        applied = bool(entry.end = SecondsOf(value));
    else if (key == "type")
        applied = bool(entry.type = NumberOf(value, 0, 2));
    else if (key == "profile")
        applied = bool(entry.profile = NumberOf(value, 1, 9999));
    else
        return Setting::None;
    return applied ? Setting::Applied : Setting::Wrong;
}

} // namespace

Result<QList<FileEntry>> ParseFileList(QByteArrayView list, char separator) {
    QList<FileEntry> entries;
    qsizetype number = 0;
    for (qsizetype start = 0; start < list.size();) {
        qsizetype stop = list.indexOf(separator, start);
        if (stop < 0)
            stop = list.size();
        QByteArrayView record = list.sliced(start, stop - start);
        start = stop + 1;
        ++number;
        if (separator == '\n' && record.endsWith('\r'))
            record.chop(1);
        if (record.isEmpty())
            continue;
        // Settings are taken from the end while the last field is one.
        FileEntry entry;
        for (qsizetype tab = record.lastIndexOf('\t'); tab > 0; tab = record.lastIndexOf('\t')) {
            const Setting setting = ApplySetting(record.sliced(tab + 1), entry);
            if (setting == Setting::None)
                break;
            if (setting == Setting::Wrong)
                return Failure(QStringLiteral("entry %1 of the file list: \"%2\" is not a valid "
                                              "setting (begin=SEC, end=SEC, type=0|1|2, "
                                              "profile=N).")
                                   .arg(number)
                                   .arg(DisplayFileName(DecodeFileName(record.sliced(tab + 1)))));
            record.truncate(tab);
        }
        if (entry.begin && entry.end && *entry.end <= *entry.begin)
            return Failure(QStringLiteral("entry %1 of the file list: the end must come after "
                                          "the begin.")
                               .arg(number));
        entry.path = DecodeFileName(record);
        entries.append(entry);
    }
    return entries;
}

Result<QByteArray> ReadFileList(const QString& path) {
    QFile file;
    const bool opened = path == u"-" ? file.open(stdin, QIODevice::ReadOnly)
                                     : (file.setFileName(path), file.open(QIODevice::ReadOnly));
    if (!opened)
        return Failure(QStringLiteral("cannot read the file list %1: %2")
                           .arg(DisplayFileName(path), file.errorString()));
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return Failure(QStringLiteral("cannot read the file list %1: %2")
                           .arg(DisplayFileName(path), file.errorString()));
    return data;
}

std::optional<Shard> ParseShard(const QString& text) {
    const QStringList parts = text.trimmed().split(u'/');
    if (parts.size() != 2)
        return std::nullopt;
    bool indexOk = false;
    bool countOk = false;
    const qlonglong index = parts.at(0).trimmed().toLongLong(&indexOk);
    const qlonglong count = parts.at(1).trimmed().toLongLong(&countOk);
    if (!indexOk || !countOk || count < 1 || count > 1000000 || index < 0 || index >= count)
        return std::nullopt;
    return Shard{int(index), int(count)};
}
