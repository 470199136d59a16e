// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/ChildProcess.h"

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace ChildProcess {

void SetUp(pid_t parent) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    // The program may have ended before the death signal was set.
    if (::getppid() != parent)
        ::_exit(127);
    ::signal(SIGXFSZ, SIG_DFL);
    ::signal(SIGPIPE, SIG_DFL);
    // morvane-cli blocks the signals it reads itself; the mask is inherited too.
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::setpgid(0, 0);
}

bool SignalGroup(qint64 leader, int signal) {
    return leader > 0 && ::kill(-pid_t(leader), signal) == 0;
}

} // namespace ChildProcess
