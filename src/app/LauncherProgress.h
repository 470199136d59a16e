// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QString>

// The batch's progress on the program's taskbar or dock entry, through the LauncherEntry
// interface that several desktops and docks read (signal com.canonical.Unity.LauncherEntry.
// Update on the session bus, for "application://morvane.desktop"). Without a session bus, or
// with nobody listening, nothing happens.
class LauncherProgress {
public:
    // share: 0 to 1 of the batch done; jobsLeft: the files still to convert. Sent at most
    // four times a second, and only when something shown changed.
    void Show(double share, int jobsLeft);
    // The batch is over: the entry shows nothing again.
    void Clear();

    static QString AppUri() { return QStringLiteral("application://morvane.desktop"); }

private:
    void Send(double share, int jobsLeft, bool visible);

    QElapsedTimer lastSent;
    int shownPermille = -1;
    int shownJobsLeft = -1;
};
