// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/ErrorLog.h"

#include "engine/SessionLog.h"
#include "media/AppPaths.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMutex>

#include <cstdio>
#include <cstdlib>

namespace {

QMutex logMutex;
QString unwritable; // why the latest entry missed log.txt; empty when it was written

} // namespace

namespace ErrorLog {

QString LogFilePath() {
    return AppPaths::WritableDir() + QStringLiteral("log.txt");
}

QString LogPlace() {
    const QMutexLocker lock(&logMutex);
    if (unwritable.isEmpty())
        return QDir::toNativeSeparators(LogFilePath());
    return QStringLiteral("standard error (%1)").arg(unwritable);
}

QString TimeStamp(const QDateTime& time) {
    const int offset = time.offsetFromUtc() / 60;
    const int hours = std::abs(offset) / 60;
    const int minutes = std::abs(offset) % 60;
    return time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) + (offset < 0 ? u'-' : u'+') +
           QStringLiteral("%1:%2")
               .arg(hours, 2, 10, QLatin1Char('0'))
               .arg(minutes, 2, 10, QLatin1Char('0'));
}

QString FormatApiError(const QString& api, int code, const QString& message) {
    return QStringLiteral("ERROR:   API         =   %1.\n       error   code   =   %2.\n"
                          "       message         =   %3.\n")
        .arg(api)
        .arg(code)
        .arg(message);
}

} // namespace ErrorLog

void AppendToLog(const QString& text) {
    const QString stamped = ErrorLog::TimeStamp(QDateTime::currentDateTime()) + u' ' + text;
    SessionLog::Instance().Add(stamped); // for "Show log", also when the file cannot be written
    const QByteArray entry = stamped.toUtf8();
    QFile file(ErrorLog::LogFilePath());
    const QMutexLocker lock(&logMutex);
    if (file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text) &&
        file.write(entry) == entry.size() && file.flush()) {
        unwritable.clear();
        return;
    }
    const QString reason = QStringLiteral("%1 could not be written: %2")
                               .arg(QDir::toNativeSeparators(file.fileName()), file.errorString());
    // Said once for a run of entries that miss the file, then the entries themselves.
    if (reason != unwritable)
        std::fprintf(stderr, "log.txt: %s; its entries go to standard error.\n",
                     reason.toLocal8Bit().constData());
    unwritable = reason;
    std::fwrite(entry.constData(), 1, static_cast<size_t>(entry.size()), stderr);
    std::fflush(stderr);
}

void LogApiError(const QString& api, int code, const QString& message) {
    AppendToLog(ErrorLog::FormatApiError(api, code, message));
}

void LogApiError(const QString& api, int code) {
    LogApiError(api, code, qt_error_string(code));
}

QString EscapeForLog(const QString& text) {
    QString escaped;
    escaped.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            escaped += c; // a character outside the Basic Multilingual Plane, kept whole
            escaped += text.at(++i);
        } else if (c == u'\n') {
            escaped += QStringLiteral("\\n");
        } else if (c == u'\r') {
            escaped += QStringLiteral("\\r");
        } else if (c == u'\t') {
            escaped += QStringLiteral("\\t");
        } else if (c.unicode() < 0x20 || (c.unicode() >= 0x7f && c.unicode() <= 0x9f)) {
            // C0 and C1 controls: a terminal would act on them (C1 0x9b starts a sequence).
            escaped += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        } else if (c.unicode() >= 0xDC80 && c.unicode() <= 0xDCFF) { // a byte of a non-UTF-8 name
            escaped += QStringLiteral("\\x%1").arg(c.unicode() - 0xDC00, 2, 16, QLatin1Char('0'));
        } else if (c.isSurrogate()) {
            escaped += QChar::ReplacementCharacter;
        } else {
            escaped += c;
        }
    }
    return escaped;
}
