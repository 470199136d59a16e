// SPDX-License-Identifier: GPL-3.0-or-later
#include "power/LogindManager.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusInterface>

std::unique_ptr<QDBusInterface> LogindManager(QString* reason) {
    const QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        if (reason != nullptr)
            *reason =
                QCoreApplication::translate("LogindManager", "The system bus is not available.");
        return nullptr;
    }
    auto manager = std::make_unique<QDBusInterface>(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), bus);
    if (!manager->isValid()) {
        if (reason != nullptr)
            *reason =
                QCoreApplication::translate("LogindManager", "The login manager is not available.");
        return nullptr;
    }
    return manager;
}
