// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <memory>

class QDBusInterface;

// logind's Manager on the system bus (power-off, sleep locks), or nullptr with the reason when
// there is no system bus or no login manager.
std::unique_ptr<QDBusInterface> LogindManager(QString* reason);
