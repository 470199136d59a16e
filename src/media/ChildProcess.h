// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#include <sys/types.h>

// What every child program of Morvane (the encoder passes, the RealMedia export) is: it dies
// with the program however the program ends (even kill -9), gets back the signals the program
// ignores or blocks for itself (SIGXFSZ, SIGPIPE, the ones morvane-cli reads: dispositions and
// masks are inherited), and leads a process group of its own, so that a terminal's Ctrl+C
// reaches the program only and pause and stop reach everything the child starts.
namespace ChildProcess {

// For QProcess::setChildProcessModifier: runs in the child between fork and exec (only calls
// that are safe there). parent: the program's process id, taken before the fork.
void SetUp(pid_t parent);

// Sends a signal to the process group a child leads; false when there is none.
bool SignalGroup(qint64 leader, int signal);

} // namespace ChildProcess
