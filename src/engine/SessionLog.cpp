// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/SessionLog.h"

#include <QMutexLocker>

SessionLog& SessionLog::Instance() {
    static SessionLog log;
    return log;
}

QStringList SessionLog::Entries() const {
    const QMutexLocker lock(&mutex);
    return entries;
}

void SessionLog::Add(const QString& entry) {
    {
        const QMutexLocker lock(&mutex);
        if (entries.size() >= MaxEntries)
            entries.removeFirst();
        entries.append(entry);
    }
    emit EntryAdded(entry);
}
