// SPDX-License-Identifier: GPL-3.0-or-later
#include "IndexedClip.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <cmath>

IndexedClip IndexedClip::Make(const QString& folder, const QString& extension) {
    IndexedClip clip;
    QStringList codec;
    QString format;
    QString audio;
    if (extension == "avi") {
        clip.fps = 10;
        clip.frames = 30;
        codec = {"-c:v", "mpeg4", "-bf", "0"};
        format = "avi";
        audio = "mp2";
    } else if (extension == "mov") {
        clip.fps = 10;
        clip.frames = 30;
        codec = {"-c:v", "mpeg4", "-bf", "2", "-aspect", "16:9"};
        format = "mov";
        audio = "aac";
    } else if (extension == "rm") {
        clip.fps = 15;
        clip.frames = 30;
        codec = {"-c:v", "rv20"};
        format = "rm";
        audio = "ac3";
    } else if (extension == "mpg") {
        clip.fps = 25;
        clip.frames = 50;
        codec = {"-c:v", "mpeg2video", "-bf", "2"};
        format = "mpeg";
        audio = "mp2";
    } else {
        clip.error = "no indexed clip of type " + extension;
        return clip;
    }
    clip.lumaStep = 200 / (clip.frames - 1);
    clip.path = QDir(folder).filePath("indexed." + extension);
    if (QFileInfo(clip.path).size() > 0)
        return clip;

    const QString seconds = QString::number(clip.Seconds(), 'f', 3);
    QStringList args{
        "-v",       "error",
        "-nostdin", "-y",
        "-f",       "lavfi",
        "-i",       QString("color=c=black:s=160x120:r=%1:d=%2").arg(clip.fps).arg(seconds),
        "-f",       "lavfi",
        "-i",       QString("sine=frequency=440:sample_rate=44100:duration=%1").arg(seconds),
        "-vf",      QString("geq=lum='16+%1*N':cb=128:cr=128").arg(clip.lumaStep)};
    // A fixed group of pictures: every picture differs, so scene-cut detection would
    // otherwise make them all key frames.
    args << codec << "-q:v"
         << "2"
         << "-g"
         << "12"
         << "-sc_threshold"
         << "1000000000"
         << "-c:a" << audio << "-f" << format << clip.path;
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::MergedChannels);
    ffmpeg.start("ffmpeg", args);
    if (!ffmpeg.waitForFinished(120000) || ffmpeg.exitCode() != 0) {
        clip.error = "ffmpeg failed: " + QString::fromLocal8Bit(ffmpeg.readAll());
        QFile::remove(clip.path);
    }
    return clip;
}

int IndexedClip::FrameIndexOf(const QImage& image) const {
    if (image.isNull() || lumaStep <= 0)
        return -1;
    // The middle of the picture, away from edges the scaler blends.
    const int x0 = image.width() / 4;
    const int y0 = image.height() / 4;
    double sum = 0.0;
    int count = 0;
    int lowest = 255;
    int highest = 0;
    for (int y = y0; y < image.height() - y0; ++y) {
        for (int x = x0; x < image.width() - x0; ++x) {
            const int grey = qGray(image.pixel(x, y));
            sum += grey;
            lowest = std::min(lowest, grey);
            highest = std::max(highest, grey);
            ++count;
        }
    }
    if (count == 0 || highest - lowest > 6)
        return -1;
    // Video luma 16..235 spans the full 0..255 of the decoded picture.
    const double greyStep = lumaStep * 255.0 / 219.0;
    return int(std::lround(sum / count / greyStep));
}
