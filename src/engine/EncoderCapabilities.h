// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Result.h"

#include <QObject>
#include <QProcess>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>

// What a profile's passes need from the encoder program: the program word and the encoders
// and output formats that its options name ("-c:v h263", "-c:a aac", "-f 3gp"; "copy" and
// input formats need nothing).
struct EncoderNeeds {
    QString program;
    QStringList encoders;
    QStringList muxers;
};

EncoderNeeds NeedsOfTemplates(const QStringList& passTemplates);

// The names listed by "ffmpeg -encoders" or "ffmpeg -muxers" (the word after the flags column
// of every line below the "--" rule).
QSet<QString> ParseEncoderListing(const QByteArray& listing);

// The Debian package that brings an encoder the plain FFmpeg build lacks, or "".
QString PackageForEncoder(const QString& encoder);

// What the installed encoder program can make, asked in the background (two short runs of the
// program), so start-up does not wait for it. The answer is kept in the user's cache folder,
// keyed by the program file and the FFmpeg libraries this process loads, so a later run that
// finds the same files answers at once; a changed program or library is asked again.
class EncoderCapabilities : public QObject {
    Q_OBJECT
public:
    explicit EncoderCapabilities(QObject* parent = nullptr);
    ~EncoderCapabilities() override;

    // Asks the program (a path) for its encoders and muxers; Ready follows, also on failure
    // (before Query returns when the kept answer still holds).
    void Query(const QString& programPath);
    bool IsKnown() const { return known; }
    QString ProgramPath() const { return programPath; }

    // Whether these needs can be met (they can while nothing is known, or when they name
    // another program); else why not: the missing encoder or format, and how to get it.
    Result<void> MissingFor(const EncoderNeeds& needs) const;

    // The file that keeps answers between runs.
    static QString CacheFilePath();

signals:
    void Ready();

private:
    void OnListed();
    bool ReadCache();
    void WriteCache() const;

    QString programPath;
    QString cacheKey; // what the kept answer must match; "" when the files cannot be read
    std::unique_ptr<QProcess> encodersRun;
    std::unique_ptr<QProcess> muxersRun;
    int pending = 0;
    bool known = false;
    QSet<QString> encoders;
    QSet<QString> muxers;
};
