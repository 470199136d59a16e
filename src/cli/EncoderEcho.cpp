// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/EncoderEcho.h"

#include "engine/ErrorLog.h"

EncoderEcho::EncoderEcho(const JobList& jobs, StandardOutput& out) : jobs(jobs), out(out) {}

void EncoderEcho::Output(int row, QByteArrayView chunk) {
    QByteArray& line = pending[row];
    for (const char c : chunk) {
        if (c == '\n' || c == '\r') {
            if (!line.isEmpty())
                Print(row, line);
            line.clear();
        } else {
            line.append(c);
        }
    }
}

void EncoderEcho::JobEnded(int row) {
    const QByteArray line = pending.take(row);
    if (!line.isEmpty())
        Print(row, line);
}

void EncoderEcho::Print(int row, QByteArrayView line) {
    out.Line(QStringLiteral("[%1/%2] ").arg(row + 1).arg(jobs.Count()) +
             EscapeForLog(QString::fromUtf8(line)));
}
