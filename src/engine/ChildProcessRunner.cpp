#include "engine/ChildProcessRunner.h"

#include "engine/AppPaths.h"
#include "engine/ErrorLog.h"
#include "engine/EventWait.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTimer>

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

constexpr std::size_t ChunkSize = 255;
constexpr qsizetype TailBytes = 4096;

bool IsRunnable(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

} // namespace

ChildProcessRunner::ChildProcessRunner(const bool& cancelRequested)
    : cancelRequested(cancelRequested), workingDir(AppPaths::ProfileDir()) {}

ChildProcessRunner::~ChildProcessRunner() {
    CloseOutputRead();
    if (outputWrite >= 0)
        ::close(outputWrite);
    if (child && child->state() != QProcess::NotRunning) {
        SignalGroup(SIGKILL);
        child->kill();
        child->waitForFinished(5000);
    }
    SignalGroup(SIGKILL);
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
    outputNotifier = std::make_unique<QSocketNotifier>(outputRead, QSocketNotifier::Read);
    // The read loop reads; the notifier only wakes it. Switched off until the loop waits
    // again, so that output nobody reads yet cannot wake the event loop over and over.
    QObject::connect(outputNotifier.get(), &QSocketNotifier::activated, outputNotifier.get(),
                     [this] { outputNotifier->setEnabled(false); });
    return true;
}

bool ChildProcessRunner::Start(const CommandLine& command, bool withPipes, bool logFailure) {
    ResetChild();
    tail.clear();
    const QString program = FindProgram(command.Program());
    if (program.isEmpty()) {
        if (logFailure) {
            // A named file that exists but may not be run is refused, not missing.
            const QString named = QDir(workingDir).absoluteFilePath(command.Program());
            const bool exists = !command.Program().isEmpty() && QFileInfo(named).isFile();
            LogApiError(QStringLiteral("CreateProcess"), exists ? EACCES : ENOENT);
        }
        return false;
    }
    if (withPipes && !OpenOutputPipe())
        return false;

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
        // The encoder dies with the program, however the program ends (even kill -9).
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127);
        // A terminal's Ctrl+C goes to the whole foreground group: the encoder must not see it;
        // the engine stops it the proper way ("q", or a signal for the later passes).
        ::setpgid(0, 0);
        if (writeEnd >= 0) {
            ::dup2(writeEnd, STDOUT_FILENO);
            ::dup2(writeEnd, STDERR_FILENO);
        }
    });
    inputOpen = withPipes;
    child->start(program, command.ProgramArguments(), QIODevice::ReadWrite);
    // Startup is reported through the event loop; wait there for it.
    while (child->state() == QProcess::Starting)
        WaitForEvents();
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
        return false;
    }
    return true;
}

void ChildProcessRunner::RunWithOutput(const CommandLine& command) {
    if (!Start(command, true, true))
        return;

    std::array<char, ChunkSize> buffer{};
    int readError = 0;
    while (outputRead >= 0) {
        const ssize_t n = ::read(outputRead, buffer.data(), ChunkSize);
        if (n > 0) {
            const QByteArrayView chunk(buffer.data(), n);
            KeepTail(chunk);
            if (chunkHandler)
                chunkHandler(chunk);
            PumpMessages();
            if (cancelRequested)
                return;
            continue;
        }
        if (n == 0)
            break; // every writer is gone: the pass is over
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            readError = errno;
            break;
        }
        outputNotifier->setEnabled(true);
        WaitForEvents();
        if (cancelRequested)
            return;
    }
    if (readError != 0)
        LogApiError(QStringLiteral("ReadFile"), readError);
}

void ChildProcessRunner::RunAndWait(const CommandLine& command) {
    if (!Start(command, false, false))
        return;
    // The output is kept only as a tail for a failure report; it is not parsed.
    QObject::connect(child.get(), &QProcess::readyReadStandardOutput, child.get(),
                     [this] { KeepTail(child->readAllStandardOutput()); });
    while (child->state() != QProcess::NotRunning) {
        WaitForEvents();
        if (cancelRequested) {
            SignalGroup(SIGTERM); // asked first; EndChild kills what is left after the grace
            EndChild(5000);
            return;
        }
    }
    KeepTail(child->readAllStandardOutput());
    SignalGroup(SIGKILL); // whatever the encoder started goes with it
}

void ChildProcessRunner::CloseOutputRead() {
    outputNotifier.reset();
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

void ChildProcessRunner::EndChild(int graceMs) {
    if (!child)
        return;
    if (child->state() != QProcess::NotRunning) {
        // A timer wakes the wait when the child stays silent.
        QTimer wake;
        wake.start(std::max(graceMs, 1));
        const QDeadlineTimer deadline(graceMs);
        while (child->state() != QProcess::NotRunning && !deadline.hasExpired())
            WaitForEvents();
        if (child->state() != QProcess::NotRunning) {
            SignalGroup(SIGKILL);
            child->kill();
            wake.start(5000);
            while (child->state() != QProcess::NotRunning)
                WaitForEvents();
        }
    }
    // Whatever the encoder started goes with it.
    SignalGroup(SIGKILL);
    if (child->bytesAvailable() > 0)
        KeepTail(child->readAll());
    inputOpen = false;
}

QString ChildProcessRunner::ExitProblem() const {
    if (!child || groupId == 0)
        return QStringLiteral("The encoder could not be started.");
    if (child->state() != QProcess::NotRunning)
        return QStringLiteral("The encoder is still running.");
    if (child->exitStatus() == QProcess::CrashExit)
        return QStringLiteral("The encoder crashed or was killed.");
    if (child->exitCode() != 0)
        return QStringLiteral("The encoder ended with code %1.").arg(child->exitCode());
    return {};
}

void ChildProcessRunner::SignalGroup(int signal) {
    if (groupId > 0)
        ::kill(-pid_t(groupId), signal);
}

bool ChildProcessRunner::IsChildRunning() const {
    return child && child->state() != QProcess::NotRunning;
}

void ChildProcessRunner::KeepTail(QByteArrayView data) {
    tail += data;
    if (tail.size() > TailBytes)
        tail = tail.right(TailBytes);
}

QString ChildProcessRunner::OutputTail(int maxLines) const {
    QString text = QString::fromLocal8Bit(tail);
    text.replace(u'\r', u'\n');
    QStringList lines = text.split(u'\n', Qt::SkipEmptyParts);
    for (QString& line : lines)
        line = line.trimmed();
    lines.removeAll(QString());
    if (lines.size() > maxLines)
        lines = lines.mid(lines.size() - maxLines);
    return lines.join(u'\n');
}

void ChildProcessRunner::ResetChild() {
    if (child && child->state() != QProcess::NotRunning) {
        SignalGroup(SIGKILL);
        child->kill();
        EndChild(5000);
    }
    child.reset();
    groupId = 0;
    CloseOutputRead();
    if (outputWrite >= 0) {
        ::close(outputWrite);
        outputWrite = -1;
    }
    inputOpen = false;
}
