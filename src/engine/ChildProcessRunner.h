// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Result.h"
#include "engine/CommandTemplate.h"
#include "media/OutputTail.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QProcess>
#include <QTimer>

#include <functional>
#include <memory>

class QSocketNotifier;

// Runs one encoder pass at a time as a child process, without ever waiting: the pass starts,
// its output arrives through the event loop, and PassEnded() says when it is over. The child
// runs in a process group of its own (a terminal's Ctrl+C does not reach it; Stop, pause and
// the end of a pass reach everything it started) and dies with the program.
//
// The program word of a command is looked up in the program folder, then in the profile folder
// (the child's working folder), then on PATH. A first-pass program that cannot be found or
// started is logged as "CreateProcess" with the system's error code and text.
//
// No child outlives the runner.
class ChildProcessRunner : public QObject {
    Q_OBJECT
public:
    using ChunkHandler = std::function<void(QByteArrayView chunk)>;

    explicit ChildProcessRunner(QObject* parent = nullptr);
    ~ChildProcessRunner() override;

    // Receives every chunk (at most 255 bytes) of the first pass's merged stdout and stderr.
    void SetChunkHandler(ChunkHandler handler) { chunkHandler = std::move(handler); }
    // The folder the child starts in (the profile folder); relative names resolve there.
    void SetWorkingDirectory(const QString& dir) { workingDir = dir; }
    // How long a child may take to end once asked (then it is killed).
    void SetGracePeriod(int ms) { graceMs = ms; }

    // First pass: starts the command with stdin and merged output on pipes. When its output
    // has ended (the encoder is done or has closed it) the encoder is sent "q" and given the
    // grace period to end. Fails when the program cannot be started (logged); no PassEnded()
    // follows then.
    Result<void> RunWithOutput(const CommandLine& command);
    // Later passes: starts the command without input; PassEnded() when the child has ended.
    // Fails, unlogged, when the program cannot be started.
    Result<void> RunAndWait(const CommandLine& command);

    // Ends the running pass early: a first pass gets "q" (its output is no longer read),
    // a later one SIGTERM; what is left after the grace period is killed. PassEnded() follows.
    void Stop();
    // Ends the running pass at once: the encoder and what it started are killed (an encoder
    // that hangs would not act on "q"). PassEnded() follows.
    void Kill();
    // Suspends (SIGSTOP) or resumes (SIGCONT) the encoder with everything it started. The
    // state holds for the passes to come: a pass started while suspended is stopped right
    // after its start.
    void Suspend(bool suspend);

    // A pass has started and its PassEnded() has not come yet.
    bool IsPassRunning() const { return passRunning; }
    bool IsChildRunning() const;
    // Whether the most recent pass's encoder ran and ended normally with status 0; otherwise
    // fails with why not.
    Result<void> ExitResult() const;

    // How many bytes of output the running (or last) pass has written so far: its progress.
    qint64 OutputBytes() const { return outputBytes; }

    // The last output of the most recent pass (merged channels), for failure reports.
    QString OutputTail(int maxLines = 12) const;

    // Where the program word of a command resolves to; empty when it is nowhere.
    QString FindProgram(const QString& program) const;

signals:
    // The pass is over: the child has ended and nothing it started is left.
    void PassEnded();

private:
    Result<void> Start(const CommandLine& command, bool withPipes, bool logFailure);
    void ReadOutput();
    void OnOutputEnded();
    void OnChildFinished();
    void OnGraceOver();
    void CloseOutputRead();
    void RequestStop();
    void SignalGroup(int signal);
    void ResetChild();
    bool OpenOutputPipe();

    ChunkHandler chunkHandler;
    QString workingDir;
    int graceMs = 5000;
    std::unique_ptr<QProcess> child;
    // The first pass's merged output: a pipe of our own, so that its end is seen even while
    // the encoder is still running (it may close its output and wait for "q").
    int outputRead = -1;
    int outputWrite = -1;
    QSocketNotifier* outputNotifier = nullptr;
    bool inputOpen = false;
    bool passRunning = false;
    bool stopRequested = false;    // Stop() has asked the pass to end
    bool suspendRequested = false; // Suspend(true): also for the passes to come
    bool suspended = false;        // the running pass's group has been sent SIGSTOP
    qint64 outputBytes = 0;
    qint64 groupId = 0; // the encoder's process id, which leads its process group
    QTimer grace;       // runs while the child has been asked to end
    ::OutputTail tail;
};
