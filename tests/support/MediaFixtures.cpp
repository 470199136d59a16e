// SPDX-License-Identifier: GPL-3.0-or-later
#include "MediaFixtures.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QProcess>

namespace {

struct Recipe {
    QStringList codecs; // video and audio options, or audio only
    QString format;
};

const QHash<QString, Recipe>& Recipes() {
    static const QHash<QString, Recipe> recipes{
        {"avi", {{"-c:v", "mpeg4", "-c:a", "libmp3lame"}, "avi"}},
        {"mpg", {{"-c:v", "mpeg1video", "-c:a", "mp2"}, "mpeg"}},
        {"vob", {{"-c:v", "mpeg2video", "-c:a", "mp2"}, "vob"}},
        {"wmv", {{"-c:v", "wmv2", "-c:a", "wmav2"}, "asf"}},
        {"asf", {{"-c:v", "msmpeg4", "-c:a", "wmav2"}, "asf"}},
        {"mov", {{"-c:v", "mpeg4", "-c:a", "aac"}, "mov"}},
        {"qt", {{"-c:v", "mpeg4", "-c:a", "aac"}, "mov"}},
        {"rm", {{"-c:v", "rv20", "-c:a", "ac3"}, "rm"}},
        {"rmvb", {{"-c:v", "rv20", "-c:a", "ac3"}, "rm"}},
        {"wav", {{"-c:a", "pcm_s16le"}, "wav"}},
        {"wma", {{"-c:a", "wmav2"}, "asf"}},
        {"mp3", {{"-c:a", "libmp3lame"}, "mp3"}},
    };
    return recipes;
}

} // namespace

MediaFixtures::MediaFixtures(QString folder) : folder(std::move(folder)) {
    QDir().mkpath(this->folder);
}

QStringList MediaFixtures::Extensions() {
    return {"avi", "mpg", "vob", "wmv", "asf", "mov", "qt", "rm", "rmvb", "wav", "wma", "mp3"};
}

bool MediaFixtures::IsAudioOnly(const QString& extension) {
    return extension == "wav" || extension == "wma" || extension == "mp3";
}

QString MediaFixtures::Make(const QString& extension, const QString& baseName) {
    lastError.clear();
    const auto recipe = Recipes().constFind(extension.toLower());
    if (recipe == Recipes().constEnd()) {
        lastError = QStringLiteral("no recipe for .%1").arg(extension);
        return {};
    }
    const QString seconds = QString::number(ClipSeconds);
    QStringList args;
    if (!IsAudioOnly(extension)) {
        args << "-f"
             << "lavfi"
             << "-i" << QStringLiteral("testsrc=size=160x120:rate=25:duration=%1").arg(seconds);
    }
    args << "-f"
         << "lavfi"
         << "-i" << QStringLiteral("sine=frequency=440:sample_rate=44100:duration=%1").arg(seconds);
    args << recipe->codecs << "-f" << recipe->format;
    return MakeWith(baseName + u'.' + extension, args);
}

QString MediaFixtures::MakeWith(const QString& name, const QStringList& ffmpegArguments) {
    lastError.clear();
    const QString path = QDir(folder).filePath(name);
    if (QFileInfo(path).size() > 0)
        return path;
    const QStringList args =
        QStringList{"-v", "error", "-nostdin", "-y"} + ffmpegArguments + QStringList{path};
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::MergedChannels);
    ffmpeg.start(QStringLiteral("ffmpeg"), args);
    if (!ffmpeg.waitForFinished(60000) || ffmpeg.exitStatus() != QProcess::NormalExit ||
        ffmpeg.exitCode() != 0) {
        lastError = QStringLiteral("ffmpeg failed for %1: %2")
                        .arg(path, QString::fromLocal8Bit(ffmpeg.readAll()) + ffmpeg.errorString());
        QFile::remove(path);
        return {};
    }
    return path;
}

QStringList MediaFixtures::CoverArtMp3Recipe() {
    return {"-f",
            "lavfi",
            "-i",
            "sine=duration=1.5",
            "-f",
            "lavfi",
            "-i",
            "color=red:size=64x64:duration=1",
            "-frames:v",
            "1",
            "-map",
            "0",
            "-map",
            "1",
            "-c:a",
            "libmp3lame",
            "-c:v",
            "mjpeg",
            "-disposition:v",
            "attached_pic"};
}
