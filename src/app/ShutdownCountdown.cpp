// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ShutdownCountdown.h"

ShutdownCountdown::ShutdownCountdown(QObject* parent) : QObject(parent) {
    timer.setInterval(1000);
    connect(&timer, &QTimer::timeout, this, &ShutdownCountdown::Step);
}

void ShutdownCountdown::Start() {
    remaining = Seconds;
    running = true;
    timer.start();
    emit Ticked(remaining);
}

void ShutdownCountdown::Step() {
    if (!running)
        return;
    remaining = std::max(remaining - 1, 0);
    emit Ticked(remaining);
    if (remaining > 0)
        return;
    running = false;
    timer.stop();
    emit Expired();
}

void ShutdownCountdown::Cancel() {
    if (!running)
        return;
    running = false;
    timer.stop();
    emit Canceled();
}

QString ShutdownCountdown::Text() const {
    return remaining == 1
               ? tr("Converting finished. The computer shuts down in 1 second.")
               : tr("Converting finished. The computer shuts down in %1 seconds.").arg(remaining);
}
