#include "app/PowerControl.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>

bool LogindPowerControl::RequestPowerOff(QString* reason) {
    auto fail = [reason](const QString& why) {
        if (reason != nullptr)
            *reason = why;
        return false;
    };
    const QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return fail(QStringLiteral("The system bus is not available."));
    QDBusInterface manager(QStringLiteral("org.freedesktop.login1"),
                           QStringLiteral("/org/freedesktop/login1"),
                           QStringLiteral("org.freedesktop.login1.Manager"), bus);
    if (!manager.isValid())
        return fail(QStringLiteral("The login manager is not available."));

    // "yes": allowed; "challenge": allowed after the user authenticates; else refused.
    const QDBusReply<QString> can = manager.call(QStringLiteral("CanPowerOff"));
    if (!can.isValid())
        return fail(can.error().message());
    if (can.value() != QLatin1String("yes") && can.value() != QLatin1String("challenge"))
        return fail(QStringLiteral("Powering off is not permitted (%1).").arg(can.value()));

    const bool interactive = can.value() == QLatin1String("challenge");
    const QDBusReply<void> reply = manager.call(QStringLiteral("PowerOff"), interactive);
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
