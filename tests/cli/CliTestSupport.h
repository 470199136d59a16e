// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TestPaths.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// Runs programs for the command-line tests.
namespace CliTest {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

inline QString CliPath(const QString& programDir = TestPaths::ProgramDir()) {
    return QDir(programDir).filePath(QStringLiteral("morvane-cli"));
}

inline Run RunProgram(const QString& program, const QStringList& args,
                      const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, args);
    Run run;
    if (!process.waitForFinished(300000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

inline Run RunCli(const QStringList& args,
                  const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    return RunProgram(CliPath(), args, env);
}

// What ffprobe says about a file: format and streams as JSON.
inline QJsonObject Probe(const QString& path) {
    const Run run = RunProgram(QStringLiteral("ffprobe"), {"-v", "error", "-print_format", "json",
                                                           "-show_format", "-show_streams", path});
    return QJsonDocument::fromJson(run.out.toUtf8()).object();
}

// The codec of the first stream of a kind ("video", "audio") or "" when there is none.
inline QString CodecOf(const QJsonObject& probe, const QString& kind) {
    for (const auto& value : probe.value("streams").toArray()) {
        const QJsonObject stream = value.toObject();
        if (stream.value("codec_type").toString() == kind &&
            stream.value("disposition").toObject().value("attached_pic").toInt() == 0)
            return stream.value("codec_name").toString();
    }
    return {};
}

// The errors ffmpeg reports when it decodes the whole file ("" for a clean file).
inline QString DecodeErrors(const QString& path) {
    const Run run = RunProgram(QStringLiteral("ffmpeg"),
                               {"-nostdin", "-v", "error", "-i", path, "-f", "null", "-"});
    return run.exitCode == 0 ? run.err.trimmed()
                             : QStringLiteral("exit %1: %2").arg(run.exitCode).arg(run.err);
}

} // namespace CliTest
