#include "power/SleepInhibitor.h"

#include <QDBusConnection>
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
    const QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return fail(QStringLiteral("The system bus is not available."));
    QDBusInterface manager(QStringLiteral("org.freedesktop.login1"),
                           QStringLiteral("/org/freedesktop/login1"),
                           QStringLiteral("org.freedesktop.login1.Manager"), bus);
    if (!manager.isValid())
        return fail(QStringLiteral("The login manager is not available."));
    // "block": sleep and idle wait until the lock is released, not merely delayed.
    const QDBusReply<QDBusUnixFileDescriptor> reply =
        manager.call(QStringLiteral("Inhibit"), QStringLiteral("sleep:idle"),
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
