// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QDateTime;

// log.txt: the record of failed system calls and failed jobs. It lives in
// AppPaths::WritableDir() (the user's data folder), is appended to and closed for every entry,
// and is never shown. Every entry starts with its time. An entry that cannot be written there
// goes to standard error whole, so nothing of it (the encoder's last lines) is lost.
namespace ErrorLog {

// The full path of log.txt.
QString LogFilePath();

// Where this run's entries went, for a message that sends the user to them: the path of
// log.txt, or standard error (and why) when the latest entry could not be written there.
QString LogPlace();

// The time that starts an entry: ISO 8601 local time with its offset from UTC
// ("2026-12-08T10:47:26+01:00").
QString TimeStamp(const QDateTime& time);

// One entry about a failed system call, in the log's fixed layout.
QString FormatApiError(const QString& api, int code, const QString& message);

} // namespace ErrorLog

// Appends text to log.txt as one entry after its time stamp, creating the file when needed; to
// standard error when it cannot be written.
void AppendToLog(const QString& text);

// Logs a failed system call with its error code and the system's text for it.
void LogApiError(const QString& api, int code, const QString& message);
// The same with the system's own text for an errno code (2 gives "No such file or directory").
void LogApiError(const QString& api, int code);

// A text for one log line: control characters (a newline in a file name) are written as
// escapes ("\n", "\x1b"), so that no name can forge or break the log's lines.
QString EscapeForLog(const QString& text);
