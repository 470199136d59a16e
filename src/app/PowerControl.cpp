// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/PowerControl.h"

#include "power/LogindManager.h"

#include <QCoreApplication>
#include <QDBusInterface>
#include <QDBusReply>

namespace {

// logind's answer to CanPowerOff: "yes", "challenge" (allowed once the user authenticates),
// or a refusal; empty with the reason when logind cannot be asked.
QString AskCanPowerOff(QDBusInterface& manager, QString* reason) {
    const QDBusReply<QString> can = manager.call(QStringLiteral("CanPowerOff"));
    if (!can.isValid()) {
        if (reason != nullptr)
            *reason = can.error().message();
        return {};
    }
    if (can.value() != QLatin1String("yes") && can.value() != QLatin1String("challenge")) {
        if (reason != nullptr)
            *reason =
                QCoreApplication::translate("PowerControl", "Powering off is not permitted (%1).")
                    .arg(can.value());
        return {};
    }
    return can.value();
}

} // namespace

bool LogindPowerControl::CanPowerOff(QString* reason) {
    const std::unique_ptr<QDBusInterface> manager = LogindManager(reason);
    return manager && !AskCanPowerOff(*manager, reason).isEmpty();
}

bool LogindPowerControl::RequestPowerOff(QString* reason) {
    const std::unique_ptr<QDBusInterface> manager = LogindManager(reason);
    if (!manager)
        return false;
    const QString can = AskCanPowerOff(*manager, reason);
    if (can.isEmpty())
        return false;
    const bool interactive = can == QLatin1String("challenge");
    const QDBusReply<void> reply = manager->call(QStringLiteral("PowerOff"), interactive);
    if (!reply.isValid()) {
        if (reason != nullptr)
            *reason = reply.error().message();
        return false;
    }
    return true;
}

bool LogindPowerControl::InhibitSleep(QString* reason) {
    return inhibitor.Acquire(QCoreApplication::translate("PowerControl", "Converting videos"),
                             reason);
}

void LogindPowerControl::AllowSleep() {
    inhibitor.Release();
}
