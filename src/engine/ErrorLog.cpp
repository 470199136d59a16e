#include "engine/ErrorLog.h"

#include "engine/AppPaths.h"

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
