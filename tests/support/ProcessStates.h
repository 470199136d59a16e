// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QString>

// What /proc says about processes, for tests of pause and stop.
namespace ProcessStates {

// The processes whose command line names a text (a test's folder: its encoders).
inline QList<int> ProcessesNaming(const QString& text) {
    QList<int> found;
    for (const QString& entry : QDir("/proc").entryList(QDir::Dirs)) {
        bool isPid = false;
        const int pid = entry.toInt(&isPid);
        QFile cmdline("/proc/" + entry + "/cmdline");
        if (isPid && cmdline.open(QIODevice::ReadOnly) &&
            QString::fromLocal8Bit(cmdline.readAll()).contains(text))
            found.append(pid);
    }
    return found;
}

// A process's state letter ('T' when stopped), or 0 when it is gone.
inline char StateOf(int pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = stat.readAll();
    const qsizetype close = text.lastIndexOf(')');
    return close >= 0 && close + 2 < text.size() ? text.at(close + 2) : char(0);
}

// Whether one of the processes is stopped.
inline bool AnyStopped(const QList<int>& pids) {
    for (const int pid : pids) {
        if (StateOf(pid) == 'T')
            return true;
    }
    return false;
}

// The processes whose parent is pid (a child stopped before its exec has no name of its own).
inline QList<int> ChildrenOf(qint64 parent) {
    QList<int> found;
    for (const QString& entry : QDir("/proc").entryList(QDir::Dirs)) {
        bool isPid = false;
        const int pid = entry.toInt(&isPid);
        QFile stat("/proc/" + entry + "/stat");
        if (!isPid || !stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields.at(1).toLongLong() == parent)
            found.append(pid);
    }
    return found;
}

} // namespace ProcessStates
