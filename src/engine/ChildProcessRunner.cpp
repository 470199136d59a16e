// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/ChildProcessRunner.h"

#include "engine/ErrorLog.h"
#include "media/AppPaths.h"
#include "media/ChildProcess.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTimer>

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr std::size_t ChunkSize = 255;

Failure NotStarted() {
    return Failure(
        QCoreApplication::translate("ChildProcessRunner", "The encoder could not be started."));
}

bool IsRunnable(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

} // namespace

ChildProcessRunner::ChildProcessRunner(QObject* parent)
    : QObject(parent), workingDir(AppPaths::ProfileDir()) {
    grace.setSingleShot(true);
    connect(&grace, &QTimer::timeout, this, &ChildProcessRunner::OnGraceOver);
}

ChildProcessRunner::~ChildProcessRunner() {
    grace.stop();
    CloseOutputRead();
    if (outputWrite >= 0)
        ::close(outputWrite);
    SignalGroup(SIGKILL);
    if (child) {
        child->disconnect(this);
        if (child->state() != QProcess::NotRunning) {
            child->kill();
            child->waitForFinished(5000);
        }
    }
}

QString ChildProcessRunner::FindProgram(const QString& program) const {
    return AppPaths::FindProgram(program, workingDir);
}

bool ChildProcessRunner::OpenOutputPipe() {
    std::array<int, 2> fds{-1, -1};
    if (::pipe2(fds.data(), O_CLOEXEC) != 0) {
        LogApiError(QStringLiteral("CreatePipe"), errno);
        return false;
    }
    outputRead = fds[0];
    outputWrite = fds[1];
    ::fcntl(outputRead, F_SETFL, ::fcntl(outputRead, F_GETFL) | O_NONBLOCK);
    outputNotifier = new QSocketNotifier(outputRead, QSocketNotifier::Read, this);
    outputNotifier->setEnabled(false); // until the child runs
    connect(outputNotifier, &QSocketNotifier::activated, this, &ChildProcessRunner::ReadOutput);
    return true;
}

Result<void> ChildProcessRunner::Start(const CommandLine& command, bool withPipes,
                                       bool logFailure) {
    ResetChild();
    tail.Clear();
    const QString program = FindProgram(command.Program());
    if (program.isEmpty()) {
        if (logFailure) {
            // A named file that exists but may not be run is refused, not missing.
            const QString named = QDir(workingDir).absoluteFilePath(command.Program());
            const bool exists = !command.Program().isEmpty() && QFileInfo(named).isFile();
            LogApiError(QStringLiteral("CreateProcess"), exists ? EACCES : ENOENT);
        }
        return NotStarted();
    }
    if (withPipes && !OpenOutputPipe())
        return NotStarted();

    child = std::make_unique<QProcess>();
    child->setWorkingDirectory(workingDir);
    if (withPipes) {
        // stdout and stderr both go into our pipe; stdin stays QProcess's pipe for "q".
        child->setStandardOutputFile(QProcess::nullDevice());
        child->setStandardErrorFile(QProcess::nullDevice());
    } else {
        child->setStandardInputFile(QProcess::nullDevice());
        child->setProcessChannelMode(QProcess::MergedChannels);
    }
    const int writeEnd = outputWrite;
    const pid_t parent = ::getpid();
    child->setChildProcessModifier([writeEnd, parent] {
        // A terminal's Ctrl+C must not reach the encoder: the engine stops it the proper way
        // ("q", or a signal for the later passes).
        ChildProcess::SetUp(parent);
        if (writeEnd >= 0) {
            ::dup2(writeEnd, STDOUT_FILENO);
            ::dup2(writeEnd, STDERR_FILENO);
        }
    });
    inputOpen = withPipes;
    connect(child.get(), &QProcess::finished, this, &ChildProcessRunner::OnChildFinished);
    if (!withPipes) {
        // The output is kept only as a tail for a failure report; it is not parsed.
        connect(child.get(), &QProcess::readyReadStandardOutput, this, [this] {
            const QByteArray data = child->readAllStandardOutput();
            outputBytes += data.size();
            tail.Append(data);
        });
    }
    child->start(program, command.ProgramArguments(), QIODevice::ReadWrite);
    // The fork has happened; this waits only for the program to be loaded (or refused).
    child->waitForStarted(-1);
    // Only the child may hold the writing end now, so the pipe ends when the child is done.
    if (outputWrite >= 0) {
        ::close(outputWrite);
        outputWrite = -1;
    }
    groupId = child->processId();
    if (child->state() == QProcess::NotRunning) {
        if (logFailure) {
            const int code = IsRunnable(program) ? ENOEXEC : EACCES;
            LogApiError(QStringLiteral("CreateProcess"), code, child->errorString());
        }
        ResetChild();
        return NotStarted();
    }
    passRunning = true;
    stopRequested = false;
    suspended = false;
    outputBytes = 0;
    if (suspendRequested) {
        // Started during a pause: the pass waits for the resume like the others.
        suspended = true;
        SignalGroup(SIGSTOP);
    }
    if (outputNotifier != nullptr)
        outputNotifier->setEnabled(true);
    return {};
}

Result<void> ChildProcessRunner::RunWithOutput(const CommandLine& command) {
    return Start(command, true, true);
}

Result<void> ChildProcessRunner::RunAndWait(const CommandLine& command) {
    return Start(command, false, false);
}

