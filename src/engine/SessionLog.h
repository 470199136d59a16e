// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMutex>
#include <QObject>
#include <QStringList>

// The log entries of this run, kept in memory as they are written (the window shows them in
// "Show log"; the file on disk holds every run's). Entries may come from any thread.
class SessionLog : public QObject {
    Q_OBJECT
public:
    static SessionLog& Instance();

    // This run's entries, oldest first (at most MaxEntries: the oldest go first).
    QStringList Entries() const;
    void Add(const QString& entry);

    static constexpr qsizetype MaxEntries = 2000;

signals:
    // Delivered in the receiver's thread, after the entry is in Entries().
    void EntryAdded(const QString& entry);

private:
    mutable QMutex mutex;
    QStringList entries;
};
