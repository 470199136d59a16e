// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QTimer>

// The wait before the computer is powered off at the end of a batch: one step a second from
// Seconds down to 0, then Expired, unless the user cancels first. A timer, not a loop: the
// program keeps running while it counts.
class ShutdownCountdown : public QObject {
    Q_OBJECT
public:
    static constexpr int Seconds = 60;

    explicit ShutdownCountdown(QObject* parent = nullptr);

    void Start();
    // One second has passed (the timer calls it; tests may too).
    void Step();
    void Cancel();
    int Remaining() const { return remaining; }
    bool IsRunning() const { return running; }
    // "The computer shuts down in N seconds."
    QString Text() const;

signals:
    void Ticked(int remaining);
    void Expired();
    void Canceled();

private:
    QTimer timer;
    int remaining = Seconds;
    bool running = false;
};
