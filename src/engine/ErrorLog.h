// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// log.txt: the record of failed system calls and failed jobs. It lives in
// AppPaths::WritableDir(), is appended to and closed for every entry, and is never shown.
namespace ErrorLog {

// The full path of log.txt.
QString LogFilePath();

// One entry about a failed system call, in the log's fixed layout.
QString FormatApiError(const QString& api, int code, const QString& message);

} // namespace ErrorLog

// Appends text to log.txt, creating it when needed. An entry that cannot be written is dropped.
void AppendToLog(const QString& text);

// Logs a failed system call with its error code and the system's text for it.
void LogApiError(const QString& api, int code, const QString& message);
// The same with the system's own text for an errno code (2 gives "No such file or directory").
void LogApiError(const QString& api, int code);

// A text for one log line: control characters (a newline in a file name) are written as
// escapes ("\n", "\x1b"), so that no name can forge or break the log's lines.
QString EscapeForLog(const QString& text);
