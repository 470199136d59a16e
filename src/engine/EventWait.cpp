#include "engine/EventWait.h"

#include <QCoreApplication>
#include <QElapsedTimer>

void PumpMessages() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void WaitForEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

quint32 TickCount() {
    static QElapsedTimer clock = [] {
        QElapsedTimer timer;
        timer.start();
        return timer;
    }();
    return static_cast<quint32>(clock.elapsed());
}
