// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/StandardOutput.h"

#include <QByteArray>

#include <cerrno>
#include <cstring>
#include <unistd.h>

StandardOutput::StandardOutput(int fd) : fd(fd) {}

void StandardOutput::Line(const QString& text) {
    Write(text + u'\n');
}

void StandardOutput::Write(const QString& text) {
    if (error != 0)
        return;
    const QByteArray bytes = text.toUtf8();
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            error = n < 0 ? errno : EIO;
            return;
        }
    }
}

QString StandardOutput::ErrorText() const {
    return error == 0 ? QString() : QString::fromLocal8Bit(std::strerror(error));
}
