#pragma once

#include "engine/CommandTemplate.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QProcess>

#include <functional>
#include <memory>

class QSocketNotifier;

// Runs one encoder pass as a child process and stays with it until the pass is over, while
// the caller's events keep being handled (the window repaints, Stop works). It never spins:
// between chunks of output it sleeps in the event loop.
//
// The program word of a command is looked up in the program folder, then in the profile folder
// (the child's working folder), then on PATH. A program that cannot be found or started is
// logged as "CreateProcess" with the system's error code and text.
//
// Only one child at a time; no child outlives the runner.
class ChildProcessRunner {
public:
    using ChunkHandler = std::function<void(QByteArrayView chunk)>;

    // cancelRequested is the engine's flag, read after every pump of events.
    explicit ChildProcessRunner(const bool& cancelRequested);
    ~ChildProcessRunner();
    ChildProcessRunner(const ChildProcessRunner&) = delete;
    ChildProcessRunner& operator=(const ChildProcessRunner&) = delete;

    // Receives every chunk (at most 255 bytes) of the first pass's merged stdout and stderr.
    void SetChunkHandler(ChunkHandler handler) { chunkHandler = std::move(handler); }
    // The folder the child starts in (the profile folder); relative names resolve there.
    void SetWorkingDirectory(const QString& dir) { workingDir = dir; }

    // First pass: runs with stdin and merged output on pipes. Returns when the output pipe has
    // ended (the encoder is done or has closed it), or at once after an event pump that found a
    // cancel request. Leaves the child running: call StopChild() afterwards.
    void RunWithOutput(const CommandLine& command);
    // Later passes: runs without input and returns when the child has ended, or after killing
    // it on a cancel request. A program that cannot be started returns at once, unlogged.
    void RunAndWait(const CommandLine& command);

    // Stops reading the child's output (the parent's read end); later calls do nothing.
    void CloseOutputRead();
    // Writes the stop request "q" to the child's stdin and closes it; only once per pass.
    void RequestStop();
    // Waits in the event loop for the child to end, killing it after graceMs.
    void EndChild(int graceMs = 5000);
    bool IsChildRunning() const;
    // Whether the most recent pass's encoder ran and ended normally with status 0; otherwise
    // why not ("" when it succeeded).
    QString ExitProblem() const;
    // Sends a signal to the encoder's whole process group (the encoder and what it started).
    void SignalGroup(int signal);

    // The last output of the most recent pass (merged channels), for failure reports.
    QString OutputTail(int maxLines = 12) const;

    // Where the program word of a command resolves to; empty when it is nowhere.
    QString FindProgram(const QString& program) const;

private:
    bool Start(const CommandLine& command, bool withPipes, bool logFailure);
    void KeepTail(QByteArrayView data);
    void ResetChild();
    bool OpenOutputPipe();

    const bool& cancelRequested;
    ChunkHandler chunkHandler;
    QString workingDir;
    std::unique_ptr<QProcess> child;
    // The first pass's merged output: a pipe of our own, so that its end is seen even while
    // the encoder is still running (it may close its output and wait for "q").
    int outputRead = -1;
    int outputWrite = -1;
    std::unique_ptr<QSocketNotifier> outputNotifier;
    bool inputOpen = false;
    qint64 groupId = 0; // the encoder's process id, which leads its process group
    QByteArray tail;
};