// Reads what the first pass has written so far, in chunks of at most 255 bytes; a burst is
// read in part and the rest on the next turn of the event loop, so that the window stays live.
void ChildProcessRunner::ReadOutput() {
    std::array<char, ChunkSize> buffer{};
    for (int turn = 0; turn < 64 && outputRead >= 0; ++turn) {
        const ssize_t n = ::read(outputRead, buffer.data(), ChunkSize);
        if (n > 0) {
            const QByteArrayView chunk(buffer.data(), n);
            outputBytes += n;
            tail.Append(chunk);
            if (chunkHandler)
                chunkHandler(chunk);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        if (n < 0)
            LogApiError(QStringLiteral("ReadFile"), errno);
        OnOutputEnded(); // every writer is gone (or the pipe broke): the output is over
        return;
    }
}

// The first pass's output has ended: the encoder is done, or waits for "q" to finish its file.
void ChildProcessRunner::OnOutputEnded() {
    CloseOutputRead();
    RequestStop();
    if (!IsChildRunning())
        OnChildFinished();
    else if (!grace.isActive())
        grace.start(graceMs);
}

void ChildProcessRunner::OnChildFinished() {
    if (!passRunning)
        return;
    if (outputRead >= 0) {
        // What the child wrote last is still in the pipe; a process it left behind may hold
        // the pipe open, so nothing waits for its end.
        std::array<char, ChunkSize> buffer{};
        for (int turn = 0; turn < 256; ++turn) {
            const ssize_t n = ::read(outputRead, buffer.data(), ChunkSize);
            if (n <= 0)
                break;
            outputBytes += n;
            const QByteArrayView chunk(buffer.data(), n);
            tail.Append(chunk);
            if (chunkHandler)
                chunkHandler(chunk);
        }
    }
    grace.stop();
    // Whatever the encoder started goes with it.
    SignalGroup(SIGKILL);
    CloseOutputRead();
    if (child && child->bytesAvailable() > 0)
        tail.Append(child->readAll());
    inputOpen = false;
    passRunning = false;
    suspended = false;
    // After the child's own signal has returned: the next pass may replace the child.
    QMetaObject::invokeMethod(this, &ChildProcessRunner::PassEnded, Qt::QueuedConnection);
}

void ChildProcessRunner::Stop() {
    if (!passRunning || stopRequested)
        return;
    stopRequested = true;
    if (suspended) {
        suspended = false; // a stopped encoder cannot act on the request
        SignalGroup(SIGCONT);
    }
    if (outputRead >= 0 || inputOpen) {
        CloseOutputRead();
        RequestStop();
    } else {
        SignalGroup(SIGTERM);
    }
    if (!IsChildRunning())
        OnChildFinished();
    else if (!grace.isActive())
        grace.start(graceMs);
}

void ChildProcessRunner::Kill() {
    if (!passRunning)
        return;
    stopRequested = true;
    CloseOutputRead();
    inputOpen = false;
    SignalGroup(SIGKILL);
    if (IsChildRunning())
        child->kill(); // its end comes as finished()
    else
        OnChildFinished();
}

void ChildProcessRunner::OnGraceOver() {
    if (!IsChildRunning())
        return;
    SignalGroup(SIGKILL);
    child->kill(); // its end comes as finished()
}

void ChildProcessRunner::Suspend(bool suspend) {
    suspendRequested = suspend;
    if (!passRunning || stopRequested || suspend == suspended)
        return;
    suspended = suspend;
    SignalGroup(suspend ? SIGSTOP : SIGCONT);
}

void ChildProcessRunner::CloseOutputRead() {
    if (outputNotifier != nullptr) {
        // Possibly from inside its own signal: it goes once that has returned.
        outputNotifier->setEnabled(false);
        outputNotifier->disconnect(this);
        outputNotifier->deleteLater();
        outputNotifier = nullptr;
    }
    if (outputRead >= 0) {
        ::close(outputRead);
        outputRead = -1;
    }
}

void ChildProcessRunner::RequestStop() {
    if (!child || !inputOpen)
        return;
    inputOpen = false;
    if (child->state() == QProcess::NotRunning)
        return;
    child->write("q", 1);
    // closeWriteChannel() sends what is buffered first, then closes the pipe.
    child->closeWriteChannel();
}

Result<void> ChildProcessRunner::ExitResult() const {
    if (!child || groupId == 0)
        return NotStarted();
    if (child->state() != QProcess::NotRunning)
        return Failure(tr("The encoder is still running."));
    if (child->exitStatus() == QProcess::CrashExit)
        return Failure(tr("The encoder crashed or was killed."));
    if (child->exitCode() != 0)
        return Failure(tr("The encoder ended with code %1.").arg(child->exitCode()));
    return {};
}

void ChildProcessRunner::SignalGroup(int signal) {
    ChildProcess::SignalGroup(groupId, signal);
}

bool ChildProcessRunner::IsChildRunning() const {
    return child && child->state() != QProcess::NotRunning;
}

QString ChildProcessRunner::OutputTail(int maxLines) const {
    return tail.LastLines(maxLines);
}

void ChildProcessRunner::ResetChild() {
    grace.stop();
    if (child) {
        child->disconnect(this);
        if (child->state() != QProcess::NotRunning) {
            SignalGroup(SIGKILL);
            child->kill();
            child->waitForFinished(5000);
        }
    }
    child.reset();
    groupId = 0;
    passRunning = false;
    suspended = false;
    CloseOutputRead();
    if (outputWrite >= 0) {
        ::close(outputWrite);
        outputWrite = -1;
    }
    inputOpen = false;
}
