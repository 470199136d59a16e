#pragma once

#include <QObject>

class QSocketNotifier;

// Turns Ctrl+C (SIGINT) and SIGTERM into a Qt signal delivered by the event loop, so that the
// batch can stop cleanly from inside its own event handling. One instance per process.
class InterruptWatcher : public QObject {
    Q_OBJECT
public:
    explicit InterruptWatcher(QObject* parent = nullptr);
    ~InterruptWatcher() override;

    // True once a signal has arrived (also when it came before the event loop ran).
    bool Interrupted() const;

signals:
    void InterruptRequested();

private:
    void OnReadable();

    QSocketNotifier* notifier = nullptr;
};
