// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/ErrorLog.h"

#include "engine/SessionLog.h"
#include "media/AppPaths.h"

#include <QFile>

namespace ErrorLog {

QString LogFilePath() {
    return AppPaths::WritableDir() + QStringLiteral("log.txt");
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
    SessionLog::Instance().Add(text); // for "Show log", also when the file cannot be written
    QFile file(ErrorLog::LogFilePath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return;
    file.write(text.toUtf8());
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
