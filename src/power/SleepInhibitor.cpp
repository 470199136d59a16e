// SPDX-License-Identifier: GPL-3.0-or-later
#include "power/SleepInhibitor.h"

#include "power/LogindManager.h"

#include <QDBusInterface>
#include <QDBusReply>

bool SleepInhibitor::Acquire(const QString& why, QString* reason) {
    auto fail = [reason](const QString& text) {
        if (reason != nullptr)
            *reason = text;
        return false;
    };
    if (IsHeld())
        return true;
    const std::unique_ptr<QDBusInterface> manager = LogindManager(reason);
    if (!manager)
        return false;
    // "block": sleep and idle wait until the lock is released, not merely delayed.
    const QDBusReply<QDBusUnixFileDescriptor> reply =
        manager->call(QStringLiteral("Inhibit"), QStringLiteral("sleep:idle"),
                      QStringLiteral("Morvane"), why, QStringLiteral("block"));
    if (!reply.isValid())
        return fail(reply.error().message());
    lock = reply.value();
    return true;
}

void SleepInhibitor::Release() {
    // logind drops the lock when the last copy of the descriptor is closed.
    lock = QDBusUnixFileDescriptor();
}
