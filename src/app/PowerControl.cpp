// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/PowerControl.h"

#include "power/LogindManager.h"

#include <QDBusInterface>
#include <QDBusReply>

bool LogindPowerControl::RequestPowerOff(QString* reason) {
    auto fail = [reason](const QString& why) {
        if (reason != nullptr)
            *reason = why;
        return false;
    };
    const std::unique_ptr<QDBusInterface> manager = LogindManager(reason);
    if (!manager)
        return false;

    // "yes": allowed; "challenge": allowed after the user authenticates; else refused.
    const QDBusReply<QString> can = manager->call(QStringLiteral("CanPowerOff"));
    if (!can.isValid())
        return fail(can.error().message());
    if (can.value() != QLatin1String("yes") && can.value() != QLatin1String("challenge"))
        return fail(QStringLiteral("Powering off is not permitted (%1).").arg(can.value()));

    const bool interactive = can.value() == QLatin1String("challenge");
    const QDBusReply<void> reply = manager->call(QStringLiteral("PowerOff"), interactive);
    if (!reply.isValid())
        return fail(reply.error().message());
    return true;
}

bool LogindPowerControl::InhibitSleep(QString* reason) {
    return inhibitor.Acquire(QStringLiteral("Converting videos"), reason);
}

void LogindPowerControl::AllowSleep() {
    inhibitor.Release();
}
