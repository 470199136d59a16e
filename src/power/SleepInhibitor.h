// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusUnixFileDescriptor>
#include <QString>

// Keeps the computer from sleeping (and from going idle) while a batch converts: logind's
// Inhibit("sleep:idle") over the system D-Bus. The lock is the file descriptor logind returns;
// it holds until Release closes it (or the program ends).
class SleepInhibitor {
public:
    SleepInhibitor() = default;
    ~SleepInhibitor() { Release(); }
    SleepInhibitor(const SleepInhibitor&) = delete;
    SleepInhibitor& operator=(const SleepInhibitor&) = delete;

    // Takes the lock; false, with logind's reason, when it cannot be had (no system bus, no
    // logind, or refused). Taking it twice keeps the first lock.
    bool Acquire(const QString& why, QString* reason = nullptr);
    void Release();
    bool IsHeld() const { return lock.isValid(); }

private:
    QDBusUnixFileDescriptor lock;
};
