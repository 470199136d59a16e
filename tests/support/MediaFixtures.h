// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// Makes small media files for tests with the real ffmpeg: clips of about two seconds,
// 160x120 at 25 fps with a test pattern and a tone, in every input format the program
// accepts. Files are made once per folder and extension and reused.
class MediaFixtures {
public:
    explicit MediaFixtures(QString folder);

    // The accepted input extensions, without dots: avi, mpg, vob, wmv, asf, mov, qt, rm,
    // rmvb, wav, wma, mp3.
    static QStringList Extensions();
    // True for the formats that carry sound only.
    static bool IsAudioOnly(const QString& extension);
    // The clip length in seconds that Make aims at.
    static constexpr double ClipSeconds = 2.0;

    // A clip of that format named "clip.EXT" (or baseName.EXT); empty when ffmpeg failed,
    // with the reason in LastError().
    QString Make(const QString& extension, const QString& baseName = QStringLiteral("clip"));
    // A file made by ffmpeg from the given arguments (inputs, codecs, format), named name;
    // empty when ffmpeg failed, with the reason in LastError().
    QString MakeWith(const QString& name, const QStringList& ffmpegArguments);
    QString LastError() const { return lastError; }
    // MakeWith's arguments for an MP3 of 1.5 s with a cover picture (an attached picture).
    static QStringList CoverArtMp3Recipe();

private:
    QString folder;
    QString lastError;
};
