// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// morvane-cli's standard output. A reader that goes away (`morvane-cli ... | head -2`, a pager
// that is quit) or a full disk must not end the batch: the first write that fails stops all
// printing, and the program goes on and says so at its end (SIGPIPE is ignored).
class StandardOutput {
public:
    explicit StandardOutput(int fd);

    // Writes text and a newline at once (a line is never left half written by us).
    void Line(const QString& text);
    // Writes text as it is.
    void Write(const QString& text);

    // A write failed; nothing more is printed.
    bool Failed() const { return error != 0; }
    // Why: the system's text of the first failed write.
    QString ErrorText() const;

private:
    int fd;
    int error = 0;
};
