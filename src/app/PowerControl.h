#pragma once

#include <QString>

// Turns the computer off at the end of a batch, when the user asked for it.
class PowerControl {
public:
    virtual ~PowerControl() = default;
    // Asks the system to power off. Returns false, with the reason, when the request is
    // refused or not permitted.
    virtual bool RequestPowerOff(QString* reason) = 0;
};

// Powers off through the login manager (logind's PowerOff over the system D-Bus).
class LogindPowerControl : public PowerControl {
public:
    bool RequestPowerOff(QString* reason) override;
};
