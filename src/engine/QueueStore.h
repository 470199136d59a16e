// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Result.h"
#include "engine/JobList.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

// What the window remembers of its batch between runs: the job list with each row's source,
// range, output names, own type and profile and status, and the page's output type, profile
// and simultaneous jobs.
struct QueueState {
    JobList jobs;
    int outputType = 0;
    int profileSelection = -1; // the profile list's row, -1 for none
    int simultaneousJobs = 1;  // 0 for "Auto"
};

namespace QueueStore {

// $XDG_STATE_HOME/Morvane/queue.json, or ~/.local/state/Morvane/queue.json without it.
QString DefaultPath();
// Writes the state whole: a temporary file beside it, flushed to the disk, then renamed over
// the old one (and the folder flushed), so a crash leaves the old file or the new one.
Result<void> Write(const QString& path, const QueueState& state);
// Reads a state back. Rows that were running come back "Interrupted"; a row whose source is
// gone comes back marked as missing. A file that is not a queue (torn, garbage, a later
// format) fails with the reason; no file at all reads as an empty state.
Result<QueueState> Read(const QString& path);
// Reads the state at path; one that cannot be read is moved aside (path + ".unreadable") and
// named in log.txt, and an empty state is returned, so that nothing is lost or read twice.
QueueState ReadOrSetAside(const QString& path);

} // namespace QueueStore

// Writes the state a snapshot function gives whenever Changed() is called, at most once per
// interval (the changes in between go with the next write), and at once on Flush and at its end.
class QueueKeeper : public QObject {
    Q_OBJECT
public:
    QueueKeeper(QString path, std::function<QueueState()> snapshot, QObject* parent = nullptr);
    ~QueueKeeper() override;

    void Changed();
    // Writes now what is pending.
    void Flush();
    QString Path() const { return path; }

    static constexpr int IntervalMs = 300;

private:
    QString path;
    std::function<QueueState()> snapshot;
    QTimer timer;
    bool pending = false;
    bool reportedFailure = false;
};
