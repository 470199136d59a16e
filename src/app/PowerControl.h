// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "power/SleepInhibitor.h"

#include <QString>

// Turns the computer off at the end of a batch, when the user asked for it, and keeps it awake
// while a batch runs.
class PowerControl {
public:
    virtual ~PowerControl() = default;
    // Whether a power-off would be allowed now, without asking for it; false with the reason.
    virtual bool CanPowerOff(QString* reason) = 0;
    // Asks the system to power off. Returns false, with the reason, when the request is
    // refused or not permitted.
    virtual bool RequestPowerOff(QString* reason) = 0;
    // Keeps the computer from sleeping until AllowSleep; false, with the reason, when the
    // system does not grant it (the batch runs all the same).
    virtual bool InhibitSleep(QString* reason) = 0;
    virtual void AllowSleep() = 0;
};

// Powers off and holds the sleep lock through the login manager (logind over the system D-Bus).
class LogindPowerControl : public PowerControl {
public:
    bool CanPowerOff(QString* reason) override;
    bool RequestPowerOff(QString* reason) override;
    bool InhibitSleep(QString* reason) override;
    void AllowSleep() override;

private:
    SleepInhibitor inhibitor;
};
